#include "plot/residual_painter.h"

#include "core/matrix.h"
#include "core/output_file.h"
#include "platform/local_file_name.h"
#include "plot/plot_format.h"
#include "res/string_table.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QImage>
#include <QLine>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygon>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool HasResidualColumn(const Matrix& residuals)
{
    return residuals.IsValid() && residuals.Columns() >= 1;
}

// The largest finite magnitude, starting from 0: infinities and NaNs do not
// set the scale, so the finite stems keep their lengths beside them.
double LargestFiniteMagnitude(const Matrix& residuals)
{
    double largest = 0.0;
    for (int i = 0; i < residuals.Rows(); ++i) {
        const double magnitude = std::fabs(residuals(i, 0));
        if (std::isfinite(magnitude) && magnitude > largest)
            largest = magnitude;
    }
    return largest;
}

// Stem length t = (int)(k * v) with k = span / (2a). For |v| <= a the product
// stays within span / 2, so the conversion to int is safe. When 2a or k
// overflows (a beyond DBL_MAX / 2, or a so small that span / (2a) is
// infinite) the same ratio is formed as (v / a) * (span / 2) instead of
// letting every stem collapse to 0 or converting an infinity to int.
int StemLength(double value, double largest, double scale, int span)
{
    if (largest == 0.0)
        return 0;
    if (std::isfinite(2.0 * largest) && std::isfinite(scale))
        return static_cast<int>(scale * value);
    return static_cast<int>((value / largest) * (span / 2.0));
}

ResidualStem MakeStem(double value, int x, const ResidualPlotLayout& layout, double largest, int span)
{
    const int up = layout.zeroY - layout.fullStem;
    const int down = layout.zeroY + layout.fullStem;
    if (std::isnan(value))
        return {x, up, down, StemKind::NotANumber};
    if (std::isinf(value))
        return value > 0 ? ResidualStem{x, up, layout.zeroY, StemKind::PositiveInfinity}
                         : ResidualStem{x, down, layout.zeroY, StemKind::NegativeInfinity};
    const int t = StemLength(value, largest, layout.scale, span);
    return {x, layout.zeroY - t, layout.zeroY, StemKind::Finite};
}

QColor StemColour(StemKind kind)
{
    switch (kind) {
    case StemKind::Finite:
        return kPlotStemColour;
    case StemKind::PositiveInfinity:
    case StemKind::NegativeInfinity:
        return kPlotInfiniteStemColour;
    case StemKind::NotANumber:
        return kPlotNanStemColour;
    }
    return kPlotStemColour;
}

// A flat cap makes a stem from y1 to y2 cover exactly the pixel rows y1 ..
// y2 - 1 (upward stems) or y2 .. y1 - 1 (downward ones) and the five columns
// x - 2 .. x + 2 (a spread column: x only), so its far end lies where the geometry puts it; a round
// cap would reach 2.5 pixels further and touch the frame. A stem of length
// 0 draws nothing and leaves the zero line visible.
QPen StemPen(StemKind kind, int width)
{
    return QPen(StemColour(kind), width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
}

// The frame is one closed outline; mitred joins fill its corners as the
// round ends of the separate line segments would, and square caps close the
// start corner where a vector format does not join the last segment to the
// first. On the zero line the square caps end inside the frame's lines.
QPen FramePen()
{
    return QPen(kPlotFrameColour, kPlotFrameWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
}

void PaintFrameAndZeroLine(QPainter& painter, const ResidualPlotLayout& layout)
{
    const int m = layout.margin;
    const int right = layout.width - m;
    const int bottom = layout.height - m;
    painter.setPen(FramePen());
    painter.setBrush(Qt::NoBrush);
    QPainterPath frame;
    frame.addPolygon(QPolygonF(QPolygon({QPoint(m, m), QPoint(right, m), QPoint(right, bottom), QPoint(m, bottom)})));
    frame.closeSubpath();
    painter.drawPath(frame);
    painter.drawLine(QPoint(m, layout.zeroY), QPoint(right, layout.zeroY));
}

// One stem and, by the label rule, one label per observation, s pixels apart.
void PlaceEveryObservation(ResidualPlotLayout& layout, const Matrix& residuals, double largest, int span)
{
    const int n = residuals.Rows();
    layout.stems.reserve(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i) {
        const int x = layout.margin + i * layout.step;
        layout.stems.push_back(MakeStem(residuals(i - 1, 0), x, layout, largest, span));
        if (IsResidualLabelShown(i, n))
            layout.labels.push_back({x, layout.height - layout.margin + 2, i});
    }
}

// The pixel columns strictly between the frame's vertical lines (2 pixels
// wide, on x = m - 1, m and W - m - 1, W - m); at least one.
int SpreadColumns(const ResidualPlotLayout& layout)
{
    return std::max(1, layout.width - 2 * layout.margin - 2);
}

// Observation i (1-based) of n in spread layout: with n >= C every column
// gets at least one observation, since neighbours are at most 1 apart.
int SpreadColumnX(const ResidualPlotLayout& layout, long long i, int n)
{
    return layout.margin + 1 + static_cast<int>((i - 1) * SpreadColumns(layout) / n);
}

// What the stems falling into one pixel column cover.
struct ColumnExtent {
    bool finite = false;
    int highest = 0; // largest stem length t, at least 0 (the zero line)
    int lowest = 0;  // smallest t, at most 0
    bool positiveInfinity = false;
    bool negativeInfinity = false;
    bool notANumber = false;
};

void AddToColumn(ColumnExtent& column, double value, double largest, double scale, int span)
{
    if (std::isnan(value)) {
        column.notANumber = true;
    } else if (std::isinf(value)) {
        (value > 0 ? column.positiveInfinity : column.negativeInfinity) = true;
    } else {
        const int t = StemLength(value, largest, scale, span);
        column.finite = true;
        column.highest = std::max(column.highest, t);
        column.lowest = std::min(column.lowest, t);
    }
}

void AppendColumnStems(ResidualPlotLayout& layout, const ColumnExtent& column, int x)
{
    const double infinity = std::numeric_limits<double>::infinity();
    if (column.finite)
        layout.stems.push_back({x, layout.zeroY - column.highest, layout.zeroY - column.lowest, StemKind::Finite});
    if (column.positiveInfinity)
        layout.stems.push_back(MakeStem(infinity, x, layout, 0.0, 0));
    if (column.negativeInfinity)
        layout.stems.push_back(MakeStem(-infinity, x, layout, 0.0, 0));
    if (column.notANumber)
        layout.stems.push_back(MakeStem(std::numeric_limits<double>::quiet_NaN(), x, layout, 0.0, 0));
}

// The smallest of 1, 2, 5, 10, 20, 50, ... observations whose columns lie
// at least spacing pixels apart; beyond n when not even that fits.
long long RoundLabelInterval(int n, int columns, int spacing)
{
    for (long long power = 1;; power *= 10) {
        for (const long long factor : {1, 2, 5}) {
            const long long interval = factor * power;
            if (interval * columns / n >= spacing || interval > n)
                return interval;
        }
    }
}

// Labels centred under multiples of the interval; one whose text could
// leave the picture is left out.
void PlaceSpreadLabels(ResidualPlotLayout& layout, int n, int spacing)
{
    spacing = std::max(spacing, 1);
    const long long interval = RoundLabelInterval(n, SpreadColumns(layout), spacing);
    for (long long j = interval; j <= n; j += interval) {
        const int x = SpreadColumnX(layout, j, n);
        if (x - spacing / 2 >= 0 && x + spacing / 2 <= layout.width)
            layout.labels.push_back({x, layout.height - layout.margin + 2, static_cast<int>(j), true});
    }
}

void SpreadObservations(ResidualPlotLayout& layout, const Matrix& residuals, double largest, int span,
                        int labelSpacing)
{
    const int n = residuals.Rows();
    layout.spread = true;
    layout.stemWidth = 1;
    std::vector<ColumnExtent> columns(static_cast<std::size_t>(SpreadColumns(layout)));
    for (int i = 1; i <= n; ++i) {
        const int column = SpreadColumnX(layout, i, n) - layout.margin - 1;
        AddToColumn(columns[static_cast<std::size_t>(column)], residuals(i - 1, 0), largest, layout.scale, span);
    }
    for (std::size_t c = 0; c < columns.size(); ++c)
        AppendColumnStems(layout, columns[c], layout.margin + 1 + static_cast<int>(c));
    PlaceSpreadLabels(layout, n, labelSpacing);
}

// Finite stems first, then the marks of non-finite residuals, so that a mark
// stays visible where stems overlap (step 0).
void PaintStems(QPainter& painter, const ResidualPlotLayout& layout)
{
    for (const StemKind kind : {StemKind::Finite, StemKind::PositiveInfinity, StemKind::NegativeInfinity,
                                StemKind::NotANumber}) {
        QList<QLine> lines;
        for (const ResidualStem& stem : layout.stems) {
            if (stem.kind == kind && stem.yFrom != stem.yTo)
                lines.append(QLine(stem.x, stem.yFrom, stem.x, stem.yTo));
        }
        if (lines.isEmpty())
            continue;
        painter.setPen(StemPen(kind, layout.stemWidth));
        painter.drawLines(lines);
    }
}

// Labels are drawn opaque: green digits on a black cell as wide as the text.
void PaintLabels(QPainter& painter, const ResidualPlotLayout& layout)
{
    const QFontMetrics metrics = painter.fontMetrics();
    painter.setPen(kPlotTextColour);
    for (const ResidualLabel& label : layout.labels) {
        const QString text = QString::number(label.number);
        const int width = metrics.horizontalAdvance(text);
        const int left = label.centred ? label.x - width / 2 : label.x;
        const QRect cell(QPoint(left, label.y), QSize(width, metrics.height()));
        painter.fillRect(cell, kPlotBackgroundColour);
        painter.drawText(cell, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    }
}

bool Fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

QByteArray RenderPng(const Matrix& residuals, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    QPainter painter(&image);
    PaintResidualPlot(painter, residuals, size);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return {};
    return bytes;
}

QByteArray RenderSvg(const Matrix& residuals, QSize size)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(QStringLiteral("Residuen der Lösung"));
    QPainter painter;
    if (!painter.begin(&generator))
        return {};
    PaintResidualPlot(painter, residuals, size);
    painter.end();
    return bytes;
}

} // namespace

bool IsResidualLabelShown(int i, int n)
{
    if (n <= 20)
        return true;
    if (n <= 40)
        return i % 2 == 0;
    if (n <= 100)
        return i % 5 == 0;
    return i % 10 == 0;
}

int ResidualLabelSpacing(const QFontMetrics& metrics, int n)
{
    return metrics.horizontalAdvance(QString::number(n)) + metrics.horizontalAdvance(QLatin1Char('0'));
}

ResidualPlotLayout LayOutResidualPlot(const Matrix& residuals, QSize size, int labelSpacing)
{
    ResidualPlotLayout layout;
    layout.width = size.width();
    layout.height = size.height();
    const int W = layout.width;
    const int H = layout.height;
    layout.margin = H / 10;
    const int m = layout.margin;
    layout.zeroY = H / 2;
    const int span = H - 2 * m - 4;
    layout.fullStem = span / 2;
    if (!HasResidualColumn(residuals))
        return layout;

    const int n = residuals.Rows();
    layout.step = static_cast<int>((W - 2 * m) / (static_cast<long long>(n) + 1));
    const double largest = LargestFiniteMagnitude(residuals);
    layout.scale = largest == 0.0 ? 0.0 : span / (2.0 * largest);
    if (layout.step >= 1)
        PlaceEveryObservation(layout, residuals, largest, span);
    else
        SpreadObservations(layout, residuals, largest, span, labelSpacing);
    return layout;
}

void PaintResidualPlot(QPainter& painter, const Matrix& residuals, QSize size)
{
    const int n = HasResidualColumn(residuals) ? residuals.Rows() : 0;
    const ResidualPlotLayout layout =
        LayOutResidualPlot(residuals, size, ResidualLabelSpacing(painter.fontMetrics(), n));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(0, 0), size), kPlotBackgroundColour);
    PaintFrameAndZeroLine(painter, layout);
    PaintStems(painter, layout);
    PaintLabels(painter, layout);
    painter.restore();
}

bool SaveResidualPlot(const Matrix& residuals, const QString& path, QSize size, QString* error)
{
    return SaveResidualPlot(residuals, path, PlotFormatOf(platform::LocalFileName(path)), size, error);
}

bool SaveResidualPlot(const Matrix& residuals, const QString& path, PlotFormat format, QSize size, QString* error)
{
    const std::string localPath = platform::LocalFileName(path);
    if (format == PlotFormat::kNone)
        return Fail(error, QString::fromStdString(FormatString(kStringPlotFormat, path.toStdString())));
    if (size.width() <= 0 || size.height() <= 0)
        return Fail(error, QStringLiteral("Ungültige Bildgröße %1 x %2!").arg(size.width()).arg(size.height()));

    const QByteArray bytes = format == PlotFormat::kSvg ? RenderSvg(residuals, size) : RenderPng(residuals, size);
    if (bytes.isEmpty())
        return Fail(error, QStringLiteral("Das Bild %1 x %2 konnte nicht erzeugt werden!").arg(size.width()).arg(size.height()));

    OutputError written;
    if (!WriteWholeFile(localPath, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), written))
        return Fail(error, QString::fromStdString(FormatFileError(written.MessageId(), path.toStdString(), written.number)));
    return true;
}
