#pragma once

#include <QEvent>
#include <QFont>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

class QMouseEvent;
class QWheelEvent;

// The title tip: a borderless popup that shows the whole text of a cell
// whose text does not fit, while the mouse rests over that cell. While
// shown it holds the mouse; it hides as soon as the mouse leaves the hover
// rectangle or a key or button is pressed, and passes that input on to the
// window underneath (a click on the tip lands on the cell beneath it).
//
// It is a tool-tip window: it never takes the focus or activates, and it
// needs no window manager. Input passed on goes to the top-level window
// under the point, which hands it to its child there as if the tip had not
// been in the way (so a right click still opens that widget's context
// menu). The grid owns its tip; the tip's parent is the grid's top-level
// window only so that a modal dialog around the grid does not block it.
class CCellTip : public QWidget {
    Q_OBJECT

public:
    CCellTip();
    ~CCellTip() override;

    // Remembers grid (whose client coordinates callers use and to which
    // input is passed on) and creates the hidden tip window.
    bool CreateTipWindow(QWidget* grid);

    // Rectangles in the grid's client coordinates. Shows display text
    // " text " at the text rectangle when it does not fit in it; hover:
    // the rectangle the mouse may move in without hiding the tip (default:
    // the text rectangle); font: default the grid's font. Does nothing for
    // an empty rectangle, while shown, or while no window of the program has
    // the keyboard focus.
    void ShowTip(const QRect& textRect, const QString& text, int xOffset = 0, const QRect* hover = nullptr,
                 const QFont* font = nullptr);

    // Releases the mouse and hides the tip.
    void HideTip();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void FollowGridWindow();
    QWidget* WindowBeneath(const QPoint& global) const;
    void PassOn(const QMouseEvent& event, QEvent::Type type);

    QPointer<QWidget> Grid;
    QRect HoverRect;  // screen coordinates
    QString DisplayText;
};
