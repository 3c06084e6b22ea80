#include "cli/plot_export.h"

#ifdef TOLVAR_CLI_PLOT

#include "plot/residual_painter.h"

#include <QGuiApplication>
#include <QString>

#include <clocale>
#include <cstdlib>
#include <memory>

namespace {

constexpr int kPlotWidth = 800;
constexpr int kPlotHeight = 500;

// Drawing needs a QGuiApplication; without a display the offscreen
// platform serves. Created only when a plot is asked for.
void EnsureGuiApplication()
{
    static int argc = 1;
    static char name[] = "tolvar-cli";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QGuiApplication> application;
    if (QGuiApplication::instance() != nullptr)
        return;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    application = std::make_unique<QGuiApplication>(argc, argv);
    // Qt sets the locale from the environment; numbers stay with ".".
    std::setlocale(LC_NUMERIC, "C");
}

} // namespace

bool PlotExportAvailable()
{
    return true;
}

bool ExportResidualPlot(const Matrix& residuals, const std::string& path, std::string& error)
{
    EnsureGuiApplication();
    QString message;
    if (SaveResidualPlot(residuals, QString::fromStdString(path), QSize(kPlotWidth, kPlotHeight), &message))
        return true;
    error = message.toStdString();
    return false;
}

#else

bool PlotExportAvailable()
{
    return false;
}

bool ExportResidualPlot(const Matrix&, const std::string&, std::string& error)
{
    error = "Diese Ausgabe von tolvar-cli kann keine Grafik speichern.";
    return false;
}

#endif
