#include "core/number_format.h"

#include <charconv>

void AppendRightAligned(std::string& out, std::string_view text, int width)
{
    if (static_cast<int>(text.size()) < width)
        out.append(static_cast<std::size_t>(width) - text.size(), ' ');
    out.append(text);
}

void AppendFixed(std::string& out, double value, int width, int precision)
{
    // Wide enough for the largest double in fixed notation with 15 decimals.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    AppendRightAligned(out, std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)), width);
}

void AppendInteger(std::string& out, long long value, int width)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    AppendRightAligned(out, std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)), width);
}

std::string FormatFixed6(double value)
{
    std::string text;
    AppendFixed(text, value, 0, 6);
    return text;
}
