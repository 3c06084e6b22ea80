#pragma once

#include <functional>

class QWidget;

// The help command (F1). The help window registers itself as the handler
// at program start; tests register a recorder. Without a handler the
// command shows nothing.
namespace platform {

void ShowHelp(QWidget* parent);
// Closes the help window when its owner goes away.
void CloseHelp();

struct HelpHandler {
    std::function<void(QWidget* parent)> show;
    std::function<void()> close;
};

HelpHandler SetHelpHandler(HelpHandler handler);

} // namespace platform
