#include "app/splash_dlg.h"

#include "platform/dialog_builder.h"
#include "platform/window_show.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QThread>

CSplashDlg::CSplashDlg()
    : QDialog(nullptr)
{
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

void CSplashDlg::ShowPainted()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    platform::ShowPainted(*this, screen ? screen->geometry() : QRect());
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
