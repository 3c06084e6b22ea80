#include "platform/popup_menu.h"

#include <QMenu>

namespace platform {

Seam<QAction*(QMenu& menu, const QPoint& screenPoint)>& PopupMenuSeam()
{
    static Seam<QAction*(QMenu& menu, const QPoint& screenPoint)> seam;
    return seam;
}

QAction* ExecPopupMenu(QMenu& menu, const QPoint& screenPoint)
{
    if (const auto& handler = PopupMenuSeam().Handler())
        return handler(menu, screenPoint);
    return menu.exec(screenPoint);
}

} // namespace platform
