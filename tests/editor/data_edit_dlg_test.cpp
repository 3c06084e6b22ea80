#include "editor/data_edit_dlg.h"

#include "editor_test_util.h"
#include "platform/string_text.h"
#include "res/text_styles.h"
#include "test_support.h"

#include <QPushButton>
#include <QTabBar>
#include <gtest/gtest.h>

namespace {

using editor_test::ClickButton;
using editor_test::ClickTab;
using editor_test::GridOf;
using editor_test::RunEditor;
using editor_test::TypeIntoCell;
using test_support::FromRows;
using test_support::SameMatrix;

constexpr int kDesign = CDataEditDlg::kDesignPage;
constexpr int kObservations = CDataEditDlg::kObservationPage;

// Every cell's text, format and state as the editor fills a page: headers
// read-only, row 0 word-wrapped, the rest centred, values as valueText.
void ExpectLayout(const CGridCtrl& grid, const QStringList& columnTitles, int rows,
                  const std::function<QString(int i, int j)>& valueText)
{
    ASSERT_EQ(grid.GetNumRows(), rows + 1);
    ASSERT_EQ(grid.GetNumColumns(), columnTitles.size() + 1);
    EXPECT_EQ(grid.GetNumFixedRows(), 1);
    EXPECT_EQ(grid.GetNumFixedColumns(), 1);
    for (int row = 0; row <= rows; ++row)
        for (int column = 0; column <= columnTitles.size(); ++column) {
            const bool header = row == 0 || column == 0;
            const QString expected = row == 0    ? (column == 0 ? QStringLiteral("Elemente") : columnTitles[column - 1])
                                     : column == 0 ? QStringLiteral("Zeile %1").arg(row)
                                                   : valueText(row - 1, column - 1);
            EXPECT_EQ(grid.GetCellText(row, column), expected) << row << "/" << column;
            EXPECT_EQ(grid.GetCellFormat(row, column), row == 0 ? res::DT_WORDBREAK : res::DT_CENTER) << row << "/" << column;
            EXPECT_EQ(grid.GetCellState(row, column) & ~unsigned(kCellFocused), header ? unsigned(kCellReadOnly) : 0u)
                << row << "/" << column;
        }
}

TEST(DataEditDlg, CreateModeOffersZerosAndWeightsOfOneOnTwoTabs)
{
    CDataEditDlg editor;
    editor.ObservationCount = 10;
    editor.UnknownCount = 10;
    const int result = RunEditor(editor, [](CDataEditDlg& shown) {
        EXPECT_EQ(shown.windowTitle(), QStringLiteral("Daten bearbeiten"));
        QTabBar* tabs = shown.Tabs()->TabBar();
        ASSERT_EQ(tabs->count(), 2);
        EXPECT_EQ(tabs->tabText(0), QStringLiteral("Design-Matrix"));
        EXPECT_EQ(tabs->tabText(1), QStringLiteral("Beobachtungen"));
        EXPECT_GE(tabs->tabRect(0).width(), 125);
        EXPECT_EQ(tabs->currentIndex(), 0);
        QStringList columns;
        for (int j = 1; j <= 10; ++j)
            columns << QStringLiteral("Spalte %1").arg(j);
        ExpectLayout(GridOf(shown, kDesign), columns, 10, [](int, int) { return QStringLiteral("0.000000"); });
        ExpectLayout(GridOf(shown, kObservations), {QStringLiteral("Beobachtung"), QStringLiteral("Gewicht")}, 10,
                     [](int, int j) { return QString::fromLatin1(j == 0 ? "0.000000" : "1.000000"); });
        // The user can type at once into the first value cell.
        EXPECT_TRUE(shown.DesignPage()->isVisible());
        EXPECT_FALSE(shown.ObservationPage()->isVisible());
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
    const Matrix design = FromRows({{1.234567, 1e-07, 12.5}, {-0.0, 1.2345678, 1e20}});
    const Matrix observations = FromRows({{2.5}, {0.1 + 0.2}});
    const Matrix weights = FromRows({{1e-20}, {3.0}});
    CDataEditDlg editor;
    editor.SetData(design, observations, weights);
    const int result = RunEditor(editor, [](CDataEditDlg& shown) {
        const QStringList designTexts = {QStringLiteral("1.234567"), QStringLiteral("1e-07"), QStringLiteral("12.500000"),
                                         QStringLiteral("-0.000000"), QStringLiteral("1.2345678"),
                                         QStringLiteral("100000000000000000000.000000")};
        ExpectLayout(GridOf(shown, kDesign), {QStringLiteral("Spalte 1"), QStringLiteral("Spalte 2"), QStringLiteral("Spalte 3")},
                     2, [&](int i, int j) { return designTexts[i * 3 + j]; });
        const QStringList observationTexts = {QStringLiteral("2.500000"), QStringLiteral("1e-20"),
                                              QStringLiteral("0.30000000000000004"), QStringLiteral("3.000000")};
        ExpectLayout(GridOf(shown, kObservations), {QStringLiteral("Beobachtung"), QStringLiteral("Gewicht")}, 2,
                     [&](int i, int j) { return observationTexts[i * 2 + j]; });
        ClickButton(shown, CDataEditDlg::kOkButton);
    });
    ASSERT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(SameMatrix(editor.DesignMatrix, design));
    EXPECT_TRUE(SameMatrix(editor.Observations, observations));
    EXPECT_TRUE(SameMatrix(editor.Weights, weights));
}

// Whole numbers only, with blanks around them allowed; the first refused
// cell is named, shown as the focus cell of its page, and the editor stays.
TEST(DataEditDlg, OkRefusesCellsThatAreNoNumberAndWeightsNotAboveZero)
{
    const struct {
        int page;
        CellPos cell;
        const char* text;
        const char* message;  // nullptr: accepted
        double value;
    } cases[] = {
        {kDesign, {2, 1}, "2,5", "Design-Matrix, Zeile 2, Spalte 1: Geben Sie bitte eine Zahl ein (mit Punkt als Dezimalzeichen).", 0},
        {kDesign, {3, 2}, "abc", "Design-Matrix, Zeile 3, Spalte 2: Geben Sie bitte eine Zahl ein (mit Punkt als Dezimalzeichen).", 0},
        {kDesign, {1, 2}, "", "Design-Matrix, Zeile 1, Spalte 2: Geben Sie bitte eine Zahl ein (mit Punkt als Dezimalzeichen).", 0},
        {kDesign, {3, 1}, "3.5xyz", "Design-Matrix, Zeile 3, Spalte 1: Geben Sie bitte eine Zahl ein (mit Punkt als Dezimalzeichen).", 0},
        {kDesign, {1, 1}, "1e400", "Design-Matrix, Zeile 1, Spalte 1: Geben Sie bitte eine Zahl ein (mit Punkt als Dezimalzeichen).", 0},
        {kObservations, {2, 1}, "nan", "Beobachtungen, Zeile 2, Beobachtung: Geben Sie bitte eine Zahl ein (mit Punkt als Dezimalzeichen).", 0},
        {kObservations, {3, 2}, "0", "Beobachtungen, Zeile 3, Gewicht: Das Gewicht muss größer als 0 sein.", 0},
        {kObservations, {1, 2}, "-1", "Beobachtungen, Zeile 1, Gewicht: Das Gewicht muss größer als 0 sein.", 0},
        {kDesign, {2, 2}, "  2.5 ", nullptr, 2.5},
        {kDesign, {2, 2}, "1e3", nullptr, 1000.0},
        {kObservations, {2, 1}, "-7.25", nullptr, -7.25},
        {kObservations, {2, 2}, "1e-09", nullptr, 1e-09},
    };
    for (const auto& c : cases) {
        test_support::MessageRecorder messages;
        CDataEditDlg editor;
        editor.ObservationCount = 3;
        editor.UnknownCount = 2;
        const int result = RunEditor(editor, [&](CDataEditDlg& shown) {
            GridOf(shown, c.page).SetCellText(c.cell.row, c.cell.column, QString::fromUtf8(c.text));
            ClickButton(shown, CDataEditDlg::kOkButton);
            if (c.message == nullptr)
                return;
            EXPECT_EQ(shown.Tabs()->GetCurSel(), c.page) << c.text;
            EXPECT_TRUE(shown.CurrentPage()->isVisible()) << c.text;
            EXPECT_EQ(GridOf(shown, c.page).GetCurrentCell(), c.cell) << c.text;
            EXPECT_TRUE(GridOf(shown, c.page).IsCellFullyShown(c.cell)) << c.text;
            EXPECT_TRUE(shown.isVisible()) << c.text;
            shown.reject();
        });
        if (c.message != nullptr) {
            EXPECT_EQ(result, QDialog::Rejected) << c.text;
            EXPECT_EQ(messages.messages, QStringList{QString::fromUtf8(c.message)}) << c.text;
            continue;
        }
        ASSERT_EQ(result, QDialog::Accepted) << c.text;
        EXPECT_TRUE(messages.messages.isEmpty()) << c.text;
        const Matrix& read = c.page == kDesign ? editor.DesignMatrix : c.cell.column == 1 ? editor.Observations : editor.Weights;
        EXPECT_EQ(read(c.cell.row - 1, c.page == kDesign ? c.cell.column - 1 : 0), c.value) << c.text;
    }
}

// A refused cell far down the page is scrolled into view.
TEST(DataEditDlg, RefusedCellOfALargePageIsScrolledIntoView)
{
    test_support::MessageRecorder messages;
    CDataEditDlg editor;
    editor.ObservationCount = 400;
    editor.UnknownCount = 30;
    RunEditor(editor, [](CDataEditDlg& shown) {
        GridOf(shown, kDesign).SetCellText(390, 28, QStringLiteral("x"));
        ClickButton(shown, CDataEditDlg::kOkButton);
        EXPECT_EQ(GridOf(shown, kDesign).GetCurrentCell(), (CellPos{390, 28}));
        EXPECT_TRUE(GridOf(shown, kDesign).IsCellFullyShown({390, 28}));
        shown.reject();
    });
    EXPECT_EQ(messages.messages.size(), 1);
}

TEST(DataEditDlg, SwitchingTabsKeepsWhatWasTyped)
{
    CDataEditDlg editor;
    editor.ObservationCount = 3;
    editor.UnknownCount = 2;
    const int result = RunEditor(editor, [](CDataEditDlg& shown) {
        TypeIntoCell(GridOf(shown, kDesign), {2, 2}, QStringLiteral("7.5"));
        ClickTab(shown, kObservations);
        EXPECT_EQ(shown.CurrentPage(), shown.ObservationPage());
        EXPECT_TRUE(shown.ObservationPage()->isVisible());
        EXPECT_FALSE(shown.DesignPage()->isVisible());
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

TEST(DataEditDlg, CancelKeepsTheMatricesAsTheyWere)
{
    CDataEditDlg editor;
    editor.SetData(FromRows({{1.0}}), FromRows({{2.0}}), FromRows({{3.0}}));
    const int result = RunEditor(editor, [](CDataEditDlg& shown) {
        TypeIntoCell(GridOf(shown, kDesign), {1, 1}, QStringLiteral("9"));
        ClickButton(shown, CDataEditDlg::kCancelButton);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_TRUE(SameMatrix(editor.DesignMatrix, FromRows({{1.0}})));
}

// Growing the editor by (dx, dy) moves both buttons and grows the tab
// control, both pages and both grids by as much; it never gets smaller
// than it opened.
TEST(DataEditDlg, EnlargingMovesTheButtonsAndGrowsTabsPagesAndGrids)
{
    CDataEditDlg editor;
    editor.ObservationCount = 5;
    editor.UnknownCount = 3;
    RunEditor(editor, [](CDataEditDlg& shown) {
        EXPECT_EQ(shown.minimumSize(), shown.size());
        QWidget* ok = platform::FindControl(&shown, CDataEditDlg::kOkButton);
        QWidget* cancel = platform::FindControl(&shown, CDataEditDlg::kCancelButton);
        QWidget* pages[] = {shown.DesignPage(), shown.ObservationPage()};
        QWidget* grids[] = {&GridOf(shown, kDesign), &GridOf(shown, kObservations)};
        // The hidden page's grid follows its page once the page shows.
        ClickTab(shown, kObservations);
        ClickTab(shown, kDesign);
        const QRect before[] = {ok->geometry(),    cancel->geometry(), shown.Tabs()->geometry(),
                                pages[0]->geometry(), pages[1]->geometry(), grids[0]->geometry(),
                                grids[1]->geometry()};
        // The grid fills its page as in the template: 3 and 6 units from the
        // page's top-left corner, 4 and 3 units from the other edges.
        EXPECT_GT(grids[0]->width(), pages[0]->width() * 9 / 10);
        const int dx = 70;
        const int dy = 45;
        shown.resize(shown.size() + QSize(dx, dy));
        QApplication::processEvents();
        ClickTab(shown, kObservations);
        const QRect after[] = {ok->geometry(),    cancel->geometry(), shown.Tabs()->geometry(),
                               pages[0]->geometry(), pages[1]->geometry(), grids[0]->geometry(),
                               grids[1]->geometry()};
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(after[i].topLeft(), before[i].topLeft() + QPoint(dx, dy)) << i;
            EXPECT_EQ(after[i].size(), before[i].size()) << i;
        }
        for (int i = 2; i < 7; ++i) {
            EXPECT_EQ(after[i].topLeft(), before[i].topLeft()) << i;
            EXPECT_EQ(after[i].size(), before[i].size() + QSize(dx, dy)) << i;
        }
        shown.reject();
    });
}

} // namespace
