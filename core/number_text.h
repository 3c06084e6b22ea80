#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Numbers as text: the two ways a text is read as a number, and the
// printf-style conversions that write one. None depends on the process
// locale: "." is the decimal point, also under a German locale.

// ---- The "%lf" rule: the input file.
// White space (C isspace) is skipped, then the longest prefix that strtod
// in the "C" locale accepts is taken: optional sign, decimal digits with
// "." as the only decimal point, optional exponent, "inf", "nan" and
// hexadecimal forms. The result equals strtod's bit for bit. The text need
// not end with a NUL byte; a NUL byte ends the number like any other
// character that cannot continue it.
//
// Converts the number at the start of [begin, end). Returns the position
// just past it and stores its value, or returns nullptr (value untouched)
// when no number starts there.
const char* ReadNumberPrefix(const char* begin, const char* end, double& value);

// The same for the plain decimals that files mostly hold (an optional "-",
// at most 19 digits with at most one ".", no exponent), without skipping
// white space, the way that is fast; nullptr for anything else, also for
// plain decimals it leaves to ReadNumberPrefix. Where it gives a value, it
// is the same as ReadNumberPrefix's.
const char* ReadPlainDecimal(const char* begin, const char* end, double& value);

// The ways ReadPlainDecimal reads the short decimals it sees most, where
// sixteen characters after the sign may be read: eight characters at a
// time in two words (everywhere), or sixteen at once (x86-64 with SSSE3
// and SSE4.1). Each gives the same value and stop; the fastest the
// processor supports comes first, and ReadPlainDecimal uses it.
enum class PlainDecimalWay { kWords, kSse };
std::vector<PlainDecimalWay> SupportedPlainDecimalWays();
const char* ReadPlainDecimal(const char* begin, const char* end, double& value, PlainDecimalWay way);

// The white-space characters of the "C" locale: blank, \t, \n, \v, \f, \r.
inline bool IsCSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// ---- The whole-text rule: dialog fields, the data editor's cells,
// command-line options and the fields of the Lp command text. White space may surround the number;
// nothing else may stand before or after it. One optional sign ("+" or
// "-"), then decimal digits; for a double with "." as the decimal point and
// an optional exponent.
enum class NumberText {
    kValid,      // the text is a number of the type; value stored
    kOutOfRange, // well formed, but beyond the type's range, or "inf" or "nan"; value unchanged
    kMalformed,  // not a number, or something else before or after it; value unchanged
};

NumberText ReadWholeInteger(std::string_view text, int& value);
NumberText ReadWholeNumber(std::string_view text, double& value);

// ---- Writing. The digits are those of glibc's printf (correctly rounded,
// ties to even; "inf", "-nan" ...).

// Room that WriteFixedField needs at out beyond the width, for any value:
// the largest double has 309 digits before the point.
inline constexpr std::size_t kFixedFieldRoom = 400;

// Writes value as "%<width>.<precision>f" at out, where width +
// kFixedFieldRoom bytes must be free, and returns the end of the field.
// Bytes past the end may be overwritten. The fields of the report take a
// fast way.
char* WriteFixedField(char* out, double value, int width, int precision);

// The values one after the other as such fields at out, where count *
// (width + kFixedFieldRoom) bytes must be free; returns the end of the last.
char* WriteFixedFields(char* out, const double* values, std::size_t count, int width, int precision);

// Writes value as "%<width>d" at out, where width + 24 bytes must be free,
// and returns the end of the field.
char* WriteIntegerField(char* out, long long value, int width);

// Appends value as "%<width>.<precision>f".
void AppendFixed(std::string& out, double value, int width, int precision);

// Appends value as "%<width>.<precision>f" when that text reads back (by
// the "%lf" rule) as exactly value, else the shortest text that does
// ("1e-07", "1.234567"), right-aligned in width. So no digit is lost, and
// values with at most precision decimals keep the fixed form. Infinities
// and NaNs take the fixed form.
void AppendFixedOrExact(std::string& out, double value, int width, int precision);

// Appends value as "%<width>d".
void AppendInteger(std::string& out, long long value, int width);

// Appends text as "%<width>s" (right-aligned, never cut).
void AppendRightAligned(std::string& out, std::string_view text, int width);

// Appends value as "%<width>.<significant>g".
void AppendGeneral(std::string& out, double value, int width, int significant);

// Appends the shortest text that reads back as exactly value (the fewest
// significant digits that round-trip; "1e-05", "0.1", "-39.919674420222"),
// or "inf", "-inf", "nan", "-nan" for the values that are not finite.
void AppendShortest(std::string& out, double value);
// The same as a text of its own.
std::string FormatShortest(double value);

// "%f" of value: six decimals, as in the method line and the Lp command text.
std::string FormatFixed6(double value);

// "%.15g" of value: the general format with up to 15 significant digits,
// as dialog fields show doubles.
std::string FormatGeneral(double value);
