#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

// The title tip: a borderless popup that shows the whole text of a cell
// whose text does not fit, while the mouse rests over that cell. While
// shown it holds the mouse; it hides as soon as the mouse leaves the hover
// rectangle or a key or button is pressed, and passes that input on to the
// window underneath (a click on the tip lands on the cell beneath it).
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
};
