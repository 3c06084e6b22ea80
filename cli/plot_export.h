#pragma once

#include "core/matrix.h"
#include "plot/plot_format.h"

#include <string>

// Whether this build can draw the residual plot (it needs Qt Gui).
bool PlotExportAvailable();

// Saves the residual plot of residuals as PNG or SVG. On failure returns
// false with a German message in error, which names the file.
bool ExportResidualPlot(const Matrix& residuals, const std::string& path, PlotFormat format, std::string& error);
