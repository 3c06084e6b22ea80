#pragma once

#include "platform/seam.h"

#include <QString>

class QWidget;

// The program's message box: title "Tolvar", one OK button, modal over
// parent (or the active window). Tests replace it with a recorder.
namespace platform {

enum class MessageIcon { Warning, Information };

void ShowMessage(const QString& text, QWidget* parent = nullptr, MessageIcon icon = MessageIcon::Warning);

Seam<void(const QString& text, MessageIcon icon)>& MessageSeam();

} // namespace platform
