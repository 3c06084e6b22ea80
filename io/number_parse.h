#pragma once

// Conversion of one number with the rules of the C "%lf" conversion: white
// space (C isspace) is skipped, then the longest prefix that strtod in the
// "C" locale accepts is taken: optional sign, decimal digits with "." as
// the only decimal point, optional exponent, "inf", "nan" and hexadecimal
// forms. The result equals strtod's bit for bit, whatever the process
// locale is. The text need not end with a NUL byte; a NUL byte ends the
// number like any other character that cannot continue it.

// Converts the number at the start of [begin, end). Returns the position
// just past it and stores its value, or returns nullptr (value untouched)
// when no number starts there.
const char* ParseDouble(const char* begin, const char* end, double& value);

// The white-space characters of the "C" locale: blank, \t, \n, \v, \f, \r.
inline bool IsCSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}
