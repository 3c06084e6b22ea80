#include "app/status_dlg.h"

#include "platform/data_exchange.h"
#include "platform/dialog_builder.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWindow>

namespace {
// How long Show waits for the window system to put the window on screen.
constexpr int kExposeTimeoutMs = 500;
} // namespace

CStatusDlg::CStatusDlg(QWidget* parent) : QDialog(parent) {}

void CStatusDlg::Show()
{
    if (!built) {
        platform::BuildDialog(*this, res::kDialogStatus);
        built = true;
        platform::UpdateData(this, false, [this](platform::DataExchange& dx) { dx.Text(kStatusText, StatusText); });
    }
    show();
    CentreOverOwner();
    WaitUntilExposed();
    repaint();
}

// A new window can be painted only once the window system has mapped it;
// until then only non-input events are handled, so no click or key reaches
// the program while it computes.
void CStatusDlg::WaitUntilExposed()
{
    QElapsedTimer waited;
    waited.start();
    while (windowHandle() && !windowHandle()->isExposed() && waited.elapsed() < kExposeTimeoutMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
}

void CStatusDlg::SetText(const std::string& text)
{
    StatusText = QString::fromStdString(text);
    if (!built)
        return;
    platform::UpdateData(this, false, [this](platform::DataExchange& dx) { dx.Text(kStatusText, StatusText); });
    // Paints now, without handling any input: the computation goes on at once.
    if (QWidget* label = platform::FindControl(this, kStatusText))
        label->repaint();
}

void CStatusDlg::Hide()
{
    hide();
}

void CStatusDlg::CentreOverOwner()
{
    QRect area;
    if (const QWidget* owner = parentWidget())
        area = owner->window()->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (!area.isValid())
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    move(frame.topLeft());
}

// The engine alone closes the window.
void CStatusDlg::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void CStatusDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}
