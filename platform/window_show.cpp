#include "platform/window_show.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <QWindow>

namespace platform {

namespace {
// How long ShowPainted waits for the window system to put the window on screen.
constexpr int kExposeTimeoutMs = 500;
} // namespace

void CentreOver(QWidget& window, const QRect& area)
{
    if (!area.isValid())
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(area.center());
    window.move(frame.topLeft());
}

// A freshly mapped window is exposed by the window system a moment later;
// painting before that would show nothing until the next event loop.
void ShowPainted(QWidget& window, const QRect& area)
{
    window.show();
    CentreOver(window, area);
    QElapsedTimer waited;
    waited.start();
    while (window.windowHandle() && !window.windowHandle()->isExposed() && waited.elapsed() < kExposeTimeoutMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    window.repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void LearnTruePlace(QWidget& window)
{
    const QSize size = window.size();
    window.resize(size + QSize(0, 1));
    window.resize(size);
}

} // namespace platform
