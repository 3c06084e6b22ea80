#pragma once

#include "grid/grid_item.h"

#include <QLineEdit>
#include <QRect>
#include <QString>

// The single-line editor that the grid lays over a cell while its text is
// edited. Built over the cell with the cell's text, it begins (Begin) with
// the key that started editing once its owner listens: it takes the
// keyboard focus, grows to the right while the user types (never
// beyond the grid's right edge, never shrinking), and when editing ends -
// Tab, Enter, Esc, a navigation key that leaves, or any loss of focus - it
// reports the final text and the ending key to the grid exactly once, then
// closes and deletes itself. The grid keeps no pointer to it.
//
// It wants every key: nothing it is given reaches the grid or a dialog
// around it (no default button, no Esc, no Tab to the next control, no
// mnemonic). The grid's client area, which bounds the growth, is the
// grid's contentsRect().
class CCellEditor : public QLineEdit {
    Q_OBJECT

public:
    // Alignment styles of an edit control, as the grid passes them.
    static constexpr unsigned ES_LEFT = 0x0;
    static constexpr unsigned ES_CENTER = 0x1;
    static constexpr unsigned ES_RIGHT = 0x2;

    // grid: the parent; rect: the cell's rectangle in the grid's client
    // coordinates; style: ES_*; id: the control id (the grid passes 8).
    CCellEditor(QWidget* grid, const QRect& rect, unsigned style, int id, int row, int column,
                const QString& initialText);

    // Shows the editor and starts editing with firstKey: a virtual key
    // (platform/virtual_keys.h) or a typed character code. A first key that
    // ends editing (Esc) reports at once.
    void Begin(unsigned firstKey);

    int ControlId() const { return Id; }

signals:
    // The end-of-edit notification (code kNotifyCellChanged): row, column,
    // mask kItemText | kItemParameter, the final text, and as parameter the
    // key that ended editing (0 for a plain loss of focus). Delivered
    // synchronously (direct connection), once.
    void EditEnded(const GridItem& item);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void ApplyFirstKey(unsigned firstKey);
    void TypeCharacter(unsigned code);
    void EndWith(unsigned key);
    void FinishEdit();
    void Grow();

    int Id;
    int Row;
    int Column;
    QString InitialText;
    unsigned EndingKey = 0;
    bool ExitOnArrows = true;
    QRect Rect;             // grows, never shrinks
    bool Finished = false;  // the notification went out; never a second one
};
