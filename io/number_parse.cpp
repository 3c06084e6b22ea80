#include "io/number_parse.h"

#include <charconv>
#include <cmath>
#include <locale.h>
#include <new>
#include <stdlib.h>
#include <string>
#include <system_error>

namespace {

// strtod of the "C" locale, also when the program runs under a locale
// whose decimal point is ",".
locale_t CLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr))
        throw std::bad_alloc();
    return locale;
}

// A number never contains white space or a NUL byte, so the token up to
// the first of them holds everything strtod can take.
const char* TokenEnd(const char* begin, const char* end)
{
    const char* p = begin;
    while (p != end && *p != '\0' && !IsCSpace(*p))
        ++p;
    return p;
}

// from_chars is much faster than strtod and rounds correctly too, but it
// knows no "+" sign and no hexadecimal form, and it reports under- and
// overflow instead of rounding. It is used only where both agree: plain
// decimal digits, a normal or zero result.
bool FastPathApplies(const char* begin, const char* end)
{
    const char* p = begin;
    if (p != end && *p == '-')
        ++p;
    if (p == end)
        return false;
    if (*p == '.')
        return true;
    if (*p < '0' || *p > '9')
        return false;
    const bool hexPrefix = *p == '0' && p + 1 != end && (p[1] == 'x' || p[1] == 'X');
    return !hexPrefix;
}

const char* ParseFast(const char* begin, const char* end, double& value)
{
    double result = 0.0;
    const auto [stop, error] = std::from_chars(begin, end, result, std::chars_format::general);
    if (error != std::errc() || std::fpclassify(result) == FP_SUBNORMAL)
        return nullptr;
    value = result;
    return stop;
}

const char* ParseWithStrtod(const char* begin, const char* end, double& value)
{
    const std::string token(begin, end);
    char* stop = nullptr;
    const double result = strtod_l(token.c_str(), &stop, CLocale());
    if (stop == token.c_str())
        return nullptr;
    value = result;
    return begin + (stop - token.c_str());
}

}  // namespace

const char* ParseDouble(const char* begin, const char* end, double& value)
{
    while (begin != end && IsCSpace(*begin))
        ++begin;
    const char* tokenEnd = TokenEnd(begin, end);
    if (tokenEnd == begin)
        return nullptr;
    if (FastPathApplies(begin, tokenEnd)) {
        if (const char* stop = ParseFast(begin, tokenEnd, value))
            return stop;
    }
    return ParseWithStrtod(begin, tokenEnd, value);
}
