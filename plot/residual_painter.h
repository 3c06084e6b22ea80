#pragma once

#include "plot/plot_format.h"

#include <QColor>
#include <QSize>
#include <QString>

#include <vector>

class Matrix;
class QFontMetrics;
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
// With more observations than the frame is wide (s < 1) the observations
// are spread instead over the C = W - 2m - 2 pixel columns between the
// frame's vertical lines: observation i falls into column
// m + 1 + (i - 1) * C / n, and each column gets one stem 1 pixel wide from
// the smallest to the largest of its stems (t as above, the zero line
// included), which is the picture its stems would make drawn over one
// another. Labels then stand centred under round observation numbers
// (multiples of 1, 2 or 5 times a power of ten) far enough apart not to
// overlap.

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
    int yFrom = 0; // the end away from the zero line (a column's upper end)
    int yTo = 0;   // the zero line (for NaN and a column: the lower end)
    StemKind kind = StemKind::Finite;
};

struct ResidualLabel {
    int x = 0; // left edge of the text, or its centre when centred
    int y = 0; // top of the text
    int number = 0; // 1-based observation number, shown as "%d"
    bool centred = false;
};

struct ResidualPlotLayout {
    int width = 0;
    int height = 0;
    int margin = 0;
    int zeroY = 0;
    int step = 0;
    // Fewer pixel columns than observations: one stem per column.
    bool spread = false;
    int stemWidth = kPlotStemWidth;
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

// The distance in pixels that the centres of two labels need when the
// observations are spread: the widest number of n and one digit between.
int ResidualLabelSpacing(const QFontMetrics& metrics, int n);

// Where everything goes for residuals (n x 1, first column used) on a
// picture of the given size. An invalid vector or one without columns gives
// no stems and no labels: the picture then has only background, frame and
// zero line. labelSpacing (ResidualLabelSpacing) keeps the labels of spread
// observations apart; at most 1 lets every observation's column have one.
ResidualPlotLayout LayOutResidualPlot(const Matrix& residuals, QSize size, int labelSpacing = 1);

// Paints the plot onto painter, covering (0, 0)-(W, H). Text uses the
// painter's current font.
void PaintResidualPlot(QPainter& painter, const Matrix& residuals, QSize size);

// Saves the plot as PNG or SVG, chosen by the extension of path
// (plot/plot_format.h). On failure returns false and, if error is given,
// puts a German message there, naming the file and, when it could not be
// written, the system's reason. The file is written beside its name and
// put in place only when complete (core/output_file.h).
// Needs a QGuiApplication (the offscreen platform is enough).
bool SaveResidualPlot(const Matrix& residuals, const QString& path, QSize size, QString* error);
// The same in the format given, whatever the name (a device, standard output).
bool SaveResidualPlot(const Matrix& residuals, const QString& path, PlotFormat format, QSize size, QString* error);
