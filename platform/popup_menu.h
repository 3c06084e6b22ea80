#pragma once

#include "platform/seam.h"

class QAction;
class QMenu;
class QPoint;

namespace platform {

// Shows a context menu at a screen point and waits for the user's choice
// (nullptr: none). A test's handler chooses instead.
QAction* ExecPopupMenu(QMenu& menu, const QPoint& screenPoint);

Seam<QAction*(QMenu& menu, const QPoint& screenPoint)>& PopupMenuSeam();

} // namespace platform
