#include "cli/plot_export.h"

#ifdef TOLVAR_CLI_PLOT

#include "plot/residual_painter.h"

#include <QGuiApplication>
#include <QString>

#include <clocale>
#include <cstdlib>

namespace {

constexpr int kPlotWidth = 800;
constexpr int kPlotHeight = 500;

// Qt's own chatter (no runtime directory and the like) is not for the
// command line's user; a failure to save comes back as the error text.
void DropQtMessages(QtMsgType, const QMessageLogContext&, const QString&)
{
}

} // namespace

bool PlotExportAvailable()
{
    return true;
}

// Drawing needs a QGuiApplication; without a display the offscreen platform
// serves. It is created only for the plot and gone before main returns.
bool ExportResidualPlot(const Matrix& residuals, const std::string& path, PlotFormat format, std::string& error)
{
    static int argc = 1;
    static char name[] = "tolvar-cli";
    static char* argv[] = {name, nullptr};
    const QtMessageHandler previous = qInstallMessageHandler(DropQtMessages);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication application(argc, argv);
    // Qt sets the locale from the environment; numbers stay with ".".
    std::setlocale(LC_NUMERIC, "C");
    QString message;
    const bool saved =
        SaveResidualPlot(residuals, QString::fromStdString(path), format, QSize(kPlotWidth, kPlotHeight), &message);
    qInstallMessageHandler(previous);
    if (!saved)
        error = message.toStdString();
    return saved;
}

#else

bool PlotExportAvailable()
{
    return false;
}

bool ExportResidualPlot(const Matrix&, const std::string&, PlotFormat, std::string& error)
{
    error = "Diese Ausgabe von tolvar-cli kann keine Grafik speichern.";
    return false;
}

#endif
