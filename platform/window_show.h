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

// Makes Qt learn where the window system has really put a framed window.
// A window manager may place a dialog that Qt positioned before showing
// (IceWM does with one that has an owner) a title bar's height away from
// where Qt believes it is, and Qt corrects its belief only on the next
// configure event: until then a drop lands a row off and the first drag of
// a size grip makes the window jump. A resize there and back asks for such
// an event without moving the window. Call it once the window is active.
void LearnTruePlace(QWidget& window);

} // namespace platform
