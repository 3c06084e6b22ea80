#include "plot/residual_painter.h"

#include "core/matrix.h"

#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

Matrix Vector(const std::vector<double>& values)
{
    Matrix v(static_cast<int>(values.size()), 1, 0.0);
    for (int i = 0; i < v.Rows(); ++i)
        v(i, 0) = values[static_cast<std::size_t>(i)];
    return v;
}

QImage Paint(const Matrix& residuals, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white); // the plot must cover every pixel itself
    QPainter painter(&image);
    PaintResidualPlot(painter, residuals, size);
    painter.end();
    return image;
}

QColor At(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y);
}

const QColor kBlack(0, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);

int CountPixels(const QImage& image, const QColor& colour, QRect area)
{
    int count = 0;
    area = area.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixelColor(x, y) == colour ? 1 : 0;
    return count;
}

// Pixels of drawn text: anti-aliased green, never red or blue.
int CountTextPixels(const QImage& image, QRect area)
{
    int count = 0;
    area = area.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.green() > 60 && c.red() == 0 && c.blue() == 0 ? 1 : 0;
        }
    return count;
}

std::vector<int> LabelNumbers(const ResidualPlotLayout& layout)
{
    std::vector<int> numbers;
    for (const ResidualLabel& label : layout.labels)
        numbers.push_back(label.number);
    return numbers;
}

std::vector<int> Multiples(int factor, int upTo)
{
    std::vector<int> numbers;
    for (int i = factor; i <= upTo; i += factor)
        numbers.push_back(i);
    return numbers;
}

} // namespace

// Worked example of the plot: H = 230 gives m = 23 and the zero line at 115;
// the largest magnitude ends at y = 25 (positive) or y = 205 (negative), two
// pixels inside the frame edges at 23 and 207.
TEST(ResidualPainter, LargestStemsEndTwoPixelsInsideTheFrame)
{
    const QSize size(300, 230);
    const Matrix residuals = Vector({3.0, -3.0, 1.5});
    const ResidualPlotLayout layout = LayOutResidualPlot(residuals, size);
    EXPECT_EQ(layout.margin, 23);
    EXPECT_EQ(layout.zeroY, 115);
    EXPECT_EQ(layout.step, (300 - 46) / 4);
    ASSERT_EQ(layout.stems.size(), 3u);
    EXPECT_EQ(layout.stems[0].yFrom, 25);
    EXPECT_EQ(layout.stems[1].yFrom, 205);
    EXPECT_EQ(layout.stems[2].yFrom, 115 - 45); // k = 180 / 6 = 30, t = 45
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(layout.stems[i].x, 23 + static_cast<int>(i + 1) * layout.step);
        EXPECT_EQ(layout.stems[i].yTo, 115);
    }

    const QImage image = Paint(residuals, size);
    const int up = layout.stems[0].x;
    const int down = layout.stems[1].x;
    // Upward stem: rows 25 .. 114, five columns wide; a black gap, then the frame.
    EXPECT_EQ(At(image, up, 25), kRed);
    EXPECT_EQ(At(image, up, 114), kRed);
    EXPECT_EQ(At(image, up, 24), kBlack);
    EXPECT_EQ(At(image, up, 23), kGreen);
    EXPECT_EQ(CountPixels(image, kRed, QRect(up - 3, 25, 7, 1)), 5);
    EXPECT_EQ(At(image, up - 2, 60), kRed);
    EXPECT_EQ(At(image, up + 2, 60), kRed);
    // Below the zero line the upward stem has nothing.
    EXPECT_EQ(At(image, up, 116), kBlack);
    // Downward stem: rows 115 .. 204; black at 205, frame from 206.
    EXPECT_EQ(At(image, down, 115), kRed);
    EXPECT_EQ(At(image, down, 204), kRed);
    EXPECT_EQ(At(image, down, 205), kBlack);
    EXPECT_EQ(At(image, down, 206), kGreen);
    EXPECT_EQ(At(image, down, 113), kBlack);
    EXPECT_EQ(At(image, layout.stems[2].x, 70), kRed);
    EXPECT_EQ(At(image, layout.stems[2].x, 69), kBlack);
}

TEST(ResidualPainter, FrameZeroLineAndBackground)
{
    const QSize size(200, 100); // m = 10, zero line 50
    const QImage image = Paint(Vector({1.0}), size);
    // Frame lines of width 2 at x = 10, x = 190, y = 10, y = 90, with corners.
    for (const QPoint p : {QPoint(10, 10), QPoint(9, 9), QPoint(100, 10), QPoint(190, 50), QPoint(189, 90),
                           QPoint(10, 90), QPoint(10, 30), QPoint(190, 10), QPoint(190, 90)})
        EXPECT_EQ(At(image, p.x(), p.y()), kGreen) << p.x() << "," << p.y();
    EXPECT_EQ(At(image, 30, 50), kGreen); // zero line
    EXPECT_EQ(At(image, 30, 49), kGreen);
    EXPECT_EQ(At(image, 30, 48), kBlack);
    EXPECT_EQ(At(image, 0, 0), kBlack);
    EXPECT_EQ(At(image, 199, 99), kBlack);
    EXPECT_EQ(At(image, 8, 50), kBlack);
    EXPECT_EQ(At(image, 11, 11), kBlack);
    EXPECT_EQ(CountPixels(image, QColor(Qt::white), image.rect()), 0);
}

// The numbers 1 .. 20 all; up to 40 the even ones; up to 100 every fifth;
// beyond every tenth. Stems are drawn for every residual regardless.
TEST(ResidualPainter, LabelsFollowTheRuleByNumberOfResiduals)
{
    const std::vector<std::pair<int, int>> everyNth = {{20, 1}, {21, 2}, {40, 2}, {41, 5}, {100, 5}, {101, 10}};
    for (const auto& [n, factor] : everyNth) {
        const QSize size(40 * (n + 1) + 46, 230); // step 40: room for every number
        const Matrix residuals(n, 1, 1.0);
        const ResidualPlotLayout layout = LayOutResidualPlot(residuals, size);
        EXPECT_EQ(LabelNumbers(layout), Multiples(factor, n)) << n;
        EXPECT_EQ(layout.stems.size(), static_cast<std::size_t>(n));

        const QImage image = Paint(residuals, size);
        const int textHeight = QFontMetrics(QGuiApplication::font()).height();
        for (int i = 1; i <= n; ++i) {
            const QRect cell(layout.margin + i * layout.step, 230 - 23 + 2, 30, textHeight);
            const int pixels = cell.intersected(image.rect()).width() * cell.intersected(image.rect()).height();
            if (i % factor == 0)
                EXPECT_GT(CountTextPixels(image, cell), 0) << "n " << n << " label " << i;
            else
                EXPECT_EQ(CountPixels(image, kBlack, cell), pixels) << "n " << n << " label " << i;
        }
    }
}

TEST(ResidualPainter, AllZeroResidualsLieOnTheZeroLine)
{
    const QSize size(300, 230);
    const Matrix residuals(5, 1, 0.0);
    const ResidualPlotLayout layout = LayOutResidualPlot(residuals, size);
    EXPECT_EQ(layout.scale, 0.0);
    for (const ResidualStem& stem : layout.stems) {
        EXPECT_EQ(stem.yFrom, 115);
        EXPECT_EQ(stem.yTo, 115);
    }
    EXPECT_EQ(layout.labels.size(), 5u);
    const QImage image = Paint(residuals, size);
    EXPECT_EQ(CountPixels(image, kRed, image.rect()), 0);
    EXPECT_EQ(At(image, layout.stems[2].x, 115), kGreen);
    EXPECT_GT(CountTextPixels(image, QRect(layout.stems[2].x, 209, 20, 20)), 0);
}

// The last count with a step of 1 keeps one 5-pixel stem per observation;
// one more spreads them over the 78 columns between the frame's lines.
TEST(ResidualPainter, StepBelowOneSpreadsTheObservationsOverTheColumns)
{
    const QSize size(100, 100); // m = 10, room 80
    const ResidualPlotLayout stepOne = LayOutResidualPlot(Matrix(79, 1, 1.0), size);
    EXPECT_FALSE(stepOne.spread);
    EXPECT_EQ(stepOne.stems.back().x, 89);

    const ResidualPlotLayout spread = LayOutResidualPlot(Matrix(80, 1, 1.0), size);
    EXPECT_TRUE(spread.spread);
    ASSERT_EQ(spread.stems.size(), 78u);
    EXPECT_EQ(spread.stems.front().x, 11);
    EXPECT_EQ(spread.stems.back().x, 88);
}

// Two observations per column (m = 10, 8 columns, largest 2, k = 76 / 4):
// a column covers what its stems drawn over one another would cover.
TEST(ResidualPainter, ASpreadColumnRunsFromItsSmallestToItsLargestStem)
{
    const QSize size(30, 100);
    const Matrix residuals =
        Vector({1.0, -2.0, 0.5, 1.0, -1.0, -0.5, 0.0, 0.0, kInf, 1.0, kNaN, -1.0, 2.0, 2.0, -kInf, -kInf});
    const ResidualPlotLayout layout = LayOutResidualPlot(residuals, size);
    ASSERT_TRUE(layout.spread);
    struct Expected {
        int x, yFrom, yTo;
        StemKind kind;
    };
    const std::vector<Expected> expected = {
        {11, 31, 88, StemKind::Finite}, {12, 31, 50, StemKind::Finite},
        {13, 50, 69, StemKind::Finite}, {14, 50, 50, StemKind::Finite},
        {15, 31, 50, StemKind::Finite}, {15, 12, 50, StemKind::PositiveInfinity},
        {16, 50, 69, StemKind::Finite}, {16, 12, 88, StemKind::NotANumber},
        {17, 12, 50, StemKind::Finite}, {18, 88, 50, StemKind::NegativeInfinity}};
    ASSERT_EQ(layout.stems.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(layout.stems[i].x, expected[i].x) << i;
        EXPECT_EQ(layout.stems[i].yFrom, expected[i].yFrom) << i;
        EXPECT_EQ(layout.stems[i].yTo, expected[i].yTo) << i;
        EXPECT_EQ(layout.stems[i].kind, expected[i].kind) << i;
    }

    // One pixel wide, from the upper end to the row above the lower one.
    const QImage image = Paint(residuals, size);
    EXPECT_EQ(CountPixels(image, kRed, QRect(11, 31, 1, 57)), 57);
    EXPECT_EQ(At(image, 11, 30), kBlack);
    EXPECT_EQ(At(image, 11, 88), kBlack);
    EXPECT_EQ(CountPixels(image, kRed, QRect(12, 31, 1, 19)), 19);
    EXPECT_EQ(At(image, 12, 51), kBlack);
    EXPECT_EQ(At(image, 14, 40), kBlack);
    EXPECT_EQ(At(image, 16, 20), kPlotNanStemColour);
    EXPECT_EQ(At(image, 18, 87), kPlotInfiniteStemColour);
}

// 20 000 observations in a plot 600 pixels wide: every column between the
// frame's lines has its stem, the largest residual's column ends 2 pixels
// inside the frame, and the labels stand at round numbers without touching.
TEST(ResidualPainter, TwentyThousandObservationsFillTheWidth)
{
    const int n = 20000;
    const int largestAt = 12345; // 1-based
    Matrix residuals(n, 1, 0.0);
    for (int i = 0; i < n; ++i)
        residuals(i, 0) = 3.0 * std::sin(0.37 * i) + 0.5;
    residuals(largestAt - 1, 0) = -10.0;
    const QSize size(600, 230); // m = 23, columns 24 .. 575
    const QFontMetrics metrics(QGuiApplication::font());
    const int spacing = ResidualLabelSpacing(metrics, n);
    const ResidualPlotLayout layout = LayOutResidualPlot(residuals, size, spacing);
    ASSERT_TRUE(layout.spread);
    ASSERT_EQ(layout.stems.size(), 552u);
    const int largestX = 24 + (largestAt - 1) * 552 / n;
    for (const ResidualStem& stem : layout.stems) {
        if (stem.x == largestX) {
            EXPECT_EQ(stem.yTo, 205);
        } else {
            EXPECT_LT(stem.yTo, 205) << stem.x;
        }
    }

    const QImage image = Paint(residuals, size);
    for (int x = 24; x <= 575; ++x)
        EXPECT_GT(CountPixels(image, kRed, QRect(x, 25, 1, 180)), 0) << x;
    EXPECT_EQ(CountPixels(image, kRed, image.rect()), CountPixels(image, kRed, QRect(24, 0, 552, 230)));
    EXPECT_EQ(At(image, largestX, 204), kRed);
    EXPECT_EQ(At(image, largestX, 205), kBlack);

    ASSERT_GE(layout.labels.size(), 5u);
    const int interval = layout.labels[0].number;
    EXPECT_TRUE(interval == 500 || interval == 1000 || interval == 2000 || interval == 5000) << interval;
    for (std::size_t i = 0; i < layout.labels.size(); ++i) {
        const ResidualLabel& label = layout.labels[i];
        EXPECT_TRUE(label.centred);
        EXPECT_EQ(label.number, interval * static_cast<int>(i + 1));
        EXPECT_EQ(label.x, 24 + (label.number - 1) * 552 / n);
        EXPECT_LE(label.x + spacing / 2, 600);
        if (i > 0) {
            EXPECT_GE(label.x - layout.labels[i - 1].x, spacing);
        }
    }
    const ResidualLabel& first = layout.labels[0];
    EXPECT_GT(CountTextPixels(image, QRect(first.x - spacing / 2, first.y, spacing, metrics.height())), 0);
}

TEST(ResidualPainter, NonFiniteResidualsAreMarkedAndKeepTheScale)
{
    const QSize size(300, 230); // full stem (230 - 46 - 4) / 2 = 90
    const Matrix residuals = Vector({1.0, kInf, -kInf, kNaN, -2.0});
    const ResidualPlotLayout layout = LayOutResidualPlot(residuals, size);
    EXPECT_EQ(layout.scale, 180.0 / 4.0);
    ASSERT_EQ(layout.stems.size(), 5u);
    EXPECT_EQ(layout.stems[0].kind, StemKind::Finite);
    EXPECT_EQ(layout.stems[0].yFrom, 115 - 45);
    EXPECT_EQ(layout.stems[4].yFrom, 115 + 90);
    EXPECT_EQ(layout.stems[1].kind, StemKind::PositiveInfinity);
    EXPECT_EQ(layout.stems[1].yFrom, 25);
    EXPECT_EQ(layout.stems[2].kind, StemKind::NegativeInfinity);
    EXPECT_EQ(layout.stems[2].yFrom, 205);
    EXPECT_EQ(layout.stems[3].kind, StemKind::NotANumber);
    EXPECT_EQ(layout.stems[3].yFrom, 25);
    EXPECT_EQ(layout.stems[3].yTo, 205);

    const QImage image = Paint(residuals, size);
    EXPECT_EQ(At(image, layout.stems[0].x, 70), kRed);
    EXPECT_EQ(At(image, layout.stems[1].x, 25), kPlotInfiniteStemColour);
    EXPECT_EQ(At(image, layout.stems[1].x, 120), kBlack);
    EXPECT_EQ(At(image, layout.stems[2].x, 204), kPlotInfiniteStemColour);
    EXPECT_EQ(At(image, layout.stems[2].x, 110), kBlack);
    EXPECT_EQ(At(image, layout.stems[3].x, 25), kPlotNanStemColour);
    EXPECT_EQ(At(image, layout.stems[3].x, 204), kPlotNanStemColour);
    EXPECT_EQ(At(image, layout.stems[4].x, 204), kRed);

    const ResidualPlotLayout onlyNonFinite = LayOutResidualPlot(Vector({kNaN, -kInf}), size);
    EXPECT_EQ(onlyNonFinite.scale, 0.0);
    EXPECT_EQ(onlyNonFinite.stems[0].kind, StemKind::NotANumber);
    EXPECT_EQ(onlyNonFinite.stems[1].yFrom, 205);
}

// Magnitudes at the ends of the double range: 2a overflows, or k = span / 2a
// does. The stems still reach the frame instead of collapsing or converting
// an infinity to int.
TEST(ResidualPainter, ExtremeMagnitudesKeepTheirStems)
{
    const double huge = std::numeric_limits<double>::max();
    const double tiny = std::numeric_limits<double>::denorm_min();
    for (const double a : {huge, huge / 1.5, 2 * tiny, 1e-310}) {
        const ResidualPlotLayout layout = LayOutResidualPlot(Vector({a, -a, a / 2, 0.0}), QSize(300, 230));
        EXPECT_EQ(layout.stems[0].yFrom, 25) << a;
        EXPECT_EQ(layout.stems[1].yFrom, 205) << a;
        EXPECT_NEAR(layout.stems[2].yFrom, 115 - 45, 1) << a;
        EXPECT_EQ(layout.stems[3].yFrom, 115) << a;
    }
}

TEST(ResidualPainter, InvalidOrEmptyVectorDrawsOnlyFrameAndZeroLine)
{
    const QSize size(200, 100);
    for (const Matrix& residuals : {Matrix(-1, 1, 0.0), Matrix(3, 0, 0.0), Matrix(0, 1, 0.0)}) {
        const ResidualPlotLayout layout = LayOutResidualPlot(residuals, size);
        EXPECT_TRUE(layout.stems.empty());
        EXPECT_TRUE(layout.labels.empty());
        const QImage image = Paint(residuals, size);
        EXPECT_EQ(At(image, 100, 50), kGreen);
        EXPECT_EQ(At(image, 10, 10), kGreen);
        EXPECT_EQ(CountPixels(image, kRed, image.rect()), 0);
        EXPECT_EQ(CountTextPixels(image, QRect(0, 91, 200, 9)), 0);
    }
}

TEST(ResidualPainter, TinyPicturesDoNotBreak)
{
    for (const QSize size : {QSize(1, 1), QSize(3, 2), QSize(5, 40), QSize(40, 5)}) {
        const QImage image = Paint(Vector({1.0, -kInf, kNaN, 0.5}), size);
        EXPECT_FALSE(image.isNull());
    }
}

TEST(ResidualPlotExport, PngHoldsTheSamePicture)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const Matrix residuals = Vector({0.5, -1.25, 2.0, kNaN});
    const QSize size(320, 240);
    const QString path = dir.filePath("plot.PNG");
    QString error;
    ASSERT_TRUE(SaveResidualPlot(residuals, path, size, &error)) << error.toStdString();
    QImage saved(path);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), size);
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), Paint(residuals, size));
}

TEST(ResidualPlotExport, SvgHoldsTheStemsAndTheFrame)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("plot.svg");
    QString error;
    ASSERT_TRUE(SaveResidualPlot(Vector({1.0, -1.0}), path, QSize(300, 230), &error)) << error.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray svg = file.readAll();
    EXPECT_TRUE(svg.contains("<svg"));
    EXPECT_TRUE(svg.contains("viewBox=\"0 0 300 230\""));
    EXPECT_TRUE(svg.contains("#ff0000"));  // stems
    EXPECT_TRUE(svg.contains("#00ff00"));  // frame, zero line, labels
    EXPECT_TRUE(svg.contains("Residuen der L"));
}

TEST(ResidualPlotExport, RefusesUnknownFormatsBadSizesAndUnwritablePaths)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const Matrix residuals = Vector({1.0});
    QString error;
    EXPECT_FALSE(SaveResidualPlot(residuals, dir.filePath("plot.bmp"), QSize(100, 100), &error));
    EXPECT_TRUE(error.contains("plot.bmp"));
    EXPECT_FALSE(QFile::exists(dir.filePath("plot.bmp")));
    error.clear();
    EXPECT_FALSE(SaveResidualPlot(residuals, dir.filePath("plot.png"), QSize(0, 100), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("plot.png")));
    error.clear();
    EXPECT_FALSE(SaveResidualPlot(residuals, dir.filePath("missing/plot.png"), QSize(100, 100), &error));
    EXPECT_TRUE(error.contains("missing/plot.png"));
    EXPECT_FALSE(SaveResidualPlot(residuals, dir.filePath("plot.gif"), QSize(100, 100), nullptr));
    EXPECT_TRUE(SaveResidualPlot(residuals, dir.filePath("plot.svg"), QSize(100, 100), nullptr));
}
