#include "core/number_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <cmath>
#include <locale.h>
#include <new>
#include <stdlib.h>
#include <system_error>
#include <type_traits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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

// 10^0 .. 10^22: the powers of ten that a double holds exactly.
constexpr auto kExactPowersOfTen = [] {
    std::array<double, 23> powers{};
    double power = 1.0;
    for (double& entry : powers) {
        entry = power;
        power *= 10.0;
    }
    return powers;
}();

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

// 5^0 .. 5^kExactMaxPrecision.
constexpr auto kPowersOfFive = [] {
    std::array<std::uint64_t, kExactMaxPrecision + 1> powers{};
    std::uint64_t power = 1;
    for (std::uint64_t& entry : powers) {
        entry = power;
        power *= 5;
    }
    return powers;
}();

// The eight digits of value < 10^8 as the bytes of a little-endian word,
// the first digit in the lowest byte, leading zeros included: the halves,
// quarters and digits are split in all lanes at once by multiplying with
// reciprocals (x * 10486 >> 20 is x / 100 below 10^4, x * 103 >> 10 is
// x / 10 below 100).
std::uint64_t EightDigitBytes(std::uint32_t value)
{
    static_assert(std::endian::native == std::endian::little, "digits are laid out for little-endian words");
    const std::uint64_t halves = (value / 10000) | (std::uint64_t{value % 10000} << 32);
    const std::uint64_t hundreds = ((halves * 10486) >> 20) & 0x0000007f0000007fu;
    const std::uint64_t pairs = hundreds | ((halves - hundreds * 100) << 16);
    const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000f000f000f000fu;
    return (tens | ((pairs - tens * 10) << 8)) + 0x3030303030303030u;
}

void WriteEightDigits(char* out, std::uint32_t value)
{
    const std::uint64_t bytes = EightDigitBytes(value);
    std::memcpy(out, &bytes, sizeof bytes);
}

// The digits of 0 .. 99 and of 0 .. 999 followed by a "0", as the bytes
// of little-endian words: five decimals by two loads instead of the
// multiplications of EightDigitBytes, whose chain is the slower way.
struct DigitTables {
    std::uint16_t twoDigits[100];
    std::uint32_t threeDigitsAndZero[1000];
};

constexpr DigitTables kDigitTables = [] {
    DigitTables tables{};
    for (std::uint32_t i = 0; i < 100; ++i)
        tables.twoDigits[i] = static_cast<std::uint16_t>((0x30 + i / 10) | ((0x30 + i % 10) << 8));
    for (std::uint32_t i = 0; i < 1000; ++i)
        tables.threeDigitsAndZero[i] = (0x30 + i / 100) | ((0x30 + i / 10 % 10) << 8) | ((0x30 + i % 10) << 16) |
                                       (std::uint32_t{'0'} << 24);
    return tables;
}();

// The five digits of value < 10^5 at out, leading zeros included, and a
// "0" after them.
void WriteFiveDigitsAndZero(char* out, std::uint32_t value)
{
    std::memcpy(out, &kDigitTables.twoDigits[value / 1000], 2);
    std::memcpy(out + 2, &kDigitTables.threeDigitsAndZero[value % 1000], 4);
}

// The eight digits of a word (EightDigitBytes) with the leading zeros
// before its last digits blanked, a "-" in the last blank when negative
// (digits below 8), without a branch.
std::uint64_t WithLeadingBlanks(std::uint64_t bytes, int digits, bool negative)
{
    // The first blanks bytes of the word (its low bytes) are leading zeros.
    const int blanks = 8 - digits;
    const std::uint64_t blankMask = (std::uint64_t{1} << (8 * blanks)) - 1;
    bytes = (bytes & ~blankMask) | (0x2020202020202020u & blankMask);
    const int signShift = 8 * (blanks - 1);
    const std::uint64_t signMask = (std::uint64_t{0xff} << signShift) & (0 - static_cast<std::uint64_t>(negative));
    return (bytes & ~signMask) | ((std::uint64_t{'-'} << signShift) & signMask);
}

constexpr std::uint64_t kEightDigits = 100000000;

// 10^0 .. 10^19.
constexpr auto kPowersOfTen = [] {
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t power = 1;
    for (std::uint64_t& entry : powers) {
        entry = power;
        power *= 10;
    }
    return powers;
}();

// The number of decimal digits of value (0 for 0).
int DigitCount(std::uint64_t value)
{
    // log10(2) is about 1233 / 4096: digits - 1 or digits.
    const int estimate = (std::bit_width(value) * 1233) >> 12;
    return estimate + (value >= kPowersOfTen[static_cast<std::size_t>(estimate)] ? 1 : 0);
}

// Writes value < 10^20 as 24 digits backwards, ending just before end, and
// returns the first of them that is not a leading zero, keeping at least
// minDigits.
char* WriteDigitsBackwards(char* end, std::uint64_t value, int minDigits)
{
    const std::uint64_t rest = value % (kEightDigits * kEightDigits);
    WriteEightDigits(end - 24, static_cast<std::uint32_t>(value / (kEightDigits * kEightDigits)));
    WriteEightDigits(end - 16, static_cast<std::uint32_t>(rest / kEightDigits));
    WriteEightDigits(end - 8, static_cast<std::uint32_t>(rest % kEightDigits));
    return end - std::max(DigitCount(value), minDigits);
}

// The magnitude of value times 10^precision, rounded to an integer half to
// even: printf's digits without the point. False when the product does not
// fit (only magnitudes far beyond the data's).
inline bool ScaledMagnitude(double value, int precision, Uint128& scaled)
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
    const Uint128 product = static_cast<Uint128>(significand) * kPowersOfFive[static_cast<std::size_t>(precision)];
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
    // Half to even without a branch (which would be a coin toss): adding
    // just under a half carries a remainder above it, and exactly a half
    // only onto an odd quotient.
    const int right = -shift;
    const Uint128 odd = (product >> right) & 1;
    scaled = (product + ((Uint128{1} << (right - 1)) - 1) + odd) >> right;
    return true;
}

// Decimals of the values that input files mostly hold.
constexpr int kShortDecimals = 5;

// The digits D of a decimal y = D / 10^5 with at most five decimals whose
// nearest double is value, when there is one (as for the values read from
// input files): a few operations instead of exact integer arithmetic. Then
// |value - y| is at most half a unit in the last place of value; below the
// limit that is less than half of 10^-Precision, so y is what printf rounds
// value to. False for every other value.
template <int Precision>
bool ShortDecimalDigits(double value, std::uint64_t& digits)
{
    static_assert(Precision >= kShortDecimals && Precision <= 17);
    // The largest binary exponent e with 2^(e - 52) < 10^-Precision.
    constexpr int kTopExponent = [] {
        int bits = 0;
        while ((Uint128{1} << bits) <= kPowersOfTen[Precision])
            ++bits;
        return 52 - bits;
    }();
    constexpr double kLimit = static_cast<double>(std::uint64_t{1} << (kTopExponent + 1));
    constexpr double kShortUnit = static_cast<double>(kPowersOfTen[kShortDecimals]);
    const double magnitude = std::fabs(value);
    if (!(magnitude < kLimit))
        return false;
    // Below 2^53 the digits and their quotient are exact up to the one
    // rounding of the division, which gives the double nearest to y.
    const auto candidate = static_cast<std::int64_t>(magnitude * kShortUnit + 0.5);
    if (static_cast<double>(candidate) / kShortUnit != magnitude)
        return false;
    digits = static_cast<std::uint64_t>(candidate);
    return true;
}

// The fields the report is made of ("%25.15f", "%15.5f", "%20.5f") in
// stores of fixed size: blanks over the whole field, the decimals (five
// from the tables, else in blocks of eight digits) ending at the field's
// end, then the integer part (up to seven digits) in one block of eight
// whose leading zeros become blanks and the sign, then the point. Null
// when the value does not fit that shape; then the general way writes it.
// Writes up to 32 bytes from out, and one byte past the field's end.
template <int Precision>
char* WriteFixedFieldInBlocks(char* out, double value, int width)
{
    constexpr int kFractionBlocks = (Precision + 7) / 8;
    static_assert(Precision >= 1 && kFractionBlocks <= 2);
    constexpr std::uint64_t kUnit = kPowersOfTen[Precision];
    if (width > 32 || width < std::max(Precision + 9, 8 * kFractionBlocks))
        return nullptr;
    constexpr std::uint64_t kShortUnit = kPowersOfTen[kShortDecimals];
    std::uint64_t integer = 0;
    std::uint64_t fraction = 0; // five decimals for a short decimal, else all
    // Not finite: no short decimal, and ScaledMagnitude refuses it.
    const bool shortDecimal = ShortDecimalDigits<Precision>(value, integer);
    if (shortDecimal) {
        fraction = integer % kShortUnit;
        integer /= kShortUnit;
    } else {
        Uint128 scaled = 0;
        // All digits in 64 bits.
        if (!std::isfinite(value) || !ScaledMagnitude(value, Precision, scaled) || (scaled >> 64) != 0)
            return nullptr;
        integer = static_cast<std::uint64_t>(scaled) / kUnit;
        fraction = static_cast<std::uint64_t>(scaled) % kUnit;
    }
    const bool negative = std::signbit(value);
    // The usual integer part has one digit, which always fits the width;
    // else up to seven digits before the point.
    const int integerDigits = integer < 10 ? 1 : DigitCount(integer);
    if (integer >= 10 && (integer >= 10000000 || static_cast<int>(negative) + integerDigits + 1 + Precision > width))
        return nullptr;
    char* const end = out + width;
    std::memset(out, ' ', 32);
    if constexpr (kFractionBlocks == 2) {
        if (shortDecimal) {
            // Zeros to the end, the five decimals over their start.
            static_assert(Precision >= kShortDecimals + 1);
            std::memcpy(end - 16, "0000000000000000", 16);
            WriteFiveDigitsAndZero(end - Precision, static_cast<std::uint32_t>(fraction));
        } else {
            WriteEightDigits(end - 16, static_cast<std::uint32_t>(fraction / kEightDigits));
            WriteEightDigits(end - 8, static_cast<std::uint32_t>(fraction % kEightDigits));
        }
    } else if constexpr (Precision == kShortDecimals) {
        // Five decimals, short or not; the "0" after them falls past the
        // end, within the 32 bytes.
        WriteFiveDigitsAndZero(end - Precision, static_cast<std::uint32_t>(fraction));
    } else {
        constexpr auto kShortScale = static_cast<std::uint32_t>(kPowersOfTen[Precision - kShortDecimals]);
        WriteEightDigits(end - 8, static_cast<std::uint32_t>(fraction) * (shortDecimal ? kShortScale : 1));
    }
    end[-Precision - 1] = '.';
    // The sign in the last blank, without a branch: signs come at random.
    if (integer < 10) {
        end[-Precision - 2] = static_cast<char>('0' + integer);
        end[-Precision - 3] = static_cast<char>(' ' + static_cast<int>(negative) * ('-' - ' '));
        return end;
    }
    const std::uint64_t bytes = WithLeadingBlanks(EightDigitBytes(static_cast<std::uint32_t>(integer)), integerDigits,
                                                  negative);
    std::memcpy(end - Precision - 9, &bytes, sizeof bytes);
    return end;
}

// "%.<precision>f" of value at out (no width), by exact integer
// arithmetic; returns the end of the text, or nullptr (nothing written) for
// values that are not finite, magnitudes from 2^66 on and precisions above
// 17. Room for 64 characters must be there. Out of line, so that the
// report's fields keep their fast way compact.
[[gnu::noinline]] char* WriteFixedExactly(char* out, double value, int precision)
{
    if (!std::isfinite(value) || precision < 0 || precision > kExactMaxPrecision)
        return nullptr;
    Uint128 scaled = 0;
    if (!ScaledMagnitude(value, precision, scaled))
        return nullptr;
    constexpr std::uint64_t kNineteenDigits = 10000000000000000000u;
    // Up to 39 digits, written in two runs of 24.
    char digits[48];
    char* const end = digits + sizeof digits;
    char* first = end;
    if (scaled >= kNineteenDigits) {
        first = WriteDigitsBackwards(end, static_cast<std::uint64_t>(scaled % kNineteenDigits), 19);
        scaled /= kNineteenDigits;
        first = end - 19;
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

// ---- Plain decimals eight characters at a time (little-endian words: the
// first character in the lowest byte).

constexpr std::uint64_t kZeroBytes = 0x3030303030303030u;

// -magnitude when negative, without a branch: signs come at random.
double WithSign(double magnitude, bool negative)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    bits |= static_cast<std::uint64_t>(negative) << 63;
    std::memcpy(&magnitude, &bits, sizeof bits);
    return magnitude;
}

// How many of the word's bytes, from the first, are decimal digits (0 to 8).
int DigitRun(std::uint64_t word)
{
    const std::uint64_t values = word ^ kZeroBytes; // digits become 0 to 9
    // The high bit set in every byte that is no digit: above 9 or above 0x7f.
    const std::uint64_t others =
        (((values & 0x7f7f7f7f7f7f7f7fu) + 0x7676767676767676u) | values) & 0x8080808080808080u;
    return others == 0 ? 8 : std::countr_zero(others) / 8;
}

// The number that the first count (0 to 8) digits of the word spell.
std::uint64_t DigitsValue(std::uint64_t word, int count)
{
    if (count == 0)
        return 0;
    // The digits to the top, zeros before them: eight digits.
    std::uint64_t digits = (word ^ kZeroBytes) << (8 * (8 - count));
    digits = digits * 10 + (digits >> 8); // pairs
    digits = (((digits & 0x000000ff000000ffu) * (100 + (std::uint64_t{1000000} << 32))) +
              (((digits >> 16) & 0x000000ff000000ffu) * (1 + (std::uint64_t{10000} << 32)))) >>
             32;
    return digits & 0xffffffffu;
}

// A plain decimal of up to seven digits before and after the point, where
// 16 characters after its sign can be read: two words instead of a loop
// per character, whose ends would be guessed wrong from number to number.
// True with value and stop when the text is that, else false.
bool ReadShortPlainDecimal(const char* digits, bool negative, double& value, const char*& stop)
{
    std::uint64_t word = 0;
    std::memcpy(&word, digits, sizeof word);
    const int integerDigits = DigitRun(word);
    if (integerDigits == 8 || digits[integerDigits] != '.')
        return false;
    const char* const fraction = digits + integerDigits + 1;
    std::uint64_t fractionWord = 0;
    std::memcpy(&fractionWord, fraction, sizeof fractionWord);
    const int decimals = DigitRun(fractionWord);
    if (decimals == 8 || integerDigits + decimals == 0 || fraction[decimals] == 'e' || fraction[decimals] == 'E')
        return false;
    const std::uint64_t number =
        DigitsValue(word, integerDigits) * kPowersOfTen[static_cast<std::size_t>(decimals)] +
        DigitsValue(fractionWord, decimals);
    // At most 14 digits: exact, as is the power of ten.
    const double magnitude = static_cast<double>(number) / kExactPowersOfTen[static_cast<std::size_t>(decimals)];
    value = WithSign(magnitude, negative);
    stop = fraction + decimals;
    return true;
}

#if defined(__x86_64__)
// The same sixteen characters at a time with SSSE3 and SSE4.1: the digits
// before and after the point are moved together, right-aligned, by one
// shuffle, and their value formed by three multiply-and-add steps, where
// the word way above spends a dependent chain of multiplications on each
// half (measured: 7.8 ns a number instead of 9.1).

// Shuffle controls by the digits before the point (0 to 8) and the digits
// in all (0 to 16): lane j takes the character that holds digit
// j - (16 - all) of the number, skipping the point; lanes before the first
// digit are cleared (0x80).
struct DigitShuffles {
    alignas(16) std::uint8_t control[9][17][16];
};

constexpr DigitShuffles MakeDigitShuffles()
{
    DigitShuffles shuffles{};
    for (int before = 0; before <= 8; ++before) {
        for (int all = 0; all <= 16; ++all) {
            for (int lane = 0; lane < 16; ++lane) {
                const int digit = lane - (16 - all);
                shuffles.control[before][all][lane] =
                    digit < 0 ? 0x80 : static_cast<std::uint8_t>(digit < before ? digit : digit + 1);
            }
        }
    }
    return shuffles;
}

constexpr DigitShuffles kDigitShuffles = MakeDigitShuffles();

__attribute__((target("ssse3,sse4.1"))) bool ReadShortPlainDecimalSse(const char* digits, bool negative,
                                                                        double& value, const char*& stop)
{
    const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(digits));
    const __m128i values = _mm_sub_epi8(text, _mm_set1_epi8('0'));
    const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(values, _mm_set1_epi8(9)), values);
    const unsigned others = ~static_cast<unsigned>(_mm_movemask_epi8(isDigit)) & 0xffffu;
    const int integerDigits = std::countr_zero(others | 0x10000u);
    if (integerDigits >= 8 || digits[integerDigits] != '.')
        return false;
    const int fractionStart = integerDigits + 1;
    const int decimals = std::countr_zero((others | 0x10000u) >> fractionStart);
    const char* const fractionEnd = digits + fractionStart + decimals;
    if (decimals >= 8 || integerDigits + decimals == 0 || *fractionEnd == 'e' || *fractionEnd == 'E')
        return false;
    const auto* control = kDigitShuffles.control[integerDigits][integerDigits + decimals];
    const __m128i arranged = _mm_shuffle_epi8(values, _mm_load_si128(reinterpret_cast<const __m128i*>(control)));
    const __m128i tensAndOnes = _mm_setr_epi8(10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1);
    const __m128i pairs = _mm_maddubs_epi16(arranged, tensAndOnes);
    const __m128i fours = _mm_madd_epi16(pairs, _mm_setr_epi16(100, 1, 100, 1, 100, 1, 100, 1));
    const __m128i fourWords = _mm_packus_epi32(fours, fours);
    const __m128i eights = _mm_madd_epi16(fourWords, _mm_setr_epi16(10000, 1, 10000, 1, 10000, 1, 10000, 1));
    const auto high = static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_cvtsi128_si32(eights)));
    const auto low = static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_extract_epi32(eights, 1)));
    // At most 14 digits: exact, as is the power of ten.
    const double magnitude =
        static_cast<double>(high * 100000000u + low) / kExactPowersOfTen[static_cast<std::size_t>(decimals)];
    value = WithSign(magnitude, negative);
    stop = fractionEnd;
    return true;
}
#endif

bool ReadShortPlainDecimal(PlainDecimalWay way, const char* digits, bool negative, double& value, const char*& stop)
{
#if defined(__x86_64__)
    if (way == PlainDecimalWay::kSse)
        return ReadShortPlainDecimalSse(digits, negative, value, stop);
#endif
    return ReadShortPlainDecimal(digits, negative, value, stop);
}

// Before its initialisation it is zero, the word way: a reading from another
// file's static initialiser is still right.
const PlainDecimalWay kFastestPlainDecimalWay = SupportedPlainDecimalWays().front();

} // namespace

std::vector<PlainDecimalWay> SupportedPlainDecimalWays()
{
    std::vector<PlainDecimalWay> ways;
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1"))
        ways.push_back(PlainDecimalWay::kSse);
#endif
    ways.push_back(PlainDecimalWay::kWords);
    return ways;
}

const char* ReadPlainDecimal(const char* begin, const char* end, double& value)
{
    return ReadPlainDecimal(begin, end, value, kFastestPlainDecimalWay);
}

const char* ReadPlainDecimal(const char* begin, const char* end, double& value, PlainDecimalWay way)
{
    const char* p = begin;
    if (end - begin > 16) {
        const bool negative = *p == '-';
        const char* stop = nullptr;
        if (ReadShortPlainDecimal(way, p + (negative ? 1 : 0), negative, value, stop))
            return stop;
    }
    const bool negative = p != end && *p == '-';
    p += negative ? 1 : 0;
    std::uint64_t digits = 0;
    const char* const integerStart = p;
    while (p != end && static_cast<unsigned char>(*p - '0') < 10)
        digits = digits * 10 + static_cast<unsigned char>(*p++ - '0');
    const auto integerDigits = p - integerStart;
    std::ptrdiff_t decimals = 0;
    if (p != end && *p == '.') {
        const char* const fractionStart = ++p;
        while (p != end && static_cast<unsigned char>(*p - '0') < 10)
            digits = digits * 10 + static_cast<unsigned char>(*p++ - '0');
        decimals = p - fractionStart;
    }
    // At most 19 digits cannot overflow; an exponent or a hexadecimal form
    // may follow, which the general way reads.
    const auto digitCount = integerDigits + decimals;
    if (digitCount == 0 || digitCount > 19 || digits > (std::uint64_t{1} << 53) ||
        decimals >= static_cast<std::ptrdiff_t>(kExactPowersOfTen.size()))
        return nullptr;
    if (p != end && (*p == 'e' || *p == 'E' || *p == 'x' || *p == 'X'))
        return nullptr;
    // Both operands exact, so the one rounding of the division is that of
    // the correctly rounded conversion.
    const double magnitude = static_cast<double>(digits) / kExactPowersOfTen[static_cast<std::size_t>(decimals)];
    value = WithSign(magnitude, negative);
    return p;
}

const char* ReadNumberPrefix(const char* begin, const char* end, double& value)
{
    while (begin != end && IsCSpace(*begin))
        ++begin;
    if (const char* stop = ReadPlainDecimal(begin, end, value))
        return stop;
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

namespace {

// "%<width>s" of text at out.
char* WriteRightAligned(char* out, std::string_view text, int width)
{
    const std::size_t blanks = static_cast<int>(text.size()) < width ? width - text.size() : 0;
    std::memset(out, ' ', blanks);
    std::memcpy(out + blanks, text.data(), text.size());
    return out + blanks + text.size();
}

// Any value, any width and precision: the digits by exact integer
// arithmetic where they fit, else by to_chars, right-aligned in the width.
// Out of line, so that the loops over the report's fields stay compact.
[[gnu::noinline]] char* WriteFixedFieldTheGeneralWay(char* out, double value, int width, int precision)
{
    char text[kFixedFieldRoom];
    char* end = WriteFixedExactly(text, value, precision);
    if (end == nullptr)
        end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, precision).ptr;
    return WriteRightAligned(out, std::string_view(text, static_cast<std::size_t>(end - text)), width);
}

} // namespace

char* WriteFixedField(char* out, double value, int width, int precision)
{
    char* end = nullptr;
    if (precision == 15)
        end = WriteFixedFieldInBlocks<15>(out, value, width);
    else if (precision == 5)
        end = WriteFixedFieldInBlocks<5>(out, value, width);
    return end != nullptr ? end : WriteFixedFieldTheGeneralWay(out, value, width, precision);
}

char* WriteFixedFields(char* out, const double* values, std::size_t count, int width, int precision)
{
    if (precision != 15) {
        for (std::size_t i = 0; i < count; ++i)
            out = WriteFixedField(out, values[i], width, precision);
        return out;
    }
    // The design matrix of a report: one call for a row.
    for (std::size_t i = 0; i < count; ++i) {
        char* const end = WriteFixedFieldInBlocks<15>(out, values[i], width);
        out = end != nullptr ? end : WriteFixedFieldTheGeneralWay(out, values[i], width, precision);
    }
    return out;
}

char* WriteIntegerField(char* out, long long value, int width)
{
    // Up to eight digits and a field of up to eight: one word, right-aligned
    // in it, its first bytes dropped down to the field's width.
    const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    const int digits = DigitCount(magnitude | 1) + (value < 0 ? 1 : 0);
    const int field = std::max(width, digits);
    if (magnitude < kEightDigits && field <= 8 && digits < 8) {
        std::uint64_t bytes = WithLeadingBlanks(EightDigitBytes(static_cast<std::uint32_t>(magnitude)),
                                                DigitCount(magnitude | 1), value < 0);
        bytes >>= 8 * (8 - field);
        std::memcpy(out, &bytes, sizeof bytes);
        return out + field;
    }
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return WriteRightAligned(out, std::string_view(text, static_cast<std::size_t>(result.ptr - text)), width);
}

void AppendFixed(std::string& out, double value, int width, int precision)
{
    constexpr int kUsualWidth = 64;
    if (width <= kUsualWidth) {
        char field[kUsualWidth + kFixedFieldRoom];
        out.append(field, WriteFixedField(field, value, width, precision));
        return;
    }
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(width) + kFixedFieldRoom);
    out.resize(static_cast<std::size_t>(WriteFixedField(out.data() + start, value, width, precision) - out.data()));
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
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(std::max(width, 0)) + 24);
    out.resize(static_cast<std::size_t>(WriteIntegerField(out.data() + start, value, width) - out.data()));
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

std::string FormatShortest(double value)
{
    std::string text;
    AppendShortest(text, value);
    return text;
}

std::string FormatGeneral(double value)
{
    std::string text;
    AppendGeneral(text, value, 0, 15);
    return text;
}
