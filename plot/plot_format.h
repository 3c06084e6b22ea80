#pragma once

#include <cctype>
#include <string_view>

// The picture formats the residual plot is saved in, chosen by the
// extension of the file name in any case (".png", ".SVG"). Without Qt, so
// that the command line checks its option before anything is drawn.
enum class PlotFormat { kNone, kPng, kSvg };

inline PlotFormat PlotFormatOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return PlotFormat::kNone;
    std::string_view suffix = name.substr(dot + 1);
    auto is = [suffix](std::string_view lower) {
        if (suffix.size() != lower.size())
            return false;
        for (std::size_t i = 0; i < lower.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(suffix[i])) != lower[i])
                return false;
        return true;
    };
    return is("png") ? PlotFormat::kPng : is("svg") ? PlotFormat::kSvg : PlotFormat::kNone;
}
