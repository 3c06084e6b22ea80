#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

Seam<void(const QString& text, MessageIcon icon)>& MessageSeam()
{
    static Seam<void(const QString& text, MessageIcon icon)> seam;
    return seam;
}

void ShowMessage(const QString& text, QWidget* parent, MessageIcon icon)
{
    if (const auto& handler = MessageSeam().Handler()) {
        handler(text, icon);
        return;
    }
    if (!parent)
        parent = QApplication::activeWindow();
    QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Information,
                    QStringLiteral("Tolvar"), text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace platform
