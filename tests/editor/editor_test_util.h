#pragma once

// Helpers of the data editor's tests: driving the editor inside its modal
// run, and typing into a grid as a user does.

#include "editor/data_edit_dlg.h"
#include "editor/design_matrix_page.h"
#include "editor/observation_page.h"
#include "grid/cell_editor.h"
#include "grid/grid_ctrl.h"
#include "platform/dialog_builder.h"
#include "platform/tab_control.h"
#include "qt_test_support.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QTabBar>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <type_traits>

namespace editor_test {

inline constexpr int kDesign = CDataEditDlg::kDesignPage;
inline constexpr int kObservations = CDataEditDlg::kObservationPage;

inline CGridCtrl& GridOf(const CDataEditDlg& editor, int page)
{
    return page == kDesign ? *editor.DesignPage()->Grid() : *editor.ObservationPage()->Grid();
}

// Shows a dialog that runs modally under the test's modal seam, so that
// keys and clicks reach it as on the screen.
inline void ShowActive(QDialog& dialog)
{
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    (void)QTest::qWaitForWindowActive(&dialog);
}

// Runs a dialog of the editor (DoModal); body drives it while it is shown
// and ends it (OK, Cancel) or not. The result of the modal run.
template <class Dialog>
int RunModal(Dialog& dialog, const std::type_identity_t<std::function<void(Dialog&)>>& body)
{
    platform::ScopedHandler<int(QDialog&)> modal(platform::ModalSeam(), [&](QDialog& shown) {
        ShowActive(shown);
        body(dialog);
        return shown.result();
    });
    return dialog.DoModal();
}

// Runs a new editor for observations x unknowns values (DoModal); body
// drives it while it is shown. An editor body left open is then closed as
// Cancel without the question. The result of the modal run.
inline int RunNewEditor(int observations, int unknowns, const std::function<void(CDataEditDlg&)>& body)
{
    CDataEditDlg editor;
    editor.ObservationCount = observations;
    editor.UnknownCount = unknowns;
    return RunModal(editor, [&](CDataEditDlg& shown) {
        body(shown);
        if (shown.isVisible())
            shown.QDialog::reject();
    });
}

inline CCellEditor* OpenEditor(const CGridCtrl& grid)
{
    for (CCellEditor* editor : grid.findChildren<CCellEditor*>())
        if (editor->isVisible())
            return editor;
    return nullptr;
}

// As a user types into a cell: it becomes the focus cell, the first
// character opens the in-place editor, the rest goes into it, Return ends.
inline void TypeIntoCell(CGridCtrl& grid, CellPos cell, const QString& text)
{
    grid.SetCurrentCell(cell);
    QTest::sendKeyEvent(QTest::Click, &grid, Qt::Key_unknown, text.left(1), {});
    CCellEditor* editor = OpenEditor(grid);
    ASSERT_NE(editor, nullptr) << "no editor on " << cell.row << "/" << cell.column;
    QTest::keyClicks(editor, text.mid(1));
    QTest::keyClick(editor, Qt::Key_Return);
}

// A click on a tab, as the user chooses a page.
inline void ClickTab(const CDataEditDlg& editor, int index)
{
    QTabBar* bar = editor.Tabs()->TabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

inline void ClickButton(const QDialog& dialog, int id)
{
    QTest::mouseClick(platform::FindControl(&dialog, id), Qt::LeftButton);
}

// As a user pastes: the text on the clipboard, the cell the focus cell,
// Ctrl+V.
inline void PasteInto(CGridCtrl& grid, CellPos cell, const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    grid.SetCurrentCell(cell);
    QTest::keyClick(&grid, Qt::Key_V, Qt::ControlModifier);
}

// Every cell's text, row by row, cells separated by "|".
inline QStringList Texts(const CGridCtrl& grid)
{
    QStringList rows;
    for (int row = 0; row < grid.GetNumRows(); ++row) {
        QStringList cells;
        for (int column = 0; column < grid.GetNumColumns(); ++column)
            cells << grid.GetCellText(row, column);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

// The cells of a grid that are selected.
inline std::vector<CellPos> SelectedCells(const CGridCtrl& grid)
{
    std::vector<CellPos> selected;
    for (int row = 0; row < grid.GetNumRows(); ++row)
        for (int column = 0; column < grid.GetNumColumns(); ++column)
            if (grid.GetCellState(row, column) & kCellSelected)
                selected.push_back({row, column});
    return selected;
}

} // namespace editor_test
