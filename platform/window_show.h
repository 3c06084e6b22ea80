#pragma once

#include <QRect>

class QWidget;

// Showing top-level windows: where they open and how they reach the screen
// while no event loop runs.
namespace platform {

// Moves window so that the centre of its frame lies on the centre of area;
// nothing for an empty area.
void CentreOver(QWidget& window, const QRect& area);

// Shows window centred over area and paints it at once, without running an
// event loop: it waits (half a second at most) until the window system has
// put the window on screen, handling no user input meanwhile, so no click
// or key reaches the program, then repaints.
void ShowPainted(QWidget& window, const QRect& area);

} // namespace platform
