#pragma once

#include <QString>

#include <functional>

class QWidget;

// The program's message box: title "Tolvar", one OK button, modal over
// parent (or the active window). Tests replace it with a recorder.
namespace platform {

enum class MessageIcon { Warning, Information };

void ShowMessage(const QString& text, QWidget* parent = nullptr, MessageIcon icon = MessageIcon::Warning);

using MessageHandler = std::function<void(const QString& text, MessageIcon icon)>;

// Installs handler for every later ShowMessage; an empty handler restores
// the real message box. Returns the handler installed before.
MessageHandler SetMessageHandler(MessageHandler handler);

} // namespace platform
