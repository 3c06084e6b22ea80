#include "platform/help.h"

#include "platform/help_window.h"

namespace platform {

Seam<void(QWidget* parent)>& HelpSeam()
{
    static Seam<void(QWidget* parent)> seam;
    return seam;
}

void ShowHelp(QWidget* parent)
{
    if (const auto& handler = HelpSeam().Handler())
        handler(parent);
    else
        ShowHelpWindow(parent);
}

void CloseHelp()
{
    CloseHelpWindow();
}

} // namespace platform
