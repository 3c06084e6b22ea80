#include "grid/grid_ctrl.h"

#include "grid/cell_editor.h"
#include "grid/cell_tip.h"
#include "platform/virtual_keys.h"
#include "res/text_styles.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>

// Starting and ending in-place edits, and the title tip.

using namespace platform;

void CGridCtrl::StartEdit(int row, int column, unsigned firstKey)
{
    const CellPos cell{row, column};
    ScrollIntoView(cell);
    if (!CanEditCell(cell) || !IsCellFullyShown(cell))
        return;
    const QRect rect = CellRect(cell);
    if (rect.isEmpty())
        return;
    SendNotify(kNotifyCellChanging, cell);
    const unsigned format = GetCellFormat(row, column);
    const unsigned style = (format & res::DT_RIGHT)    ? CCellEditor::ES_RIGHT
                           : (format & res::DT_CENTER) ? CCellEditor::ES_CENTER
                                                       : CCellEditor::ES_LEFT;
    CreateEditControl(rect, style, kEditControlId, row, column, GetCellText(row, column), firstKey);
}

void CGridCtrl::CreateEditControl(const QRect& rect, unsigned style, int id, int row, int column,
                                  const QString& text, unsigned firstKey)
{
    // The editor deletes itself when editing ends.
    auto* editor = new CCellEditor(this, rect, style, id, row, column, text);
    connect(editor, &CCellEditor::EditEnded, this, &CGridCtrl::OnEndEdit);
    editor->Begin(firstKey);
}

void CGridCtrl::EndEdit(const GridItem& item)
{
    const CCell* cell = cells.Cell(item.row, item.column);
    if (!cell || cell->text.Equals(item.text))
        return;
    AsUserAction([&] { cells.StoreEditedText({item.row, item.column}, item.text); });
}

// The editor's end-of-edit notification: store, tell the owner, and after
// Tab or a navigation key move on and edit the next cell with that key.
void CGridCtrl::OnEndEdit(const GridItem& item)
{
    EndEdit(item);
    const CellPos cell{item.row, item.column};
    RedrawCell(cell);
    SendNotify(kNotifyCellChanged, cell);
    const unsigned key = item.parameter;
    if (key != VK_TAB && !IsNavigationKey(key))
        return;
    const bool shift = QApplication::keyboardModifiers() & Qt::ShiftModifier;
    HandleKey(key, shift, false);
    const CellPos next = GetCurrentCell();
    StartEdit(next.row, next.column, key);
}

// A typed character starts an edit of the focus cell, unless a mouse action
// is under way or Ctrl or Alt is held. Tab does while the grid leaves Tab
// alone; Enter and Esc belong to a dialog around the grid.
bool CGridCtrl::TypeCharacter(const QKeyEvent& event)
{
    const unsigned code = TypedCharacterOf(event);
    if (code == 0 || mouseMode != MouseMode::Idle ||
        (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    if (code == VK_TAB && handleTab)
        return false;
    if ((code == VK_RETURN || code == VK_ESCAPE) && qobject_cast<QDialog*>(window()))
        return false;
    const CellPos focus = GetCurrentCell();
    if (!IsValid(focus))
        return false;
    StartEdit(focus.row, focus.column, code);
    return true;
}

QRect CGridCtrl::TextRect(CellPos cell) const
{
    const QRect rect = CellRect(cell);
    if (rect.isNull())
        return rect;
    return TextArea(rect, CellImage(cells.Extras(cell.row, cell.column)));
}

void CGridCtrl::ShowTitleTip(const QPoint& point)
{
    if (!titleTips || !titleTip)
        return;
    const CellPos cell = CellAt(point);
    if (!IsValid(cell))
        return;
    const QFont shown = ShownFont(cell);
    const QRect whole = CellRect(cell);
    titleTip->ShowTip(TextRect(cell), GetCellText(cell.row, cell.column), 0, &whole, &shown);
}

void CGridCtrl::HideTitleTip()
{
    if (titleTip)
        titleTip->HideTip();
}
