#include "editor/data_edit_dlg.h"

#include "editor_test_util.h"
#include "platform/string_text.h"
#include "res/text_styles.h"
#include "test_support.h"

#include "platform/drag_drop.h"
#include "platform/popup_menu.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <QTabBar>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

namespace {

using editor_test::ClickButton;
using editor_test::ClickTab;
using editor_test::GridOf;
using editor_test::kDesign;
using editor_test::kObservations;
using editor_test::RunModal;
using editor_test::RunNewEditor;
using editor_test::TypeIntoCell;
using test_support::FromRows;
using test_support::SameMatrix;

// Every cell as the editor fills a page: headers read-only, row 0
// word-wrapped, the rest centred, the values as valueText gives them.
void ExpectLayout(const CGridCtrl& grid, const QStringList& columnTitles, int rows,
                  const std::function<QString(int i, int j)>& valueText)
{
    ASSERT_EQ(grid.GetNumRows(), rows + 1);
    ASSERT_EQ(grid.GetNumColumns(), columnTitles.size() + 1);
    EXPECT_EQ(grid.GetNumFixedRows() * 10 + grid.GetNumFixedColumns(), 11);
    for (int row = 0; row <= rows; ++row)
        for (int column = 0; column <= columnTitles.size(); ++column) {
            const QString expected = row == 0    ? (column == 0 ? QStringLiteral("Elemente") : columnTitles[column - 1])
                                     : column == 0 ? QStringLiteral("Zeile %1").arg(row)
                                                   : valueText(row - 1, column - 1);
            EXPECT_EQ(grid.GetCellText(row, column), expected) << row << "/" << column;
            EXPECT_EQ(grid.GetCellFormat(row, column), row == 0 ? unsigned(res::DT_WORDBREAK) : unsigned(res::DT_CENTER));
            const unsigned state = row == 0 || column == 0 ? unsigned(kCellReadOnly) : 0u;
            EXPECT_EQ(grid.GetCellState(row, column) & ~unsigned(kCellFocused), state) << row << "/" << column;
        }
}

TEST(DataEditDlg, CreateModeOffersZerosAndWeightsOfOneOnTwoTabs)
{
    CDataEditDlg editor;
    editor.ObservationCount = 10;
    editor.UnknownCount = 10;
    const int result = RunModal(editor, [](CDataEditDlg& shown) {
        QTabBar* tabs = shown.Tabs()->TabBar();
        ASSERT_EQ(tabs->count(), 2);
        EXPECT_EQ(tabs->tabText(0) + "|" + tabs->tabText(1), QStringLiteral("Design-Matrix|Beobachtungen"));
        EXPECT_GE(tabs->tabRect(0).width(), 125);
        QStringList columns;
        for (int j = 1; j <= 10; ++j)
            columns << QStringLiteral("Spalte %1").arg(j);
        ExpectLayout(GridOf(shown, kDesign), columns, 10, [](int, int) { return QStringLiteral("0.000000"); });
        ExpectLayout(GridOf(shown, kObservations), {QStringLiteral("Beobachtung"), QStringLiteral("Gewicht")}, 10,
                     [](int, int j) { return QString::fromLatin1(j == 0 ? "0.000000" : "1.000000"); });
        // The first page shows, ready for typing into its first value cell.
        EXPECT_TRUE(shown.DesignPage()->isVisible() && !shown.ObservationPage()->isVisible());
        EXPECT_EQ(GridOf(shown, kDesign).GetCurrentCell(), (CellPos{1, 1}));
        EXPECT_TRUE(GridOf(shown, kDesign).hasFocus());
        ClickButton(shown, CDataEditDlg::kOkButton);
    });
    ASSERT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(SameMatrix(editor.DesignMatrix, Matrix(10, 10, 0.0)));
    EXPECT_TRUE(SameMatrix(editor.Observations, Matrix(10, 1, 0.0)));
    EXPECT_TRUE(SameMatrix(editor.Weights, Matrix(10, 1, 1.0)));
}

// "%lf" where it gives the number back, else the shortest exact text.
TEST(DataEditDlg, EditModeShowsEveryValueWithoutLosingDigits)
{
    const Matrix design = FromRows({{1.234567, 1e-07, 12.5, -0.0, 1e20}});
    CDataEditDlg editor;
    editor.SetData(design, FromRows({{0.1 + 0.2}}), FromRows({{1e-20}}));
    const int result = RunModal(editor, [](CDataEditDlg& shown) {
        const QStringList texts = {QStringLiteral("1.234567"), QStringLiteral("1e-07"), QStringLiteral("12.500000"),
                                   QStringLiteral("-0.000000"), QStringLiteral("100000000000000000000.000000"),
                                   QStringLiteral("0.30000000000000004"), QStringLiteral("1e-20")};
        for (int j = 0; j < 5; ++j)
            EXPECT_EQ(GridOf(shown, kDesign).GetCellText(1, j + 1), texts[j]);
        for (int j = 0; j < 2; ++j)
            EXPECT_EQ(GridOf(shown, kObservations).GetCellText(1, j + 1), texts[5 + j]);
        ClickButton(shown, CDataEditDlg::kOkButton);
    });
    ASSERT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(SameMatrix(editor.DesignMatrix, design));
    EXPECT_TRUE(SameMatrix(editor.Observations, FromRows({{0.1 + 0.2}})));
    EXPECT_TRUE(SameMatrix(editor.Weights, FromRows({{1e-20}})));
}

// Whole numbers only ("." as decimal point, blanks around allowed); the
// refused cell is named, made the focus cell of its page, shown, and the
// editor stays open.
TEST(DataEditDlg, OkRefusesCellsThatAreNoNumberAndWeightsNotAboveZero)
{
    const std::string noNumber = ": Geben Sie bitte eine Zahl ein (mit Punkt als Dezimalzeichen).";
    const std::string notPositive = ": Das Gewicht muss größer als 0 sein.";
    const std::string outOfRange = ": Die Zahl liegt außerhalb des Bereichs, den Tolvar darstellen kann "
                                   "(Betrag zwischen etwa 2.2e-308 und 1.8e308).";
    const struct {
        int page;
        CellPos cell;
        const char* text;
        std::string message;  // empty: accepted as value
        double value;
    } cases[] = {
        {kDesign, {2, 1}, "2,5", "Design-Matrix, Zeile 2, Spalte 1" + noNumber, 0},
        {kDesign, {3, 2}, "abc", "Design-Matrix, Zeile 3, Spalte 2" + noNumber, 0},
        {kDesign, {1, 2}, "", "Design-Matrix, Zeile 1, Spalte 2" + noNumber, 0},
        {kDesign, {3, 1}, "3.5xyz", "Design-Matrix, Zeile 3, Spalte 1" + noNumber, 0},
        {kDesign, {1, 1}, "1e400", "Design-Matrix, Zeile 1, Spalte 1" + outOfRange, 0},
        {kDesign, {1, 1}, "-1e-400", "Design-Matrix, Zeile 1, Spalte 1" + outOfRange, 0},
        {kDesign, {1, 1}, "inf", "Design-Matrix, Zeile 1, Spalte 1" + noNumber, 0},
        {kObservations, {2, 1}, "nan", "Beobachtungen, Zeile 2, Beobachtung" + noNumber, 0},
        {kObservations, {3, 2}, "0", "Beobachtungen, Zeile 3, Gewicht" + notPositive, 0},
        {kObservations, {1, 2}, "-1", "Beobachtungen, Zeile 1, Gewicht" + notPositive, 0},
        {kDesign, {2, 2}, "  2.5 ", "", 2.5},
        {kDesign, {2, 2}, "1e3", "", 1000.0},
        {kObservations, {2, 1}, "-7.25", "", -7.25},
        {kObservations, {2, 2}, "1e-09", "", 1e-09},
    };
    for (const auto& c : cases) {
        test_support::MessageRecorder messages;
        CDataEditDlg editor;
        editor.ObservationCount = 3;
        editor.UnknownCount = 2;
        const int result = RunModal(editor, [&](CDataEditDlg& shown) {
            GridOf(shown, c.page).SetCellText(c.cell.row, c.cell.column, QString::fromUtf8(c.text));
            ClickButton(shown, CDataEditDlg::kOkButton);
            if (c.message.empty())
                return;
            EXPECT_TRUE(shown.isVisible() && shown.CurrentPage()->isVisible()) << c.text;
            EXPECT_EQ(shown.Tabs()->GetCurSel(), c.page) << c.text;
            EXPECT_EQ(GridOf(shown, c.page).GetCurrentCell(), c.cell) << c.text;
            EXPECT_TRUE(GridOf(shown, c.page).IsCellFullyShown(c.cell)) << c.text;
            shown.reject();
        });
        EXPECT_EQ(result, c.message.empty() ? QDialog::Accepted : QDialog::Rejected) << c.text;
        EXPECT_EQ(messages.messages.join(QString()).toStdString(), c.message) << c.text;
        if (c.message.empty()) {
            const Matrix& read = c.page == kDesign ? editor.DesignMatrix
                                 : c.cell.column == 1 ? editor.Observations
                                                      : editor.Weights;
            EXPECT_EQ(read(c.cell.row - 1, c.page == kDesign ? c.cell.column - 1 : 0), c.value) << c.text;
        }
    }
}

// While it lives, the process may map only a little more memory than it
// has now.
class ScopedMemoryLimit {
public:
    explicit ScopedMemoryLimit(rlim_t moreBytes)
    {
        std::ifstream statm("/proc/self/statm");
        rlim_t pages = 0;
        statm >> pages;
        getrlimit(RLIMIT_AS, &before);
        rlimit limited = before;
        limited.rlim_cur = pages * rlim_t(sysconf(_SC_PAGESIZE)) + moreBytes;
        setrlimit(RLIMIT_AS, &limited);
    }
    ~ScopedMemoryLimit() { setrlimit(RLIMIT_AS, &before); }

private:
    rlimit before{};
};

// OK without the memory for the matrices: the out-of-memory message, and
// the editor stays open with what was typed, so that a later OK succeeds.
TEST(DataEditDlg, OkWithoutMemoryKeepsTheEditorOpenWithItsData)
{
    test_support::MessageRecorder messages;
    CDataEditDlg editor;
    editor.ObservationCount = 600;
    editor.UnknownCount = 600;  // 2.9 MB of design matrix
    const int result = RunModal(editor, [&](CDataEditDlg& shown) {
        GridOf(shown, kDesign).SetCellText(2, 3, QStringLiteral("4.5"));
        {
            const ScopedMemoryLimit limit(1 << 20);
            ClickButton(shown, CDataEditDlg::kOkButton);
        }
        EXPECT_EQ(messages.messages, QStringList{platform::LoadText(kStringOutOfMemory)});
        EXPECT_TRUE(shown.isVisible());
        EXPECT_EQ(GridOf(shown, kDesign).GetCellText(2, 3), QStringLiteral("4.5"));
        ClickButton(shown, CDataEditDlg::kOkButton);
    });
    ASSERT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(editor.DesignMatrix(1, 2), 4.5);
}

TEST(DataEditDlg, SwitchingTabsKeepsWhatWasTyped)
{
    CDataEditDlg editor;
    editor.ObservationCount = 3;
    editor.UnknownCount = 2;
    const int result = RunModal(editor, [](CDataEditDlg& shown) {
        TypeIntoCell(GridOf(shown, kDesign), {2, 2}, QStringLiteral("7.5"));
        ClickTab(shown, kObservations);
        EXPECT_EQ(shown.CurrentPage(), shown.ObservationPage());
        EXPECT_TRUE(shown.ObservationPage()->isVisible() && !shown.DesignPage()->isVisible());
        // A page seen for the first time starts at its first value cell.
        EXPECT_EQ(GridOf(shown, kObservations).GetCurrentCell(), (CellPos{1, 1}));
        TypeIntoCell(GridOf(shown, kObservations), {3, 2}, QStringLiteral("4"));
        ClickTab(shown, kDesign);
        EXPECT_EQ(GridOf(shown, kDesign).GetCellText(2, 2), QStringLiteral("7.5"));
        EXPECT_EQ(GridOf(shown, kDesign).GetCurrentCell(), (CellPos{2, 2}));
        ClickButton(shown, CDataEditDlg::kOkButton);
    });
    ASSERT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(SameMatrix(editor.DesignMatrix, FromRows({{0, 0}, {0, 7.5}, {0, 0}})));
    EXPECT_TRUE(SameMatrix(editor.Weights, FromRows({{1}, {1}, {4}})));
}

// Growing the editor by (dx, dy) moves both buttons and grows the tab
// control, both pages and both grids by as much (the hidden page's grid
// once its page shows); the editor never gets smaller than it opened.
TEST(DataEditDlg, EnlargingMovesTheButtonsAndGrowsTabsPagesAndGrids)
{
    CDataEditDlg::ForgetPlacement();
    RunNewEditor(5, 3, [](CDataEditDlg& shown) {
        EXPECT_EQ(shown.minimumSize(), shown.size());
        ClickTab(shown, kObservations);
        ClickTab(shown, kDesign);
        const std::vector<QWidget*> moved = {platform::FindControl(&shown, CDataEditDlg::kOkButton),
                                             platform::FindControl(&shown, CDataEditDlg::kCancelButton)};
        const std::vector<QWidget*> grown = {shown.Tabs(), shown.DesignPage(), shown.ObservationPage(),
                                             &GridOf(shown, kDesign), &GridOf(shown, kObservations)};
        std::vector<QRect> before;
        for (QWidget* widget : moved)
            before.push_back(widget->geometry());
        for (QWidget* widget : grown)
            before.push_back(widget->geometry());
        EXPECT_GT(GridOf(shown, kDesign).width(), shown.DesignPage()->width() * 9 / 10);  // it fills its page
        const QSize change(70, 45);
        shown.resize(shown.size() + change);
        ClickTab(shown, kObservations);
        for (std::size_t i = 0; i < moved.size(); ++i)
            EXPECT_EQ(moved[i]->geometry(), before[i].translated(change.width(), change.height())) << i;
        for (std::size_t i = 0; i < grown.size(); ++i)
            EXPECT_EQ(grown[i]->geometry(), QRect(before[moved.size() + i].topLeft(), before[moved.size() + i].size() + change))
                << i;
        shown.reject();
    });
}

} // namespace

namespace {

using editor_test::PasteInto;
using test_support::Utf8;
using editor_test::SelectedCells;

const QString kDiscard = QString::fromUtf8("Änderungen verwerfen?");

// Cancel, Escape and the window's close ask before typed values go; "Nein"
// keeps the editor open as it was. Without a change (or with every change
// undone) nothing is asked.
TEST(DataEditDlg, ClosingWithChangesAsksBeforeDiscarding)
{
    enum How { kCancel, kEscape, kClose };
    const struct {
        How how;
        bool typed;
        bool undone;
        bool answer;
        bool closed;
    } cases[] = {
        {kCancel, false, false, false, true}, {kEscape, false, false, false, true},
        {kCancel, true, false, false, false}, {kEscape, true, false, false, false},
        {kClose, true, false, false, false},  {kEscape, true, false, true, true},
        {kClose, true, false, true, true},    {kEscape, true, true, false, true},
    };
    for (const auto& c : cases) {
        const std::string name = std::to_string(int(c.how)) + (c.typed ? " typed" : "") + (c.undone ? " undone" : "");
        test_support::QuestionAnswerer answers;
        answers.otherwise = c.answer;
        const int result = RunNewEditor(3, 2, [&](CDataEditDlg& shown) {
            CGridCtrl& grid = GridOf(shown, kDesign);
            if (c.typed)
                TypeIntoCell(grid, {2, 2}, QStringLiteral("7.5"));
            if (c.undone)
                QTest::keyClick(&grid, Qt::Key_Z, Qt::ControlModifier);
            switch (c.how) {
            case kCancel: ClickButton(shown, CDataEditDlg::kCancelButton); break;
            case kEscape: QTest::keyClick(&grid, Qt::Key_Escape); break;
            case kClose: shown.close(); break;
            }
            EXPECT_EQ(!shown.isVisible(), c.closed) << name;
            if (shown.isVisible()) {
                EXPECT_EQ(grid.GetCellText(2, 2), QStringLiteral("7.5")) << name;
                EXPECT_EQ(grid.GetCurrentCell(), (CellPos{2, 2})) << name;
                EXPECT_TRUE(grid.hasFocus()) << name;
                shown.QDialog::reject();
            }
        });
        EXPECT_EQ(result, QDialog::Rejected) << name;
        EXPECT_EQ(answers.questions, c.typed && !c.undone ? QStringList{kDiscard} : QStringList{}) << name;
    }
}

// OK selects every refused cell of the first page that has one (and
// nothing else), focuses the first, names it and says how many there are.
TEST(DataEditDlg, OkSelectsEveryRefusedCellAndSaysHowMany)
{
    test_support::MessageRecorder messages;
    RunNewEditor(4, 3, [&](CDataEditDlg& shown) {
        CGridCtrl& design = GridOf(shown, kDesign);
        design.SelectRange({1, 1, 1, 3});
        for (const auto& [cell, text] : {std::pair{CellPos{2, 1}, ""}, {CellPos{2, 2}, "x"}, {CellPos{4, 3}, "1e400"}})
            design.SetCellText(cell.row, cell.column, QString::fromUtf8(text));
        GridOf(shown, kObservations).SetCellText(1, 2, QStringLiteral("0"));
        ClickButton(shown, CDataEditDlg::kOkButton);
        EXPECT_EQ(SelectedCells(design), (std::vector<CellPos>{{2, 1}, {2, 2}, {4, 3}}));
        EXPECT_EQ(design.GetCurrentCell(), (CellPos{2, 1}));
        EXPECT_EQ(messages.messages.value(0), Utf8("Design-Matrix, Zeile 2, Spalte 1: Geben Sie bitte eine Zahl ein "
                                                   "(mit Punkt als Dezimalzeichen)."));
        EXPECT_EQ(messages.informativeTexts.value(0),
                  Utf8("Auf dieser Seite sind 3 Zellen fehlerhaft; sie sind alle markiert."));
        for (CellPos cell : {CellPos{2, 1}, CellPos{2, 2}, CellPos{4, 3}})
            TypeIntoCell(design, cell, QStringLiteral("1"));
        ClickButton(shown, CDataEditDlg::kOkButton);
        EXPECT_EQ(shown.CurrentPage(), shown.ObservationPage());
        EXPECT_EQ(SelectedCells(GridOf(shown, kObservations)), (std::vector<CellPos>{{1, 2}}));
        EXPECT_EQ(messages.informativeTexts.value(1), QString());
    });
    EXPECT_EQ(messages.messages.size(), 2);
}

// Ctrl+Tab leaves the grid for the next control; Ctrl+Page Down and Up
// turn the pages, the grid of the page shown taking the keyboard focus.
TEST(DataEditDlg, CtrlTabLeavesTheGridAndCtrlPageKeysTurnThePages)
{
    RunNewEditor(3, 3, [](CDataEditDlg& shown) {
        CGridCtrl& design = GridOf(shown, kDesign);
        QTest::keyClick(&design, Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_FALSE(design.hasFocus());
        EXPECT_EQ(design.GetCurrentCell(), (CellPos{1, 1}));
        design.setFocus();
        const struct {
            Qt::Key key;
            int page;
        } steps[] = {{Qt::Key_PageDown, kObservations}, {Qt::Key_PageDown, kObservations},
                     {Qt::Key_PageUp, kDesign},         {Qt::Key_PageUp, kDesign}};
        for (const auto& step : steps) {
            QTest::keyClick(QApplication::focusWidget(), step.key, Qt::ControlModifier);
            EXPECT_EQ(shown.Tabs()->GetCurSel(), step.page);
            EXPECT_TRUE(GridOf(shown, step.page).hasFocus());
            EXPECT_EQ(GridOf(shown, step.page).GetCurrentCell(), (CellPos{1, 1}));
        }
    });
}

// Text with a Tab comes from a spreadsheet: a comma between digits is the
// decimal point. Text without a Tab is split at commas as before.
TEST(DataEditDlg, PastedSpreadsheetTextReadsDecimalCommas)
{
    const struct {
        const char* pasted;
        QStringList row1;
        QStringList row2;
    } cases[] = {
        {"1,5\t2,5", {"1.5", "2.5", "0.000000"}, {"0.000000", "0.000000", "0.000000"}},
        {"-1.234,5\t1.234\t1,5e3", {"-1234.5", "1.234", "1.5e3"}, {"0.000000", "0.000000", "0.000000"}},
        {"1,5\t2,5\r\n3,5\t4,5\r\n", {"1.5", "2.5", "0.000000"}, {"3.5", "4.5", "0.000000"}},
        {"a,b\t1,2,3\t,5", {"a,b", "1,2,3", ",5"}, {"0.000000", "0.000000", "0.000000"}},
        {"1,5", {"1", "5", "0.000000"}, {"0.000000", "0.000000", "0.000000"}},
        {"1,5\n2", {"1", "5", "0.000000"}, {"2", "0.000000", "0.000000"}},
    };
    for (const auto& c : cases) {
        RunNewEditor(3, 3, [&](CDataEditDlg& shown) {
            CGridCtrl& grid = GridOf(shown, kDesign);
            PasteInto(grid, {1, 1}, QString::fromUtf8(c.pasted));
            for (int j = 0; j < 3; ++j) {
                EXPECT_EQ(grid.GetCellText(1, j + 1), c.row1[j]) << c.pasted;
                EXPECT_EQ(grid.GetCellText(2, j + 1), c.row2[j]) << c.pasted;
            }
        });
    }
}

// Rows (on both pages) and columns (design page only) that a paste needs
// are added when the user agrees; what still has no cell is left out and
// counted.
TEST(DataEditDlg, APasteBeyondTheGridAsksToAddRowsAndColumns)
{
    const QString pasted = QStringLiteral("1\t2\t3\n4\t5\t6");
    const struct {
        int page;
        bool answer;
        const char* question;
        const char* leftOut;
        int rows;
        int designColumns;
    } cases[] = {
        {kDesign, true, "1 Zeile(n) (Beobachtungen) und 2 Spalte(n) (Unbekannte)", "", 3, 3},
        {kDesign, false, "1 Zeile(n) (Beobachtungen) und 2 Spalte(n) (Unbekannte)", "5", 2, 1},
        {kObservations, true, "1 Zeile(n) (Beobachtungen) angef", "2", 3, 1},
    };
    for (const auto& c : cases) {
        test_support::QuestionAnswerer answers;
        answers.otherwise = c.answer;
        test_support::MessageRecorder messages;
        RunNewEditor(2, 1, [&](CDataEditDlg& shown) {
            ClickTab(shown, c.page);
            CGridCtrl& grid = GridOf(shown, c.page);
            PasteInto(grid, {2, 1}, pasted);
            EXPECT_EQ(GridOf(shown, kDesign).GetNumRows(), c.rows + 1) << c.page << c.answer;
            EXPECT_EQ(GridOf(shown, kObservations).GetNumRows(), c.rows + 1) << c.page << c.answer;
            EXPECT_EQ(GridOf(shown, kDesign).GetNumColumns(), c.designColumns + 1) << c.page << c.answer;
            EXPECT_EQ(grid.GetCellText(2, 1), QStringLiteral("1"));
            if (c.rows == 3) {
                EXPECT_EQ(grid.GetCellText(3, 1), QStringLiteral("4"));
                EXPECT_EQ(GridOf(shown, kObservations).GetCellText(3, 0), QStringLiteral("Zeile 3"));
                EXPECT_EQ(GridOf(shown, kObservations).GetCellText(3, 2), c.page == kDesign ? "1.000000" : "5");
            }
        });
        ASSERT_EQ(answers.questions.size(), 1) << c.page << c.answer;
        EXPECT_TRUE(answers.questions[0].contains(Utf8(c.question))) << answers.questions[0].toStdString();
        const QString leftOut = Utf8(c.leftOut) + Utf8(" eingefügte Werte hatten keinen Platz in der Tabelle und "
                                                       "wurden weggelassen.");
        EXPECT_EQ(messages.messages, *c.leftOut ? QStringList{leftOut} : QStringList{}) << c.page << c.answer;
    }
}

} // namespace

namespace {

using editor_test::OpenEditor;
using editor_test::Texts;

// Delete empties every selected cell; F2 edits the focus cell with the
// caret after its text; a right-click on a cell outside the selection makes
// it the focus cell and the selection before the menu opens, one inside
// keeps the selection.
TEST(DataEditDlg, DeleteF2AndRightClickWorkOnWhatTheUserSees)
{
    RunNewEditor(4, 3, [](CDataEditDlg& shown) {
        CGridCtrl& grid = GridOf(shown, kDesign);
        grid.SetCurrentCell({1, 1});
        grid.SelectRange({1, 1, 2, 2});
        QTest::keyClick(&grid, Qt::Key_Delete);
        EXPECT_EQ(Texts(grid).mid(1, 3), (QStringList{"Zeile 1|||0.000000", "Zeile 2|||0.000000",
                                                       "Zeile 3|0.000000|0.000000|0.000000"}));

        grid.SetCellText(3, 2, QStringLiteral("12.5"));
        grid.SetCurrentCell({3, 2});
        QTest::keyClick(&grid, Qt::Key_F2);
        QLineEdit* edit = OpenEditor(grid);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), QStringLiteral("12.5"));
        EXPECT_EQ(edit->cursorPosition(), 4);
        EXPECT_FALSE(edit->hasSelectedText());
        QTest::keyClick(edit, Qt::Key_Escape);

        std::vector<std::pair<CellPos, std::vector<CellPos>>> seen;  // focus and selection as the menu opens
        platform::ScopedHandler popup(platform::PopupMenuSeam(), [&](QMenu&, const QPoint&) -> QAction* {
            seen.emplace_back(grid.GetCurrentCell(), editor_test::SelectedCells(grid));
            return nullptr;
        });
        grid.SelectRange({1, 1, 2, 1});
        for (CellPos clicked : {CellPos{4, 3}, CellPos{4, 3}, CellPos{1, 1}}) {
            if (clicked == CellPos{1, 1})
                grid.SelectRange({1, 1, 2, 1});
            const QPoint at = grid.CellRect(clicked).center();
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, grid.mapToGlobal(at));
            QApplication::sendEvent(&grid, &event);
        }
        ASSERT_EQ(seen.size(), 3u);
        EXPECT_EQ(seen[0].first, (CellPos{4, 3}));
        EXPECT_EQ(seen[0].second, (std::vector<CellPos>{{4, 3}}));
        EXPECT_EQ(seen[1].second, (std::vector<CellPos>{{4, 3}}));
        EXPECT_EQ(seen[2].second, (std::vector<CellPos>{{1, 1}, {2, 1}}));
    });
}

// A value column grows to its widest text after a paste or an edit, so that
// no digit is clipped; a column the user sized by its divider keeps its
// width.
TEST(DataEditDlg, ValueColumnsFitTheirWidestTextUnlessTheUserSizedThem)
{
    RunNewEditor(3, 3, [](CDataEditDlg& shown) {
        CGridCtrl& grid = GridOf(shown, kDesign);
        // The user drags the divider right of column 3 a little to the left.
        const QRect header = grid.CellRect({0, 3});
        const QPoint divider(header.right(), header.center().y());
        QTest::mouseMove(&grid, divider);
        QTest::mousePress(&grid, Qt::LeftButton, {}, divider);
        QTest::mouseMove(&grid, divider - QPoint(4, 0));
        QTest::mouseRelease(&grid, Qt::LeftButton, {}, divider - QPoint(4, 0));
        const int userWidth = grid.GetColumnWidth(3);
        ASSERT_LT(userWidth, header.width());

        const QString wide = QStringLiteral("-12345.678901234");
        PasteInto(grid, {1, 1}, wide + "\t" + wide + "\t" + wide);
        TypeIntoCell(grid, {2, 2}, wide + "99");
        EXPECT_GE(grid.GetColumnWidth(1), grid.MeasureCell(1, 1).width());
        EXPECT_GE(grid.GetColumnWidth(2), grid.MeasureCell(2, 2).width());
        EXPECT_GT(grid.MeasureCell(2, 2).width(), grid.MeasureCell(1, 2).width());
        EXPECT_EQ(grid.GetColumnWidth(3), userWidth);
    });
}

// Dragged cells held over the other page's tab open that page, and the
// drop lands there.
TEST(DataEditDlg, DraggingOverTheOtherTabOpensItsPage)
{
    RunNewEditor(3, 2, [](CDataEditDlg& shown) {
        CGridCtrl& design = GridOf(shown, kDesign);
        design.SetCellText(1, 1, QStringLiteral("42"));
        design.SelectRange({1, 1, 1, 1});
        design.SetCurrentCell({2, 2});
        bool pageOpened = false;
        platform::ScopedHandler drop(platform::DragSeam(), [&](QDrag& drag, Qt::DropActions actions) {
            QTabBar* bar = shown.Tabs()->TabBar();
            const QPoint overTab = bar->tabRect(kObservations).center();
            QDragEnterEvent enter(overTab, actions, drag.mimeData(), Qt::LeftButton, {});
            QApplication::sendEvent(bar, &enter);
            QDragMoveEvent move(overTab, actions, drag.mimeData(), Qt::LeftButton, {});
            QApplication::sendEvent(bar, &move);
            EXPECT_EQ(shown.CurrentPage(), shown.DesignPage());  // not at once
            QTest::qWait(700);
            pageOpened = shown.CurrentPage() == shown.ObservationPage();
            CGridCtrl& target = GridOf(shown, kObservations);
            const Qt::DropAction dropped =
                test_support::DeliverDrop(target, target.CellRect({3, 2}).center(), drag.mimeData(), actions);
            EXPECT_NE(dropped, Qt::IgnoreAction);
            return dropped;
        });
        design.setFocus();
        const QPoint start = design.CellRect({1, 1}).center();
        QTest::mousePress(&design, Qt::LeftButton, {}, start);
        QTest::mouseMove(&design, start + QPoint(6, 6));
        QMouseEvent move(QEvent::MouseMove, start + QPoint(6, 6), design.mapToGlobal(start + QPoint(6, 6)),
                         Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(&design, &move);
        QTest::mouseRelease(&design, Qt::LeftButton, {}, start);
        EXPECT_TRUE(pageOpened);
        EXPECT_EQ(GridOf(shown, kObservations).GetCellText(3, 2), QStringLiteral("42"));
        EXPECT_EQ(design.GetCellText(1, 1), QString());
    });
}

// The editor opens large enough for up to 12 value columns and 25 rows
// (within the screen), and where and as large as it was closed last.
TEST(DataEditDlg, OpensLargeEnoughForTheDataAndWhereItWasLast)
{
    CDataEditDlg::ForgetPlacement();
    QRect closedAt;
    for (int opening = 0; opening < 2; ++opening) {
        RunNewEditor(40, 30, [&](CDataEditDlg& shown) {
            const CGridCtrl& grid = GridOf(shown, kDesign);
            const QRect screen = shown.screen()->availableGeometry();
            EXPECT_LE(shown.frameGeometry().width(), screen.width());
            EXPECT_LE(shown.frameGeometry().height(), screen.height());
            if (opening == 0) {
                EXPECT_TRUE(grid.IsCellFullyShown({12, 12}) || shown.width() >= screen.width() - 50);
                EXPECT_FALSE(grid.IsCellFullyShown({27, 14}));
                shown.setGeometry(shown.geometry().adjusted(10, 20, -30, -40));
                closedAt = shown.geometry();
            } else {
                EXPECT_EQ(shown.geometry(), closedAt);
            }
        });
    }
    CDataEditDlg::ForgetPlacement();
    RunNewEditor(2, 2, [](CDataEditDlg& shown) {
        EXPECT_EQ(shown.size(), shown.minimumSize());
    });
}

} // namespace

namespace {

// Under a window manager the editor knows where it is from the first
// event: a point on the screen maps to the cell drawn there (a drop lands
// under the pointer), also after the window is moved and resized. Runs
// under an X server with a window manager (scripts/screenshot.sh).
TEST(DataEditDlgUnderWindowManager, KnowsWhereItIsFromTheStart)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb") || qEnvironmentVariableIsEmpty("TOLVAR_WINDOW_MANAGER"))
        GTEST_SKIP() << "needs an X server with a window manager (TOLVAR_WINDOW_MANAGER set by scripts/screenshot.sh)";
    CDataEditDlg::ForgetPlacement();
    QDialog owner;  // as the main dialog owns the editor
    owner.resize(500, 400);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    QTest::qWait(300);
    CDataEditDlg editor(&owner);
    editor.ObservationCount = 30;
    editor.UnknownCount = 8;
    // The editor's own modal loop, as the program runs it.
    QTimer::singleShot(0, &editor, [&editor] {
        CDataEditDlg& shown = editor;
        QWindow* handle = shown.windowHandle();
        ASSERT_TRUE(QTest::qWaitFor([&] { return handle->frameMargins().top() > 0; }));
        QTest::qWait(300);
        const auto check = [&](const char* when) {
            const QPoint origin = test_support::XClientOrigin(shown);
            EXPECT_EQ(shown.mapToGlobal(QPoint(0, 0)), origin) << when;
            const CGridCtrl& grid = GridOf(shown, kDesign);
            const QPoint drawn = grid.CellRect({3, 2}).center();
            const QPoint onScreen = origin + grid.mapTo(&shown, drawn);
            EXPECT_EQ(grid.CellAt(grid.mapFromGlobal(onScreen)), (CellPos{3, 2})) << when;
        };
        check("opened");
        shown.move(shown.pos() + QPoint(40, 30));
        QTest::qWait(300);
        check("moved");
        shown.resize(shown.size() + QSize(50, 40));
        QTest::qWait(300);
        check("resized");
        shown.QDialog::reject();
    });
    editor.DoModal();
}

} // namespace
