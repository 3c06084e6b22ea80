#pragma once

#include "grid/grid_item.h"

#include <QLineEdit>
#include <QRect>
#include <QString>

// The single-line editor that the grid lays over a cell while its text is
// edited. It starts with the cell's text and the key that started editing,
// takes the keyboard focus, grows to the right while the user types (never
// beyond the grid's right edge, never shrinking), and when editing ends -
// Tab, Enter, Esc, a navigation key that leaves, or any loss of focus - it
// reports the final text and the ending key to the grid exactly once, then
// closes and deletes itself. The grid keeps no pointer to it.
class CCellEditor : public QLineEdit {
    Q_OBJECT

public:
    // Alignment styles of an edit control, as the grid passes them.
    static constexpr unsigned ES_LEFT = 0x0;
    static constexpr unsigned ES_CENTER = 0x1;
    static constexpr unsigned ES_RIGHT = 0x2;

    // grid: the parent; rect: the cell's rectangle in the grid's client
    // coordinates; style: ES_*; id: the control id (the grid passes 8);
    // firstKey: a virtual key (platform/virtual_keys.h) or a typed
    // character code. Editing starts at once.
    CCellEditor(QWidget* grid, const QRect& rect, unsigned style, int id, int row, int column,
                const QString& initialText, unsigned firstKey);

    int ControlId() const { return Id; }

signals:
    // The end-of-edit notification (code kNotifyCellChanged): row, column,
    // mask kItemText | kItemParameter, the final text, and as parameter the
    // key that ended editing (0 for a plain loss of focus). Delivered
    // synchronously (direct connection), once.
    void EditEnded(const GridItem& item);

private:
    int Id;
};
