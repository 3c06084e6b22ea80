#include "grid/cell_tip.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QWindow>

namespace {

// The tip never shows, and hides, while another program is active.
bool ProgramHasFocus()
{
    return QApplication::activeWindow() != nullptr;
}

QRect ToScreen(const QWidget& widget, const QRect& rect)
{
    return QRect(widget.mapToGlobal(rect.topLeft()), rect.size());
}

} // namespace

CCellTip::CCellTip()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMouseTracking(true);  // moves without a button must arrive too
    setFocusPolicy(Qt::NoFocus);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
}

CCellTip::~CCellTip()
{
    HideTip();
}

bool CCellTip::CreateTipWindow(QWidget* grid)
{
    Grid = grid;
    FollowGridWindow();
    create();
    return windowHandle() != nullptr;
}

// The tip is a window of the grid's top-level window (still a window of its
// own, above it): a modal dialog holding the grid would otherwise block all
// input to the tip. The grid may have moved into another window since.
void CCellTip::FollowGridWindow()
{
    if (Grid && parentWidget() != Grid->window())
        setParent(Grid->window(), windowFlags());
}

void CCellTip::ShowTip(const QRect& textRect, const QString& text, int xOffset, const QRect* hover,
                       const QFont* font)
{
    if (textRect.isEmpty() || !Grid)
        return;
    HoverRect = ToScreen(*Grid, hover ? *hover : textRect);
    if (isVisible() || !ProgramHasFocus())
        return;

    const QRect screenRect = ToScreen(*Grid, textRect);
    DisplayText = QLatin1Char(' ') + text + QLatin1Char(' ');
    setFont(font ? *font : Grid->font());
    // Qt's advance already holds what the platform counts as overhang.
    const int left = screenRect.left() + xOffset;
    const int right = left + fontMetrics().horizontalAdvance(DisplayText) + xOffset;
    if (right <= screenRect.x() + screenRect.width() - xOffset)
        return;  // the text fits

    FollowGridWindow();
    setGeometry(left, screenRect.top(), right - left, screenRect.height());
    show();
    qApp->installEventFilter(this);
    grabMouse();
}

void CCellTip::HideTip()
{
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeEventFilter(this);
    if (QWidget::mouseGrabber() == this)
        releaseMouse();
    hide();
}

// While shown, the tip watches the whole program: a key anywhere hides it
// and goes on to its receiver (a key given to the tip itself goes to the
// grid); and it hides as soon as the program loses the focus.
bool CCellTip::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        HideTip();
        if (watched == this && Grid) {
            const auto& key = static_cast<const QKeyEvent&>(*event);
            QCoreApplication::postEvent(Grid, new QKeyEvent(key.type(), key.key(), key.modifiers(), key.text(),
                                                            key.isAutoRepeat(), key.count()));
            return true;
        }
        return false;
    }
    if (!ProgramHasFocus())
        HideTip();
    return false;
}

void CCellTip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(backgroundRole()));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    // The text starts at the top left corner inside the border.
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(rect().adjusted(1, 1, -1, -1), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     DisplayText);
}

void CCellTip::mouseMoveEvent(QMouseEvent* event)
{
    if (!HoverRect.contains(event->globalPosition().toPoint()))
        PassOn(*event, QEvent::MouseMove);
}

void CCellTip::mousePressEvent(QMouseEvent* event)
{
    PassOn(*event, QEvent::MouseButtonPress);
}

// A double click on the tip is just another press.
void CCellTip::mouseDoubleClickEvent(QMouseEvent* event)
{
    PassOn(*event, QEvent::MouseButtonPress);
}

void CCellTip::wheelEvent(QWheelEvent* event)
{
    const QPointF global = event->globalPosition();
    HideTip();
    if (QWidget* target = WindowBeneath(global.toPoint())) {
        const QPointF local = target->mapFromGlobal(global);
        QCoreApplication::postEvent(target->windowHandle(),
                                    new QWheelEvent(local, global, event->pixelDelta(), event->angleDelta(),
                                                    event->buttons(), event->modifiers(), event->phase(),
                                                    event->inverted(), event->source()));
    }
}

// The top-level window under a screen point once the tip is out of the way;
// the grid's window when there is none of this program.
QWidget* CCellTip::WindowBeneath(const QPoint& global) const
{
    QWidget* window = QApplication::topLevelAt(global);
    if ((!window || window == this) && Grid)
        window = Grid->window();
    return window && window->windowHandle() ? window : nullptr;
}

// Hides the tip and posts the mouse event to the window beneath, at the
// same screen point. Sent to the top-level window, it reaches the child
// under the point by the usual rules: that child becomes the one holding
// the pressed button and receives the release.
void CCellTip::PassOn(const QMouseEvent& event, QEvent::Type type)
{
    const QPointF global = event.globalPosition();
    HideTip();
    QWidget* target = WindowBeneath(global.toPoint());
    if (!target)
        return;
    const QPointF local = target->mapFromGlobal(global);
    QCoreApplication::postEvent(target->windowHandle(), new QMouseEvent(type, local, local, global, event.button(),
                                                                        event.buttons(), event.modifiers()));
}
