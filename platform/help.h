#pragma once

#include "platform/seam.h"

class QWidget;

// The help command (F1): the program's German help text in a window beside
// parent (platform/help_window.h). Tests answer it through the seam.
namespace platform {

void ShowHelp(QWidget* parent);
// Closes the help window when its owner goes away.
void CloseHelp();

Seam<void(QWidget* parent)>& HelpSeam();

} // namespace platform
