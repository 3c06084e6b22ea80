#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace platform {

namespace {
MessageHandler& CurrentHandler()
{
    static MessageHandler handler;
    return handler;
}
} // namespace

void ShowMessage(const QString& text, QWidget* parent, MessageIcon icon)
{
    if (CurrentHandler()) {
        CurrentHandler()(text, icon);
        return;
    }
    if (!parent)
        parent = QApplication::activeWindow();
    QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Information,
                    QStringLiteral("Tolvar"), text, QMessageBox::Ok, parent);
    box.exec();
}

MessageHandler SetMessageHandler(MessageHandler handler)
{
    return std::exchange(CurrentHandler(), std::move(handler));
}

} // namespace platform
