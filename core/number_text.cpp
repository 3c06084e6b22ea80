#include "core/number_text.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <cmath>
#include <locale.h>
#include <new>
#include <stdlib.h>
#include <system_error>
#include <type_traits>

namespace {

// ---- The "%lf" rule

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

// ---- "%.<precision>f" by integer arithmetic

__extension__ using Uint128 = unsigned __int128;

// Decimals up to which 5^precision times a 53-bit significand fits 128 bits.
constexpr int kExactMaxPrecision = 17;

constexpr std::uint64_t PowerOfFive(int exponent)
{
    std::uint64_t power = 1;
    for (int k = 0; k < exponent; ++k)
        power *= 5;
    return power;
}

// Two decimal digits at a time, "00" to "99".
constexpr auto kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int k = 0; k < 100; ++k) {
        pairs[static_cast<std::size_t>(2 * k)] = static_cast<char>('0' + k / 10);
        pairs[static_cast<std::size_t>(2 * k + 1)] = static_cast<char>('0' + k % 10);
    }
    return pairs;
}();

// Writes the digits of value backwards, ending just before end; at least
// minDigits of them (leading zeros). Returns the first digit's position.
char* WriteDigitsBackwards(char* end, std::uint64_t value, int minDigits)
{
    char* p = end;
    while (value >= 100) {
        const std::size_t pair = static_cast<std::size_t>(value % 100) * 2;
        value /= 100;
        p -= 2;
        std::memcpy(p, &kDigitPairs[pair], 2);
    }
    if (value >= 10) {
        p -= 2;
        std::memcpy(p, &kDigitPairs[static_cast<std::size_t>(value) * 2], 2);
    } else {
        *--p = static_cast<char>('0' + value);
    }
    while (end - p < minDigits)
        *--p = '0';
    return p;
}

// The magnitude of value times 10^precision, rounded to an integer half to
// even: printf's digits without the point. False when the product does not
// fit (only magnitudes far beyond the data's).
bool ScaledMagnitude(double value, int precision, Uint128& scaled)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    std::uint64_t significand = bits & ((std::uint64_t{1} << 52) - 1);
    int exponent = -1074;
    if (biased != 0) {
        significand |= std::uint64_t{1} << 52;
        exponent = biased - 1075;
    }
    // value = significand * 2^exponent exactly, so value * 10^precision =
    // significand * 5^precision * 2^(exponent + precision).
    const Uint128 product = static_cast<Uint128>(significand) * PowerOfFive(precision);
    const int shift = exponent + precision;
    if (shift >= 0) {
        // The product has at most 93 bits; the digits below stay within 2^123.
        if (shift > 30)
            return false;
        scaled = product << shift;
        return true;
    }
    if (shift <= -128) {
        scaled = 0; // below 2^-12: rounds to 0, never a tie
        return true;
    }
    const int right = -shift;
    scaled = product >> right;
    const Uint128 remainder = product - (scaled << right);
    const Uint128 half = Uint128{1} << (right - 1);
    if (remainder > half || (remainder == half && (scaled & 1) != 0))
        ++scaled;
    return true;
}

} // namespace

char* WriteFixedExactly(char* out, double value, int precision)
{
    if (!std::isfinite(value) || precision < 0 || precision > kExactMaxPrecision)
        return nullptr;
    Uint128 scaled = 0;
    if (!ScaledMagnitude(value, precision, scaled))
        return nullptr;
    constexpr std::uint64_t kNineteenDigits = 10000000000000000000u;
    // Up to 39 digits, the point and the sign.
    char digits[48];
    char* const end = digits + sizeof digits;
    char* first = end;
    if (scaled >= kNineteenDigits) {
        first = WriteDigitsBackwards(end, static_cast<std::uint64_t>(scaled % kNineteenDigits), 19);
        scaled /= kNineteenDigits;
    }
    // The integer part needs one digit even when it is 0.
    const int minDigits = first == end ? precision + 1 : 1;
    first = WriteDigitsBackwards(first, static_cast<std::uint64_t>(scaled), minDigits);
    char* p = out;
    if (std::signbit(value))
        *p++ = '-';
    const std::size_t integerDigits = static_cast<std::size_t>(end - first) - static_cast<std::size_t>(precision);
    std::memcpy(p, first, integerDigits);
    p += integerDigits;
    if (precision > 0) {
        *p++ = '.';
        std::memcpy(p, first + integerDigits, static_cast<std::size_t>(precision));
        p += precision;
    }
    return p;
}

namespace {

// ---- The whole-text rule

std::string_view TrimCSpace(std::string_view text)
{
    while (!text.empty() && IsCSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsCSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// std::from_chars reads a "-" but no "+"; a "+" is taken off here, and a
// second sign after it is refused ("+-5", "++5").
bool DropPlus(std::string_view& text)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-'))
            return false;
    }
    return !text.empty();
}

template <class T>
NumberText ReadWhole(std::string_view text, T& value)
{
    text = TrimCSpace(text);
    if (!DropPlus(text))
        return NumberText::kMalformed;
    T read{};
    const auto result = std::from_chars(text.data(), text.data() + text.size(), read);
    if (result.ptr != text.data() + text.size())
        return NumberText::kMalformed;
    if (result.ec == std::errc::result_out_of_range)
        return NumberText::kOutOfRange;
    if (result.ec != std::errc())
        return NumberText::kMalformed;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(read))
            return NumberText::kOutOfRange;
    }
    value = read;
    return NumberText::kValid;
}

} // namespace

const char* ReadNumberPrefix(const char* begin, const char* end, double& value)
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

NumberText ReadWholeInteger(std::string_view text, int& value)
{
    return ReadWhole(text, value);
}

NumberText ReadWholeNumber(std::string_view text, double& value)
{
    return ReadWhole(text, value);
}

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
    char* end = WriteFixedExactly(buffer, value, precision);
    if (end == nullptr)
        end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision).ptr;
    AppendRightAligned(out, std::string_view(buffer, static_cast<std::size_t>(end - buffer)), width);
}

void AppendFixedOrExact(std::string& out, double value, int width, int precision)
{
    char buffer[400];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    if (std::isfinite(value)) {
        double back = 0.0;
        if (std::from_chars(buffer, result.ptr, back).ec != std::errc() || back != value)
            result = std::to_chars(buffer, buffer + sizeof buffer, value);
    }
    AppendRightAligned(out, std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)), width);
}

void AppendInteger(std::string& out, long long value, int width)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    AppendRightAligned(out, std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)), width);
}

void AppendGeneral(std::string& out, double value, int width, int significant)
{
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, significant);
    AppendRightAligned(out, std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)), width);
}

void AppendShortest(std::string& out, double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

std::string FormatFixed6(double value)
{
    std::string text;
    AppendFixed(text, value, 0, 6);
    return text;
}

std::string FormatGeneral(double value)
{
    std::string text;
    AppendGeneral(text, value, 0, 15);
    return text;
}
