#pragma once

#include "platform/seam.h"

#include <Qt>

class QDrag;

namespace platform {

// Runs a drag and drop operation that the program started (the platform's
// drag runs its own loop until the drop) and returns the action the target
// chose. Takes the drag object and frees it. A test's handler can play the
// target: send the drag events to a widget and answer its choice.
Qt::DropAction ExecDrag(QDrag* drag, Qt::DropActions actions);

Seam<Qt::DropAction(QDrag& drag, Qt::DropActions actions)>& DragSeam();

} // namespace platform
