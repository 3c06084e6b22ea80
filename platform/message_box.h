#pragma once

#include "platform/seam.h"

#include <QString>

class QWidget;

// The program's message box: title "Tolvar", one OK button, modal over
// parent (or the active window). An informative text, when given, shows
// below the main text: which file, and why the system refused it. Tests
// replace the box with a recorder.
namespace platform {

enum class MessageIcon { Warning, Information };

void ShowMessage(const QString& text, QWidget* parent = nullptr, MessageIcon icon = MessageIcon::Warning,
                 const QString& informativeText = QString());

Seam<void(const QString& text, MessageIcon icon, const QString& informativeText)>& MessageSeam();

// A question with the buttons "Ja" and "Nein" (default "Nein"), modal over
// parent; true for "Ja". Tests answer it through the seam.
bool AskYesNo(const QString& text, QWidget* parent = nullptr);

Seam<bool(const QString& text)>& QuestionSeam();

} // namespace platform
