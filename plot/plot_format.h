#pragma once

#include "core/file_path.h"

#include <string>
#include <string_view>

// The picture formats the residual plot is saved in, chosen by the
// extension of the file name in any case (".png", ".SVG"). Without Qt, so
// that the command line checks its option before anything is drawn.
enum class PlotFormat { kNone, kPng, kSvg };

inline PlotFormat PlotFormatOf(std::string_view path)
{
    const std::string extension = LowerCaseExtension(path);
    return extension == "png" ? PlotFormat::kPng : extension == "svg" ? PlotFormat::kSvg : PlotFormat::kNone;
}
