#pragma once

#include <string>
#include <string_view>

// printf-style conversions that never depend on the process locale: the
// report and the input file always use "." as the decimal point, also when
// the program runs under a German locale. The digits are those of glibc's
// printf (correctly rounded, ties to even; "inf", "-nan" ...).

// Appends value as "%<width>.<precision>f".
void AppendFixed(std::string& out, double value, int width, int precision);

// Appends value as "%<width>d".
void AppendInteger(std::string& out, long long value, int width);

// Appends text as "%<width>s" (right-aligned, never cut).
void AppendRightAligned(std::string& out, std::string_view text, int width);

// "%f" of value, the six-decimal form of the method line and command text.
std::string FormatFixed6(double value);
