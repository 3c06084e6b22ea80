#include "grid/cell_store.h"

#include "qt_test_support.h"
#include "res/text_styles.h"

#include <gtest/gtest.h>

#include <tuple>
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

// A paste that reaches a read-only cell passes over it, as Delete and cut
// do: its text, flags and notifications stay as they were.
TEST(CellStore, PasteLeavesReadOnlyCellsAlone)
{
    Store store(5, 4);
    store.cells.SetCellText(2, 2, QStringLiteral("kept"));
    store.cells.SetCellState(2, 2, kCellReadOnly);
    EXPECT_TRUE(store.cells.PasteText({1, 1}, QStringLiteral("a,b\nc,d,e")));
    EXPECT_EQ(store.Text(1, 1), QStringLiteral("a"));
    EXPECT_EQ(store.Text(1, 2), QStringLiteral("b"));
    EXPECT_EQ(store.Text(2, 1), QStringLiteral("c"));
    EXPECT_EQ(store.Text(2, 3), QStringLiteral("e"));
    EXPECT_EQ(store.Text(2, 2), QStringLiteral("kept"));
    EXPECT_EQ(store.cells.GetCellState(2, 2), unsigned(kCellReadOnly));
    for (const auto& [code, cell] : store.sent)
        EXPECT_NE(cell, (CellPos{2, 2})) << code;
    EXPECT_EQ(store.sent.size(), 8u);  // before and after each of the four pasted cells
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
    EXPECT_EQ(std::tuple(read.text, read.background, read.parameter, read.state, read.image),
              std::tuple(QStringLiteral("t"), QColor(Qt::red), 77u, unsigned(kCellReadOnly), -1));
    EXPECT_FALSE(read.foreground.isValid());
    EXPECT_EQ(store.cells.Extras(0, 0), nullptr);  // default cells carry no extras
    GridItem missing = Item(2, 0, kItemText);
    EXPECT_FALSE(store.cells.ReadCell(missing) || store.cells.WriteCell(missing));
}

} // namespace
