#include "app/status_dlg.h"

#include "platform/data_exchange.h"
#include "platform/dialog_builder.h"
#include "platform/window_show.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

CStatusDlg::CStatusDlg(QWidget* parent) : QDialog(parent) {}

void CStatusDlg::Show()
{
    if (!Built) {
        platform::BuildDialog(*this, res::kDialogStatus);
        Built = true;
        platform::UpdateData(this, false, [this](platform::DataExchange& dx) { dx.Text(kStatusText, StatusText); });
    }
    // Over the owner, else over the screen's free area.
    QRect area;
    if (const QWidget* owner = parentWidget())
        area = owner->window()->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    platform::ShowPainted(*this, area);
}

void CStatusDlg::SetText(const std::string& text)
{
    StatusText = QString::fromStdString(text);
    if (!Built)
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
