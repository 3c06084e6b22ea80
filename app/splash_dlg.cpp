#include "app/splash_dlg.h"

#include "platform/dialog_builder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QThread>
#include <QWindow>

static void InitPictureResource()
{
    Q_INIT_RESOURCE(pictures);
}

void RegisterPictureResource()
{
    InitPictureResource();
}

namespace {

// A freshly mapped window is exposed by the window system a moment later;
// without waiting for that the picture would only appear after the wait.
constexpr int kExposeTimeoutMs = 300;

} // namespace

CSplashDlg::CSplashDlg()
    : QDialog(nullptr)
{
    RegisterPictureResource();
    platform::BuildDialog(*this, res::kDialogSplash);
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    // The window is as large as its picture, which it shows unscaled.
    setFixedSize(kWidth, kHeight);
    for (QLabel* picture : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        picture->setScaledContents(false);
        picture->setGeometry(0, 0, kWidth, kHeight);
    }
}

platform::Seam<void(int milliseconds)>& CSplashDlg::WaitSeam()
{
    static platform::Seam<void(int milliseconds)> seam;
    return seam;
}

void CSplashDlg::CentreOnScreen()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - kWidth) / 2, area.y() + (area.height() - kHeight) / 2);
}

void CSplashDlg::ShowPainted()
{
    CentreOnScreen();
    show();
    QElapsedTimer waited;
    waited.start();
    while (windowHandle() && !windowHandle()->isExposed() && waited.elapsed() < kExposeTimeoutMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CSplashDlg::ShowForStart()
{
    ShowPainted();
    if (const auto& wait = WaitSeam().Handler())
        wait(kShowMs);
    else
        QThread::msleep(kShowMs);
    hide();
}
