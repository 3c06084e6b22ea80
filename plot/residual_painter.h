#pragma once

#include <QColor>
#include <QSize>
#include <QString>

#include <vector>

class Matrix;
class QPainter;

// The picture of the residual plot, independent of any window: the dialog's
// plot widget paints it on screen, the command line saves it as PNG or SVG.
//
// Geometry for a picture of W x H pixels (all integer divisions truncate
// toward zero):
//   margin m = H / 10; frame (m, m)-(W - m, H - m); zero line at y = H / 2;
//   step s = (W - 2m) / (n + 1); stem i (1-based) at x = m + i * s;
//   scale k = (H - 2m - 4) / (2a) with a the largest finite |v|, 0 when a = 0;
//   stem i from (x, H / 2 - t) to (x, H / 2) with t = (int)(k * v_i), so the
//   largest residual ends 2 pixels inside the frame.

const QColor kPlotBackgroundColour(0, 0, 0);
const QColor kPlotTextColour(0, 255, 0);
const QColor kPlotFrameColour(0, 255, 0);
const QColor kPlotStemColour(255, 0, 0);
// Residuals that are not finite carry no length: they are drawn over the
// full half (infinities) or the full height (NaN) in colours of their own.
const QColor kPlotInfiniteStemColour(255, 255, 0);
const QColor kPlotNanStemColour(255, 0, 255);

constexpr int kPlotFrameWidth = 2;
constexpr int kPlotStemWidth = 5;

enum class StemKind { Finite, PositiveInfinity, NegativeInfinity, NotANumber };

struct ResidualStem {
    int x = 0;
    int yFrom = 0; // the end away from the zero line
    int yTo = 0;   // the zero line (for NaN: the lower end)
    StemKind kind = StemKind::Finite;
};

struct ResidualLabel {
    int x = 0; // top-left corner of the text
    int y = 0;
    int number = 0; // 1-based observation number, shown as "%d"
};

struct ResidualPlotLayout {
    int width = 0;
    int height = 0;
    int margin = 0;
    int zeroY = 0;
    int step = 0;
    double scale = 0.0;
    // Length of a stem of the largest finite magnitude: (H - 2m - 4) / 2.
    int fullStem = 0;
    std::vector<ResidualStem> stems;
    std::vector<ResidualLabel> labels;
};

// Whether observation number i (1-based) of n gets its number drawn:
// n <= 20 every one, up to 40 the even ones, up to 100 every fifth, beyond
// that every tenth. Stems are drawn for all of them regardless.
bool IsResidualLabelShown(int i, int n);

// Where everything goes for residuals (n x 1, first column used) on a
// picture of the given size. An invalid vector or one without columns gives
// no stems and no labels: the picture then has only background, frame and
// zero line.
ResidualPlotLayout LayOutResidualPlot(const Matrix& residuals, QSize size);

// Paints the plot onto painter, covering (0, 0)-(W, H). Text uses the
// painter's current font.
void PaintResidualPlot(QPainter& painter, const Matrix& residuals, QSize size);

// Saves the plot as PNG or SVG, chosen by the extension of path (".png",
// ".svg", any case). On failure returns false and, if error is given, puts
// a German message there. The file is replaced only when writing succeeded.
// Needs a QGuiApplication (the offscreen platform is enough).
bool SaveResidualPlot(const Matrix& residuals, const QString& path, QSize size, QString* error);
