#include "editor/data_edit_dlg.h"

#include "editor_test_util.h"
#include "platform/string_text.h"
#include "res/text_styles.h"
#include "test_support.h"

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
        {kDesign, {1, 1}, "1e400", "Design-Matrix, Zeile 1, Spalte 1" + noNumber, 0},
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
    CDataEditDlg editor;
    editor.ObservationCount = 5;
    editor.UnknownCount = 3;
    RunModal(editor, [](CDataEditDlg& shown) {
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
