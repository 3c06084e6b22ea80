#include "grid/cell_store.h"

#include "qt_test_support.h"
#include "res/text_styles.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A store of rows x columns with one fixed row and column; value cells
// hold "r,c" style texts as the test sets them.
struct Store {
    CCellStore cells;
    std::vector<std::pair<int, CellPos>> sent;

    Store(int rows, int columns)
    {
        cells.SetNumRows(rows);
        cells.SetNumColumns(columns);
        cells.SetNumFixedRows(1);
        cells.SetNumFixedColumns(1);
        cells.notify = [this](int code, CellPos cell) {
            sent.emplace_back(code, cell);
            return 0;
        };
    }
    QString Text(int row, int column) const { return cells.GetCellText(row, column); }
};

GridItem Item(int row, int column, unsigned mask)
{
    GridItem item;
    item.row = row;
    item.column = column;
    item.mask = mask;
    return item;
}

TEST(CellText, KeepsShortLatin1InsideAndEverythingElseOnTheHeap)
{
    const QString samples[] = {QString(), QStringLiteral("0.000000"), QStringLiteral("123456789012345"),
                               QStringLiteral("1234567890123456"), QStringLiteral("Gr\u00fc\u00dfe"),
                               QStringLiteral("\u20ac 12"), QStringLiteral("a\nb")};
    for (const QString& sample : samples) {
        CellText text(sample);
        EXPECT_EQ(text.ToString(), sample);
        EXPECT_TRUE(text.Equals(sample));
        EXPECT_EQ(text.Latin1().has_value(), sample.size() <= 15 && sample != QStringLiteral("\u20ac 12"))
            << sample.toStdString();
        CellText copy = text;
        CellText moved = std::move(text);
        EXPECT_EQ(copy.ToString(), sample);
        EXPECT_EQ(moved.ToString(), sample);
        copy.Set(QStringLiteral("x"));
        EXPECT_EQ(moved.ToString(), sample);  // copies do not share
    }
    static_assert(sizeof(CCell) <= 24, "a cell stays small: millions of them");
}

// Shrinking removes cells and invalidates a focus cell among them; growing
// gives new cells the format of the cell above.
TEST(CellStore, CountChangesFollowTheShrinkAndGrowRules)
{
    Store store(5, 4);
    store.cells.SetFocusCell({4, 2});
    store.cells.SetCellText(4, 2, QStringLiteral("gone"));
    GridItem item = Item(3, 1, kItemFormat);
    item.format = res::DT_CENTER;
    store.cells.WriteCell(item);

    EXPECT_TRUE(store.cells.SetNumRows(4));
    EXPECT_EQ(store.cells.FocusCell(), CellPos{});
    EXPECT_TRUE(store.cells.SetNumRows(6));
    EXPECT_EQ(store.Text(4, 2), QString());
    EXPECT_EQ(store.cells.GetCellFormat(4, 1), unsigned(res::DT_CENTER));
    EXPECT_EQ(store.cells.GetCellFormat(5, 1), unsigned(res::DT_CENTER));
    EXPECT_EQ(store.cells.GetCellFormat(5, 2), 0u);

    store.cells.SetFocusCell({2, 2});
    store.cells.SetNumFixedRows(3);
    EXPECT_EQ(store.cells.FocusCell(), CellPos{});
    store.cells.SetNumRows(2);
    EXPECT_EQ(store.cells.GetNumFixedRows(), 2);
    store.cells.SetNumFixedColumns(7);
    EXPECT_EQ(store.cells.GetNumColumns(), 7);
    EXPECT_FALSE(store.cells.SetNumRows(-1));
    EXPECT_EQ(store.cells.GetCellText(9, 0), QString());
    EXPECT_FALSE(store.cells.SetCellText(0, 9, QStringLiteral("x")));
}

TEST(CellStore, SizesGivePositionsAndHitRows)
{
    Store store(4, 3);
    store.cells.SetRowHeight(0, 20);
    store.cells.SetRowHeight(1, 0);
    store.cells.SetRowHeight(2, 15);
    EXPECT_EQ(store.cells.RowTop(3), 35);
    EXPECT_EQ(store.cells.FixedRowHeight(), 20);
    const std::pair<int, int> hits[] = {{-1, -1}, {0, 0}, {19, 0}, {20, 2}, {34, 2}, {35, 3}, {44, 3}, {45, -1}};
    for (const auto& [y, row] : hits)
        EXPECT_EQ(store.cells.RowAtOffset(y), row) << y;
}

TEST(CellStore, CopiesTheTwoByTwoExampleExactly)
{
    Store store(4, 4);
    store.cells.SetCellText(1, 1, QStringLiteral("a"));
    store.cells.SetCellText(2, 1, QStringLiteral("x"));
    store.cells.SetCellText(2, 2, QStringLiteral("y"));
    store.cells.SelectRange({1, 1, 2, 2});
    EXPECT_EQ(store.cells.SelectionText(), QStringLiteral("a\t \nx\ty"));

    // An unselected cell inside the bounds gives nothing but its separator.
    store.cells.SetCellState(1, 2, 0);
    EXPECT_EQ(store.cells.SelectionText(), QStringLiteral("a\t\nx\ty"));
    store.cells.ClearSelection();
    EXPECT_EQ(store.cells.SelectionText(), QString());
    EXPECT_EQ(store.cells.GetSelectionBounds(), CellBlock{});
}

TEST(CellStore, PasteSplitsAtTabCommaAndLineFeed)
{
    struct Case {
        const char* text;
        CellPos target;
        std::vector<std::pair<CellPos, const char*>> expected;
    };
    const Case cases[] = {
        {"1,5", {1, 1}, {{{1, 1}, "1"}, {{1, 2}, "5"}, {{1, 3}, "."}}},
        {"1\t\t3", {1, 1}, {{{1, 1}, "1"}, {{1, 2}, "3"}, {{1, 3}, "."}}},
        {" 7 \r\n8\n", {2, 2}, {{{2, 2}, "7"}, {{3, 2}, "8"}, {{4, 2}, "."}}},
        {"1\n\n3", {1, 1}, {{{1, 1}, "1"}, {{2, 1}, ""}, {{3, 1}, "3"}}},  // an empty line is one blank
        {"a,b,c\nd,e,f\ng", {3, 2}, {{{3, 2}, "a"}, {{3, 3}, "b"}, {{4, 3}, "e"}, {{2, 2}, "."}}},  // past the edges
    };
    for (const Case& c : cases) {
        Store store(5, 4);
        for (int row = 1; row < 5; ++row)
            for (int column = 1; column < 4; ++column)
                store.cells.SetCellText(row, column, QStringLiteral("."));
        store.cells.SelectRange({1, 1, 4, 3});
        EXPECT_TRUE(store.cells.PasteText(c.target, QString::fromLatin1(c.text)));
        for (const auto& [cell, text] : c.expected) {
            EXPECT_EQ(store.Text(cell.row, cell.column), QString::fromLatin1(text)) << c.text;
            const bool pasted = QString::fromLatin1(text) != QStringLiteral(".");
            EXPECT_EQ(store.cells.IsSelected(cell.row, cell.column), !pasted) << c.text;
            EXPECT_EQ(bool(store.cells.GetCellState(cell.row, cell.column) & kCellModified), pasted) << c.text;
        }
    }
}

TEST(CellStore, PasteAndDeleteRefuseReadOnlyCellsAndNotifyAroundEachChange)
{
    Store store(3, 3);
    store.cells.SetCellState(1, 1, kCellReadOnly);
    EXPECT_FALSE(store.cells.PasteText({1, 1}, QStringLiteral("9")));
    EXPECT_FALSE(store.cells.ClearCellText({1, 1}));
    EXPECT_FALSE(store.cells.PasteText({7, 1}, QStringLiteral("9")));
    EXPECT_TRUE(store.sent.empty());
    EXPECT_FALSE(store.cells.Modified);

    store.cells.SetCellText(2, 2, QStringLiteral("4"));
    EXPECT_TRUE(store.cells.ClearCellText({2, 2}));
    EXPECT_EQ(store.Text(2, 2), QString());
    EXPECT_TRUE(store.cells.Modified);
    using Sent = std::vector<std::pair<int, CellPos>>;
    EXPECT_EQ(store.sent, (Sent{{kNotifyCellChanging, {2, 2}}, {kNotifyCellChanged, {2, 2}}}));

    store.cells.Editable = false;
    EXPECT_FALSE(store.cells.ClearCellText({2, 1}));
}

// Cut clears the selected editable cells and leaves read-only ones.
TEST(CellStore, ClearingTheSelectionResetsOnlyEditableCells)
{
    Store store(3, 3);
    for (int column = 0; column < 3; ++column)
        store.cells.SetCellText(1, column, QStringLiteral("v"));
    store.cells.SetCellState(1, 2, kCellReadOnly);
    store.cells.SelectRange({1, 1, 1, 2});
    store.cells.ClearSelectedCells();
    EXPECT_EQ(store.Text(1, 1), QString());
    EXPECT_EQ(store.cells.GetCellState(1, 1), unsigned(kCellModified));
    EXPECT_EQ(store.Text(1, 2), QStringLiteral("v"));
    EXPECT_TRUE(store.cells.IsSelected(1, 2));
    EXPECT_EQ(store.Text(1, 0), QStringLiteral("v"));
}

// A kept selection (Ctrl) survives the next range; without it the old
// range goes.
TEST(CellStore, KeptSelectionStaysWhenANewRangeIsSelected)
{
    Store store(6, 6);
    store.cells.SelectRange({1, 1, 2, 2});
    store.cells.SetCellState(2, 2, 0);  // a hole, as a paste leaves it
    store.cells.KeepSelection();
    store.cells.SelectRange({4, 4, 5, 5});
    EXPECT_TRUE(store.cells.IsSelected(1, 1));
    EXPECT_FALSE(store.cells.IsSelected(2, 2));
    EXPECT_TRUE(store.cells.IsSelected(5, 5));
    EXPECT_EQ(store.cells.GetSelectionBounds(), (CellBlock{1, 1, 5, 5}));

    store.cells.ForgetKeptSelection();
    store.cells.SelectRange({3, 3, 3, 3});
    EXPECT_FALSE(store.cells.IsSelected(1, 1));
    EXPECT_FALSE(store.cells.IsSelected(5, 5));
    EXPECT_EQ(store.cells.GetSelectionBounds(), (CellBlock{3, 3, 3, 3}));

    store.cells.SelectionEnabled = false;
    store.cells.SelectRange({1, 1, 1, 1});
    EXPECT_FALSE(store.cells.IsSelected(1, 1));
}

TEST(CellStore, ItemRecordWritesAndReadsTheAttributesItNames)
{
    Store store(2, 2);
    GridItem item = Item(1, 1, kItemText | kItemBackground | kItemParameter | kItemState);
    item.text = QStringLiteral("t");
    item.background = Qt::red;
    item.parameter = 77;
    item.state = kCellReadOnly;
    EXPECT_TRUE(store.cells.WriteCell(item));
    GridItem read = Item(1, 1, kItemText | kItemBackground | kItemForeground | kItemParameter | kItemState | kItemImage);
    EXPECT_TRUE(store.cells.ReadCell(read));
    EXPECT_EQ(read.text, QStringLiteral("t"));
    EXPECT_EQ(read.background, QColor(Qt::red));
    EXPECT_FALSE(read.foreground.isValid());
    EXPECT_EQ(read.parameter, 77u);
    EXPECT_EQ(read.state, unsigned(kCellReadOnly));
    EXPECT_EQ(read.image, -1);
    EXPECT_EQ(store.cells.Extras(0, 0), nullptr);
    GridItem missing = Item(2, 0, kItemText);
    EXPECT_FALSE(store.cells.ReadCell(missing));
    EXPECT_FALSE(store.cells.WriteCell(missing));
}

} // namespace
