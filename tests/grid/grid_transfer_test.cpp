#include "grid_test_util.h"

#include "platform/drag_drop.h"
#include "platform/popup_menu.h"
#include "qt_test_support.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

using grid_test::TestGrid;

// Cells (1,1) and (1,2) of one grid are dragged onto cell (2,3) of another.
TEST(GridTransfer, DragsCellTextBetweenTwoGrids)
{
    struct Case {
        const char* name;
        Qt::KeyboardModifiers modifiers;
        unsigned targetState;
        bool sourceKept;
        bool pasted;
    };
    const Case cases[] = {
        {"move", {}, 0, false, true},
        {"copy with Ctrl", Qt::ControlModifier, 0, true, true},
        {"onto a read-only cell", {}, kCellReadOnly, true, false},
    };
    for (const Case& c : cases) {
        TestGrid target(6, 5);
        TestGrid source(6, 5);
        for (CGridCtrl* grid : {&source.grid, &target.grid})
            grid->AllowDragAndDrop(true);
        target.grid.SetCellState(2, 3, c.targetState);
        source.grid.setFocus();
        ASSERT_TRUE(source.grid.hasFocus());
        source.Click({1, 2});
        source.Click({1, 1}, Qt::ShiftModifier);

        CellPos highlighted;
        Qt::DropAction chosen = Qt::IgnoreAction;
        platform::ScopedHandler drop(platform::DragSeam(), [&](QDrag& drag, Qt::DropActions actions) {
            EXPECT_EQ(drag.mimeData()->text(), QStringLiteral("1/1\t1/2"));
            chosen = test_support::DeliverDrop(target.grid, target.Centre({2, 3}), drag.mimeData(), actions, c.modifiers,
                                               [&] { highlighted = target.grid.DropTargetCell(); });
            return chosen;
        });
        source.sent.clear();
        QTest::mousePress(&source.grid, Qt::LeftButton, {}, source.Centre({1, 2}));
        ASSERT_EQ(source.grid.GetMouseMode(), CGridCtrl::MouseMode::DragPending) << c.name;
        const QPoint away = source.Centre({2, 2});
        QMouseEvent move(QEvent::MouseMove, away, source.grid.mapToGlobal(away), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(&source.grid, &move);  // the drag starts

        EXPECT_NE(std::find(source.sent.begin(), source.sent.end(), std::make_tuple(int(kNotifyDragStarting), 1, 1)),
                  source.sent.end())
            << c.name;
        EXPECT_EQ(highlighted, (CellPos{2, 3})) << c.name;
        EXPECT_EQ(target.grid.DropTargetCell(), CellPos{}) << c.name;
        EXPECT_FALSE(target.grid.GetCellState(2, 3) & kCellDropTarget) << c.name;
        EXPECT_EQ(target.Text(2, 3), c.pasted ? QStringLiteral("1/1") : QStringLiteral("2/3")) << c.name;
        EXPECT_EQ(target.Text(2, 4), c.pasted ? QStringLiteral("1/2") : QStringLiteral("2/4")) << c.name;
        EXPECT_EQ(source.Text(1, 1), c.sourceKept ? QStringLiteral("1/1") : QString()) << c.name;
        EXPECT_EQ(source.Text(1, 2), c.sourceKept ? QStringLiteral("1/2") : QString()) << c.name;
        EXPECT_EQ(source.grid.GetMouseMode(), CGridCtrl::MouseMode::Idle) << c.name;
    }
}

// Copy needs a selection, cut also an editable grid, paste an editable
// focus cell and text on the clipboard, select all an enabled selection.
TEST(GridTransfer, EditCommandsAreEnabledByTheirRules)
{
    struct Case {
        const char* name;
        bool select;
        CellPos focus;
        bool editable;
        unsigned focusState;
        bool clipboardText;
        bool selection;
        bool copy, cut, paste, selectAll;
    };
    const Case cases[] = {
        {"nothing yet", false, {}, true, 0, true, true, false, false, false, true},
        {"a selection", true, {2, 2}, true, 0, true, true, true, true, true, true},
        {"grid not editable", true, {2, 2}, false, 0, true, true, true, false, false, true},
        {"read-only focus cell", true, {2, 2}, true, kCellReadOnly, true, true, true, true, false, true},
        {"empty clipboard", true, {2, 2}, true, 0, false, true, true, true, false, true},
        {"selection off", false, {2, 2}, true, 0, true, false, false, false, true, false},
    };
    for (const Case& c : cases) {
        TestGrid test(6, 5);
        test.grid.SetEditable(c.editable);
        test.grid.EnableSelection(c.selection);
        if (c.clipboardText)
            QGuiApplication::clipboard()->setText(QStringLiteral("4"));
        else
            QGuiApplication::clipboard()->clear();
        test.grid.SetCurrentCell(c.focus);
        if (test.grid.IsValid(c.focus))
            test.grid.SetCellState(c.focus.row, c.focus.column, c.focusState);
        if (c.select)
            test.grid.SelectRange({2, 2, 3, 3});
        EXPECT_EQ(test.grid.CommandEnabled(CGridCtrl::kCommandCopy), c.copy) << c.name;
        EXPECT_EQ(test.grid.CommandEnabled(CGridCtrl::kCommandCut), c.cut) << c.name;
        EXPECT_EQ(test.grid.CommandEnabled(CGridCtrl::kCommandPaste), c.paste) << c.name;
        EXPECT_EQ(test.grid.CommandEnabled(CGridCtrl::kCommandSelectAll), c.selectAll) << c.name;
        EXPECT_EQ(test.grid.ExecuteCommand(CGridCtrl::kCommandCut), c.cut) << c.name;
        EXPECT_EQ(test.Text(3, 3).isEmpty(), c.cut) << c.name;
    }
}

TEST(GridTransfer, ContextMenuOffersTheEditCommandsInGerman)
{
    TestGrid test(6, 5);
    test.grid.SetCurrentCell({2, 2});
    test.grid.SelectRange({2, 2, 2, 3});
    QGuiApplication::clipboard()->clear();
    QStringList offered;
    std::vector<bool> enabled;
    platform::ScopedHandler choose(platform::PopupMenuSeam(), [&](QMenu& menu, const QPoint&) -> QAction* {
        QAction* copy = nullptr;
        for (QAction* action : menu.actions()) {
            if (action->isSeparator())
                continue;
            offered << action->text();
            enabled.push_back(action->isEnabled());
            if (action->text() == QStringLiteral("Kopieren"))
                copy = action;
        }
        return copy;
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, test.Centre({2, 2}), test.grid.mapToGlobal(test.Centre({2, 2})));
    QApplication::sendEvent(&test.grid, &event);
    EXPECT_EQ(offered, (QStringList{QStringLiteral("Ausschneiden"), QStringLiteral("Kopieren"),
                                    QStringLiteral("Einf\u00fcgen"), QStringLiteral("Alles markieren")}));
    EXPECT_EQ(enabled, (std::vector<bool>{true, true, false, true}));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("2/2\t2/3"));
}

} // namespace
