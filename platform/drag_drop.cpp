#include "platform/drag_drop.h"

#include <QDrag>

namespace platform {

Seam<Qt::DropAction(QDrag& drag, Qt::DropActions actions)>& DragSeam()
{
    static Seam<Qt::DropAction(QDrag& drag, Qt::DropActions actions)> seam;
    return seam;
}

Qt::DropAction ExecDrag(QDrag* drag, Qt::DropActions actions)
{
    if (const auto& handler = DragSeam().Handler()) {
        const Qt::DropAction chosen = handler(*drag, actions);
        drag->deleteLater();
        return chosen;
    }
    return drag->exec(actions, Qt::MoveAction);  // Qt frees the drag
}

} // namespace platform
