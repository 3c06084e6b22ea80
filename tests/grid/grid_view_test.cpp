#include "grid_test_util.h"

#include "grid/text_widths.h"

#include <QPaintEvent>
#include <QRandomGenerator>
#include <QScreen>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

using grid_test::ColumnLeft;
using grid_test::ColumnWidth;
using grid_test::RowHeight;
using grid_test::RowTop;
using grid_test::TestGrid;

// Collects what a widget is asked to repaint.
struct PaintRecorder : QObject {
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

QImage ScreenPixels(QWidget& widget)
{
    return widget.screen()->grabWindow(widget.winId()).toImage();
}

// A line scroll moves the drawn pixels and repaints only the strip that
// came free; the result looks as if everything had been repainted. A
// changed cell repaints its rectangle and the grid lines right and below.
TEST(GridView, LineScrollRepaintsOnlyTheUncoveredStrip)
{
    TestGrid test(30, 12);
    PaintRecorder recorder;
    test.grid.installEventFilter(&recorder);
    QApplication::processEvents();
    const QRect client = test.grid.ClientRect();
    EXPECT_EQ(test.grid.ScrollMax(Qt::Vertical), RowTop(30) - client.height());
    EXPECT_EQ(test.grid.ScrollMax(Qt::Horizontal), ColumnLeft(12) - client.width());

    recorder.painted = QRegion();
    test.grid.OnVScroll(CGridCtrl::SB_LINEDOWN);
    QApplication::processEvents();
    EXPECT_EQ(test.grid.ScrollPos(Qt::Vertical), RowHeight(1));
    // (The grid also repaints under its scroll bar, which is not opaque.)
    EXPECT_EQ(recorder.painted & client, QRegion(0, client.height() - RowHeight(1), client.width(), RowHeight(1)));
    const QImage scrolled = ScreenPixels(test.grid);

    recorder.painted = QRegion();
    test.grid.OnHScroll(CGridCtrl::SB_LINERIGHT);
    QApplication::processEvents();
    EXPECT_EQ(recorder.painted & client,
              QRegion(client.width() - ColumnWidth(1), 0, ColumnWidth(1), client.height()));
    test.grid.OnHScroll(CGridCtrl::SB_LINELEFT);
    test.grid.repaint();
    EXPECT_EQ(ScreenPixels(test.grid), scrolled);

    recorder.painted = QRegion();
    test.grid.SetCellText(5, 3, QStringLiteral("changed"));
    QApplication::processEvents();
    EXPECT_EQ(recorder.painted, QRegion(test.grid.CellRect({5, 3}).adjusted(0, 0, 1, 1)));
}

// A line up scrolls by the height (width) of the row (column) before the
// top one, a line down by the top one's.
TEST(GridView, LineStepsFollowTheRowOrColumnThatComesIntoView)
{
    for (Qt::Orientation orientation : {Qt::Vertical, Qt::Horizontal}) {
        TestGrid test(30, 12);
        const auto start = orientation == Qt::Vertical ? RowTop : ColumnLeft;
        for (int step = 0; step < 4; ++step)
            orientation == Qt::Vertical ? test.grid.OnVScroll(CGridCtrl::SB_LINEDOWN)
                                        : test.grid.OnHScroll(CGridCtrl::SB_LINERIGHT);
        EXPECT_EQ(test.grid.ScrollPos(orientation), start(5) - start(1)) << orientation;
        orientation == Qt::Vertical ? test.grid.OnVScroll(CGridCtrl::SB_LINEUP)
                                    : test.grid.OnHScroll(CGridCtrl::SB_LINELEFT);
        EXPECT_EQ(test.grid.ScrollPos(orientation), start(4) - start(1)) << orientation;
    }
}

// A grid scrolled to its end that grows keeps its last row and column at
// the edge: the scroll position follows the smaller maximum.
TEST(GridView, GrowingWindowKeepsTheScrollPositionWithinRange)
{
    TestGrid test(30, 12);
    test.grid.OnVScroll(CGridCtrl::SB_BOTTOM);
    test.grid.OnHScroll(CGridCtrl::SB_RIGHT);
    const int before = test.grid.ScrollPos(Qt::Vertical);
    test.grid.resize(test.grid.size() + QSize(120, 150));
    for (Qt::Orientation orientation : {Qt::Vertical, Qt::Horizontal}) {
        EXPECT_GT(test.grid.ScrollMax(orientation), 0) << orientation;
        EXPECT_EQ(test.grid.ScrollPos(orientation), test.grid.ScrollMax(orientation)) << orientation;
    }
    EXPECT_LT(test.grid.ScrollPos(Qt::Vertical), before);
    const QRect last = test.grid.CellRect({29, 11});
    EXPECT_EQ(last.bottomRight(), test.grid.ClientRect().bottomRight());
}

TEST(GridView, WheelScrollsLinesOrPages)
{
    struct Case {
        unsigned lines;
        int delta;
        int expected;  // rows, or -1 for one page
    };
    const Case cases[] = {
        {3, -120, 3}, {3, -240, 6}, {1, -360, 3}, {3, 120, 0}, {3, -60, 1}, {CGridCtrl::kWheelScrollsPages, -120, -1},
        {CGridCtrl::kWheelScrollsPages, -60, 0},
    };
    for (const Case& c : cases) {
        TestGrid test(30, 12);
        test.grid.SetWheelScrollLines(c.lines);
        const QPointF at(100, 100);
        QWheelEvent wheel(at, test.grid.mapToGlobal(at), QPoint(), QPoint(0, c.delta), Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&test.grid, &wheel);
        const int page = test.grid.ClientRect().height() - RowHeight(0);
        EXPECT_EQ(test.grid.ScrollPos(Qt::Vertical), c.expected < 0 ? page : RowTop(1 + c.expected) - RowTop(1))
            << c.lines << " " << c.delta;
    }
}

// Focus frame, selection, grid lines, outside colour, raised headers and
// the sunken headers of the focus row and column.
TEST(GridView, PaintsCellsByTheirKind)
{
    TestGrid test(10, 6);
    const QColor background(250, 250, 240);
    const QColor fixed(200, 210, 220);
    const QColor outside(90, 60, 30);
    test.grid.SetTextBackground(background);
    test.grid.SetFixedBackground(fixed);
    test.grid.SetOutsideColour(outside);
    test.grid.SetCurrentCell({2, 2});
    test.grid.SelectRange({3, 3, 4, 4});
    const QImage image = test.grid.grab().toImage();
    // Pixels compared as 8-bit RGB: some palette colours carry more bits.
    const auto emptyCorner = [&](CellPos cell) {
        const QRect rect = test.grid.CellRect(cell);
        return image.pixel(rect.right() - 3, rect.bottom() - 3);
    };
    const QPalette colours = test.grid.palette();
    EXPECT_EQ(image.pixel(test.grid.CellRect({2, 2}).topLeft()), QColor(Qt::black).rgb());
    EXPECT_EQ(emptyCorner({2, 2}), background.rgb());
    EXPECT_EQ(emptyCorner({3, 3}), colours.color(QPalette::Active, QPalette::Highlight).rgb());
    EXPECT_EQ(emptyCorner({5, 5}), background.rgb());
    EXPECT_EQ(emptyCorner({0, 5}), fixed.rgb());
    const QRect cell = test.grid.CellRect({5, 5});
    EXPECT_EQ(image.pixel(cell.right(), cell.center().y()), QColor(192, 192, 192).rgb());
    EXPECT_EQ(image.pixel(cell.center().x(), cell.bottom()), QColor(192, 192, 192).rgb());
    EXPECT_EQ(image.pixel(ColumnLeft(6) + 10, 100), outside.rgb());
    EXPECT_EQ(image.pixel(100, RowTop(10) + 10), outside.rgb());
    EXPECT_EQ(image.pixel(test.grid.CellRect({0, 4}).topLeft()), colours.color(QPalette::Light).rgb());
    EXPECT_EQ(image.pixel(test.grid.CellRect({0, 2}).topLeft()), colours.color(QPalette::Shadow).rgb());
    EXPECT_EQ(image.pixel(test.grid.CellRect({2, 0}).topLeft()), colours.color(QPalette::Shadow).rgb());
    test.grid.SetGridLines(CGridCtrl::kGridHorizontal);
    EXPECT_EQ(test.grid.grab().toImage().pixel(cell.right(), cell.center().y()), background.rgb());
}

// A cell's image sits at the left margin and the text starts a margin and a
// pixel after it; the cell is measured with it. An index outside the image
// list shows nothing.
TEST(GridView, CellImageComesBeforeTheText)
{
    TestGrid test(4, 4);
    QPixmap red(8, 30);
    red.fill(Qt::red);
    test.grid.SetImageList({red});
    const QSize plainSize = test.grid.MeasureCell(2, 2);
    const QRect plainText = test.grid.TextRect({2, 2});
    GridItem item;
    item.row = 2;
    item.column = 2;
    item.mask = kItemImage;
    item.image = 0;
    test.grid.WriteCell(item);
    const int margin = test.grid.Margin();
    EXPECT_EQ(test.grid.MeasureCell(2, 2), QSize(plainSize.width() + 8, 30));
    EXPECT_EQ(test.grid.TextRect({2, 2}), plainText.adjusted(8 + margin + 1, 0, 0, 0));
    const QRect cell = test.grid.CellRect({2, 2});
    const QImage pixels = test.grid.grab().toImage();
    EXPECT_EQ(pixels.pixel(cell.left() + 1 + margin, cell.top() + 1), QColor(Qt::red).rgb());
    EXPECT_NE(pixels.pixel(cell.left() + margin, cell.top() + 1), QColor(Qt::red).rgb());
    EXPECT_NE(pixels.pixel(cell.left() + 1 + margin + 8, cell.top() + 1), QColor(Qt::red).rgb());

    item.image = 1;
    test.grid.WriteCell(item);
    EXPECT_EQ(test.grid.MeasureCell(2, 2), plainSize);
    EXPECT_EQ(test.grid.TextRect({2, 2}), plainText);
}

// A cell in a font of its own is measured in it. Setting the grid's font,
// even the one it has, gives every cell the grid's font again; the margin
// and the default sizes grow with a larger font.
TEST(GridView, GridFontReplacesTheCellFonts)
{
    CGridCtrl grid(3, 3);
    grid.SetGridFont(QApplication::font());
    grid.SetCellText(1, 1, QStringLiteral("Wert 1.5"));
    QFont own = grid.font();
    own.setItalic(true);
    own.setPointSizeF(own.pointSizeF() * 2);
    QFont larger = grid.font();
    larger.setPointSizeF(grid.font().pointSizeF() * 3);
    const struct {
        QFont font;
        bool grows;
    } steps[] = {{grid.font(), false}, {larger, true}};
    for (const auto& [next, grows] : steps) {
        const int margin = grid.Margin();
        const int height = grid.DefaultRowHeight();
        const int width = grid.DefaultColumnWidth();
        grid.SetCellFont(1, 1, own);
        ASSERT_EQ(grid.CellFont(1, 1), own);
        const QFontMetrics ownMetrics(own);
        EXPECT_EQ(grid.MeasureCell(1, 1),
                  QSize(ownMetrics.horizontalAdvance(grid.GetCellText(1, 1)) + 4 * grid.Margin(),
                        ownMetrics.height() + 2 * grid.Margin()));
        grid.SetGridFont(next);
        EXPECT_EQ(grid.CellFont(1, 1), next);
        EXPECT_EQ(grid.Margin() > margin, grows);
        EXPECT_EQ(grid.DefaultRowHeight() > height, grows);
        EXPECT_EQ(grid.DefaultColumnWidth() > width, grows);
    }
}

// Colours still equal to the system colour they came from follow a change
// of the system colours; colours the owner set stay.
TEST(GridView, FollowsSystemColourChanges)
{
    CGridCtrl grid;
    grid.SetOutsideColour(QColor(1, 2, 3));
    QPalette changed = grid.palette();
    changed.setColor(QPalette::Base, QColor(10, 20, 30));
    changed.setColor(QPalette::Dark, QColor(40, 50, 60));
    changed.setColor(QPalette::Button, QColor(70, 80, 90));
    grid.setPalette(changed);  // as the application's palette reaches its widgets
    EXPECT_EQ(grid.TextBackground(), QColor(10, 20, 30));
    EXPECT_EQ(grid.FixedBackground(), QColor(70, 80, 90));
    EXPECT_EQ(grid.OutsideColour(), QColor(1, 2, 3));
    EXPECT_EQ(grid.TextColour(), changed.color(QPalette::Active, QPalette::Text));
}

// The fast widths of number texts equal the font's own measure.
TEST(GridView, FastTextWidthsEqualTheFontMetrics)
{
    QFont bold = QApplication::font();
    bold.setWeight(QFont::DemiBold);
    QRandomGenerator random(7);
    for (const QFont& font : {QApplication::font(), bold}) {
        const TextWidths widths(font);
        const QFontMetrics metrics(font);
        for (int i = 0; i < 400; ++i) {
            const double value = (random.generateDouble() - 0.5) * std::pow(10.0, random.bounded(-6, 12));
            const QByteArray text =
                QByteArray::number(value, i % 3 == 0 ? 'e' : 'f', 6).append(i % 5 == 0 ? " 1,5" : "");
            EXPECT_EQ(widths.Width(std::string_view(text.constData(), text.size())),
                      metrics.horizontalAdvance(QString::fromLatin1(text)))
                << text.constData();
        }
        EXPECT_EQ(widths.Width(std::string_view("Zeile 17")), metrics.horizontalAdvance(QStringLiteral("Zeile 17")));
    }
}

// Bound through a dialog template's custom control of class
// "TolvarGridCtrl": the grid takes the message font, its margin and
// default sizes, and becomes a drop target.
TEST(GridView, BindsToTheGridThatATemplateMade)
{
    grid_test::BoundPage bound;
    CGridCtrl* grid = bound.grid;
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(CGridCtrl::BindToDialogControl(&bound.page, 7), nullptr);
    EXPECT_TRUE(grid->acceptDrops());
    const QFontMetrics metrics(CGridCtrl::SystemMessageFont());
    EXPECT_EQ(grid->Margin(), metrics.horizontalAdvance(QLatin1Char(' ')));
    EXPECT_EQ(grid->DefaultRowHeight(), metrics.height() + std::max(0, metrics.leading()) + 2 * grid->Margin());
    EXPECT_EQ(grid->DefaultColumnWidth(), 2 * (grid->Margin() + 6 * metrics.averageCharWidth()));
    grid->SetNumRows(2);
    EXPECT_EQ(grid->GetRowHeight(1), grid->DefaultRowHeight());
}

TEST(GridView, TheHandlersResultReturnsToTheSender)
{
    struct Probe : CGridCtrl {
        using CGridCtrl::SendNotify;
    } grid;
    EXPECT_EQ(grid.SendNotify(kNotifyCellChanged, {1, 1}), 0);  // nobody listens
    QObject::connect(&grid, &CGridCtrl::Notify, [](int code, int row, int) { return code * 10 + row; });
    EXPECT_EQ(grid.SendNotify(kNotifyCellChanging, {3, 1}), -1047);
}

} // namespace
