#include "grid/cell_editor.h"
#include "grid_stand_in.h"
#include "platform/virtual_keys.h"
#include "qt_test_support.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace platform;

namespace {

const QRect kCell(100, 20, 50, 22);

// The grid in a dialog with what a dialog takes from a plain edit: a default
// button (Enter), Esc, a next control (Tab) and an Alt+X mnemonic.
class CellEditorTest : public ::testing::Test {
public:
    void SetUp() override
    {
        Dialog = std::make_unique<QDialog>();
        Dialog->resize(400, 300);
        Grid = new GridStandIn(Dialog.get());
        Grid->setGeometry(10, 10, 300, 200);
        Other = new QLineEdit(Dialog.get());
        Other->move(10, 220);
        (new QPushButton(QStringLiteral("OK"), Dialog.get()))->setDefault(true);
        QObject::connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_X), Dialog.get()), &QShortcut::activated,
                         [this] { ++Mnemonics; });
        Dialog->show();
        QApplication::setActiveWindow(Dialog.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(Dialog.get()));
        Grid->setFocus();
    }

    static void Settle()
    {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    bool DialogUntouched() const { return Dialog->isVisible() && Dialog->result() == 0 && Mnemonics == 0; }

    std::unique_ptr<QDialog> Dialog;
    GridStandIn* Grid = nullptr;
    QLineEdit* Other = nullptr;
    int Mnemonics = 0;
};

TEST_F(CellEditorTest, FirstKeyDecidesHowEditingStarts)
{
    struct Case {
        unsigned firstKey;
        QString text, selected;  // from "12.5"
        int caret;
    };
    const Case cases[] = {
        {VK_LBUTTON, "12.5", "", 4}, {VK_RETURN, "12.5", "", 4}, {VK_BACK, "12.", "", 3},
        {VK_TAB, "12.5", "12.5", 4}, {VK_SPACE, "12.5", "12.5", 4},
        {'!', "12.5", "12.5", 4},  // 33 to 40: navigation keys, also when typed
        {'(', "12.5", "12.5", 4}, {')', ")", "", 1}, {'7', "7", "", 1}, {0xE4, QStringLiteral("ä"), "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.firstKey);
        std::unique_ptr<CCellEditor> editor(Grid->Edit(kCell, QStringLiteral("12.5"), c.firstKey));
        EXPECT_EQ(editor->text(), c.text);
        EXPECT_EQ(editor->selectedText(), c.selected);
        EXPECT_EQ(editor->cursorPosition(), c.caret);
        EXPECT_TRUE(editor->hasFocus());
        EXPECT_EQ(editor->geometry(), kCell);
    }
    EXPECT_TRUE(Grid->Ended.empty());
}

TEST_F(CellEditorTest, EscapeAsFirstKeyRestoresAndEndsOnce)
{
    QPointer<CCellEditor> editor = Grid->Edit(kCell, QStringLiteral("12.5"), VK_ESCAPE);
    Settle();
    ASSERT_EQ(Grid->Ended.size(), 1u);
    const GridItem& item = Grid->Ended[0];
    EXPECT_EQ(std::tuple(item.row, item.column, item.mask, item.text, item.parameter),
              std::tuple(2, 3, unsigned(kItemText | kItemParameter), QStringLiteral("12.5"), unsigned(VK_ESCAPE)));
    EXPECT_TRUE(Grid->hasFocus());
    EXPECT_TRUE(editor.isNull());
}

TEST_F(CellEditorTest, KeysThatEndEditingAndKeysThatStayInside)
{
    struct Case {
        const char* name;
        unsigned firstKey;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        unsigned endingKey;  // 0: editing goes on, with the caret at caret
        int caret;
    };
    const Qt::KeyboardModifiers none = Qt::NoModifier, ctrl = Qt::ControlModifier;
    const Case cases[] = {
        {"typed, Right", '7', Qt::Key_Right, none, VK_RIGHT, 0},
        {"typed, Up", '7', Qt::Key_Up, none, VK_UP, 0},
        {"typed, PageUp", '7', Qt::Key_PageUp, none, VK_PRIOR, 0},
        {"typed, PageDown", '7', Qt::Key_PageDown, none, VK_NEXT, 0},
        {"typed, Home", '7', Qt::Key_Home, none, 0, 0},
        {"typed, End", '7', Qt::Key_End, none, 0, 1},
        {"typed, Esc", '7', Qt::Key_Escape, none, VK_ESCAPE, 0},
        {"click, Left", VK_LBUTTON, Qt::Key_Left, none, 0, 3},
        {"click, Down", VK_LBUTTON, Qt::Key_Down, none, 0, 4},
        {"click, PageDown", VK_LBUTTON, Qt::Key_PageDown, none, 0, 4},
        {"click, Ctrl+Right", VK_LBUTTON, Qt::Key_Right, ctrl, VK_RIGHT, 0},
        {"click, Ctrl+PageDown", VK_LBUTTON, Qt::Key_PageDown, ctrl, VK_NEXT, 0},
        {"click, Home", VK_LBUTTON, Qt::Key_Home, none, 0, 0},
        {"click, Tab", VK_LBUTTON, Qt::Key_Tab, none, VK_TAB, 0},
        {"click, Shift+Tab", VK_LBUTTON, Qt::Key_Backtab, Qt::ShiftModifier, VK_TAB, 0},
        {"click, Enter", VK_LBUTTON, Qt::Key_Return, none, VK_RETURN, 0},
        {"click, keypad Enter", VK_LBUTTON, Qt::Key_Enter, Qt::KeypadModifier, VK_RETURN, 0},
        {"click, Alt+X is swallowed", VK_LBUTTON, Qt::Key_X, Qt::AltModifier, 0, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Grid->Ended.clear();
        Grid->Received.clear();
        QPointer<CCellEditor> editor = Grid->Edit(kCell, QStringLiteral("12.5"), c.firstKey);
        const QString typed = editor->text();
        QTest::keyClick(editor.data(), c.key, c.modifiers);
        if (c.endingKey == 0) {
            EXPECT_TRUE(Grid->Ended.empty());
            EXPECT_EQ(editor->text(), typed);
            EXPECT_EQ(editor->cursorPosition(), c.caret);
            delete editor;
        } else {
            ASSERT_EQ(Grid->Ended.size(), 1u);
            EXPECT_EQ(Grid->Ended[0].parameter, c.endingKey);
            EXPECT_EQ(Grid->Ended[0].text, c.endingKey == VK_ESCAPE ? QStringLiteral("12.5") : typed);
            EXPECT_TRUE(Grid->hasFocus());  // not the dialog's next control
            Settle();
            EXPECT_TRUE(editor.isNull());
        }
        EXPECT_FALSE(Grid->Got(QEvent::KeyPress));  // the key did not go on
        EXPECT_TRUE(DialogUntouched());
        Grid->setFocus();
    }
}

TEST_F(CellEditorTest, GrowsRightUpToTheGridEdgeAndNeverShrinks)
{
    std::unique_ptr<CCellEditor> editor(Grid->Edit(kCell, QStringLiteral("an old text that is clipped"), VK_LBUTTON));
    EXPECT_EQ(editor->geometry(), kCell);  // no growth before typing
    editor->clear();
    for (int i = 1; i <= 60; ++i) {
        QTest::keyClick(editor.get(), Qt::Key_W);
        const int wanted = editor->fontMetrics().horizontalAdvance(QString(i, 'w') + QStringLiteral("  "));
        const int right = std::min(Grid->width(), kCell.left() + std::max(wanted, kCell.width()));
        ASSERT_EQ(editor->geometry(), QRect(kCell.topLeft(), QPoint(right - 1, kCell.bottom()))) << i;
    }
    for (int i = 0; i < 60; ++i)
        QTest::keyClick(editor.get(), Qt::Key_Backspace);
    EXPECT_EQ(editor->geometry().right(), Grid->width() - 1);
}

TEST_F(CellEditorTest, LossOfFocusEndsWithKeyZeroExceptForAPopup)
{
    const std::pair<std::function<void()>, bool> cases[] = {
        {[this] { Other->setFocus(Qt::MouseFocusReason); }, true},
        {[] { QApplication::setActiveWindow(nullptr); }, true},  // another program
        {[this] {  // the editor's own context menu hands the focus back
             QMenu menu(Dialog.get());
             menu.popup(Dialog->mapToGlobal(QPoint(20, 20)));
             QApplication::processEvents();
         }, false},
    };
    for (const auto& [loseFocus, ends] : cases) {
        Grid->Ended.clear();
        QPointer<CCellEditor> editor = Grid->Edit(kCell, QStringLiteral("12.5"), '3');
        loseFocus();
        Settle();
        ASSERT_EQ(Grid->Ended.size(), ends ? 1u : 0u);
        EXPECT_EQ(editor.isNull(), ends);
        if (ends) {
            EXPECT_EQ(std::pair(Grid->Ended[0].text, Grid->Ended[0].parameter), std::pair(QStringLiteral("3"), 0u));
        }
        delete editor;
        QApplication::setActiveWindow(Dialog.get());
        Grid->setFocus();
    }
}

// As the grid does: an edit ended by a navigation key opens the next cell's
// editor inside the notification, with that key as first key.
TEST_F(CellEditorTest, NextEditorOpensInsideTheNotification)
{
    QPointer<CCellEditor> next;
    Grid->OnEnded = [&](const GridItem& item, CCellEditor*) {
        if (item.parameter == VK_RIGHT)
            next = Grid->Edit(kCell.translated(kCell.width(), 0), QStringLiteral("abc"), VK_RIGHT, 4);
    };
    QPointer<CCellEditor> first = Grid->Edit(kCell, QStringLiteral("12.5"), '7');
    QTest::keyClick(first.data(), Qt::Key_Right);
    ASSERT_FALSE(next.isNull());
    EXPECT_TRUE(next->hasFocus());
    EXPECT_EQ(next->selectedText(), QStringLiteral("abc"));
    QTest::keyClick(next.data(), Qt::Key_Escape);
    Settle();
    ASSERT_EQ(Grid->Ended.size(), 2u);
    EXPECT_EQ(Grid->Ended[0].text, QStringLiteral("7"));
    EXPECT_EQ(std::pair(Grid->Ended[1].text, Grid->Ended[1].column), std::pair(QStringLiteral("abc"), 4));
    EXPECT_TRUE(first.isNull() && next.isNull());
}

// The handler gives the focus back to the closing editor: closing it takes
// the focus away a second time.
TEST_F(CellEditorTest, FocusLostWhileClosingSendsNoSecondNotification)
{
    Grid->OnEnded = [](const GridItem&, CCellEditor* editor) { editor->setFocus(); };
    QPointer<CCellEditor> editor = Grid->Edit(kCell, QStringLiteral("12.5"), '7');
    QTest::keyClick(editor.data(), Qt::Key_Return);
    Settle();
    EXPECT_EQ(Grid->Ended.size(), 1u);
    EXPECT_TRUE(editor.isNull());
}

} // namespace
