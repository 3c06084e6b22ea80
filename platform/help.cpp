#include "platform/help.h"

#include <utility>

namespace platform {

namespace {
HelpHandler& CurrentHandler()
{
    static HelpHandler handler;
    return handler;
}
} // namespace

void ShowHelp(QWidget* parent)
{
    if (CurrentHandler().show)
        CurrentHandler().show(parent);
}

void CloseHelp()
{
    if (CurrentHandler().close)
        CurrentHandler().close();
}

HelpHandler SetHelpHandler(HelpHandler handler)
{
    return std::exchange(CurrentHandler(), std::move(handler));
}

} // namespace platform
