#pragma once

#include "core/matrix.h"

#include <string>

// Whether this build can draw the residual plot (it needs Qt Gui).
bool PlotExportAvailable();

// Saves the residual plot of residuals as PNG or SVG (by extension). On
// failure returns false with a German message in error.
bool ExportResidualPlot(const Matrix& residuals, const std::string& path, std::string& error);
