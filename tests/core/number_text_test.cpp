#include "core/number_text.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

// ---- The "%lf" rule

// strtod of the "C" locale is the reference for every conversion: the
// result bits and the number of characters taken must be the same.
void ExpectSameAsStrtod(const std::string& text)
{
    char* strtodEnd = nullptr;
    const double expected = std::strtod(text.c_str(), &strtodEnd);
    double actual = -12345.0;
    const char* stop = ReadNumberPrefix(text.data(), text.data() + text.size(), actual);
    if (strtodEnd == text.c_str()) {
        EXPECT_EQ(stop, nullptr) << "\"" << text << "\"";
        EXPECT_EQ(actual, -12345.0) << "\"" << text << "\"";
        return;
    }
    ASSERT_NE(stop, nullptr) << "\"" << text << "\"";
    EXPECT_EQ(stop - text.data(), strtodEnd - text.c_str()) << "\"" << text << "\"";
    EXPECT_EQ(std::memcmp(&actual, &expected, sizeof actual), 0)
        << "\"" << text << "\": " << actual << " vs " << expected;
    // The fast way, where it takes the text, agrees to the bit, and it takes
    // the same texts whichever way of this processor reads it.
    static const std::vector<PlainDecimalWay> kWays = SupportedPlainDecimalWays();
    const char* firstStop = nullptr;
    for (const PlainDecimalWay way : kWays) {
        double plain = -12345.0;
        const char* plainStop = ReadPlainDecimal(text.data(), text.data() + text.size(), plain, way);
        if (way == kWays.front())
            firstStop = plainStop;
        EXPECT_EQ(plainStop, firstStop) << "\"" << text << "\" way " << static_cast<int>(way);
        if (plainStop != nullptr) {
            EXPECT_EQ(plainStop, stop) << "\"" << text << "\"";
            EXPECT_EQ(std::memcmp(&plain, &expected, sizeof plain), 0) << "\"" << text << "\"";
        }
    }
}

TEST(PlainDecimal, TakesPlainDecimalsAndLeavesTheRest)
{
    const struct {
        const char* text;
        bool taken;
    } cases[] = {{"-0.56930", true}, {"-0.0", true}, {"-.5", true}, {"5.", true}, {"1.2.3", true},
                 {"007 1", true},    {"0x10", false}, {"00x5", false}, {"1e5", false}, {"1E-3", false},
                 {"9007199254740992", true}, {"9007199254740993", false}, {"1234567890123456789", false},
                 {"0.0000000000000000000001", false}, {"+1", false}, {" 1", false}, {"-", false}, {".", false}};
    for (const auto& [text, taken] : cases) {
        double value = 0.0;
        EXPECT_EQ(ReadPlainDecimal(text, text + std::strlen(text), value) != nullptr, taken) << text;
        ExpectSameAsStrtod(text);
    }
}

using NumberPrefix = testing::Test; // the "C" locale; GermanLocale puts it back

std::string RandomDigits(std::mt19937_64& random, int maxCount)
{
    std::uniform_int_distribution<int> count(0, maxCount);
    std::uniform_int_distribution<int> digit(0, 9);
    std::string digits;
    for (int i = count(random); i > 0; --i)
        digits += static_cast<char>('0' + digit(random));
    return digits;
}

// Strings that look like numbers, almost-numbers and junk, with every form
// strtod knows: signs, exponents far out of range, hexadecimal, inf, nan.
std::string RandomNumberText(std::mt19937_64& random)
{
    static const char* const kLeads[] = {"", "", "", " ", "\t", "  \v\f\r", "\n"};
    static const char* const kSigns[] = {"", "", "-", "+", "--", "+-"};
    static const char* const kNamedForms[] = {"inf", "INF", "infinity", "Infinity", "infinit", "nan", "NaN",
                                            "nan(123)", "nan(", "0x1.8p3", "0X1P-1074", "0x", "0x.p1",
                                            "0xABCp+10", "in", "n", ".", "e5", "0e", "1e+", "1e-"};
    static const char* const kTails[] = {"", "", " 5", "\t2", ",5", "x", "e", "e+", ".", "..5", "E-7", ("\0" "7"),
                                         "p3", "abc"};
    std::uniform_int_distribution<int> pick(0, 99);
    std::string text = kLeads[random() % std::size(kLeads)];
    text += kSigns[random() % std::size(kSigns)];
    const int kind = pick(random);
    if (kind < 10) {
        text += kNamedForms[random() % std::size(kNamedForms)];
    } else {
        const int maxDigits = kind < 20 ? 400 : 20;
        text += RandomDigits(random, maxDigits);
        if (pick(random) < 70)
            text += '.' + RandomDigits(random, maxDigits);
        if (pick(random) < 50) {
            text += pick(random) < 50 ? 'e' : 'E';
            text += kSigns[random() % std::size(kSigns)];
            text += std::to_string(static_cast<int>(random() % 700) - 350);
        }
    }
    text += kTails[random() % std::size(kTails)];
    return text;
}

TEST_F(NumberPrefix, MatchesStrtodOnRandomText)
{
    std::mt19937_64 random(20261207);
    for (int i = 0; i < 200000; ++i) {
        const std::string text = RandomNumberText(random);
        ExpectSameAsStrtod(text);
        // Followed by more of the line, as in a file: read a word at a time.
        ExpectSameAsStrtod(text + "          0.12345 1");
    }
}

// Numbers as files hold them: up to eight decimals and a few digits before
// the point, with the rest of a line after them.
TEST_F(NumberPrefix, MatchesStrtodOnFieldsOfAFile)
{
    std::mt19937_64 random(11);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_int_distribution<int> decimals(0, 8);
    std::uniform_int_distribution<int> exponent(-3, 8);
    char text[128];
    for (int i = 0; i < 100000; ++i) {
        std::snprintf(text, sizeof text, "%.*f %15.5f %15.5f", decimals(random),
                      normal(random) * std::pow(10.0, exponent(random)), normal(random), normal(random));
        ExpectSameAsStrtod(text);
    }
}

TEST_F(NumberPrefix, MatchesStrtodOnShortestAndLongFormsOfRandomDoubles)
{
    std::mt19937_64 random(42);
    char buffer[800];
    for (int i = 0; i < 100000; ++i) {
        double value = 0.0;
        const std::uint64_t bits = random();
        std::memcpy(&value, &bits, sizeof value);
        for (const char* format : {"%.17g", "%.16e", "%.5f", "%a", "%.40g"}) {
            std::snprintf(buffer, sizeof buffer, format, value);
            ExpectSameAsStrtod(buffer);
        }
    }
}

TEST_F(NumberPrefix, MatchesStrtodAtTheEdgesOfTheDoubleRange)
{
    for (const char* text : {"4.9e-324", "2.4703282292062327e-324", "2.4703282292062328e-324", "1e-400",
                             "2.2250738585072011e-308", "2.2250738585072014e-308", "1.7976931348623157e308",
                             "1.7976931348623158e308", "1.7976931348623159e308", "1e309", "-1e999999999999",
                             "0.000000000000000000000000000000000000001e-300", "9007199254740993",
                             "9007199254740992.9999999999999999999", "-0", "-0.0e-5", "00000.5", "-.5", ".5e1"})
        ExpectSameAsStrtod(text);
}

TEST_F(NumberPrefix, StopsAtTheEndOfTheRangeAndAtANulByte)
{
    const std::string text = "12345";
    double value = 0.0;
    EXPECT_EQ(ReadNumberPrefix(text.data(), text.data() + 3, value), text.data() + 3);
    EXPECT_EQ(value, 123.0);

    const std::string withNul("7\0" "8", 3);
    EXPECT_EQ(ReadNumberPrefix(withNul.data(), withNul.data() + withNul.size(), value), withNul.data() + 1);
    EXPECT_EQ(value, 7.0);

    const std::string blanks = "  \t ";
    value = 3.0;
    EXPECT_EQ(ReadNumberPrefix(blanks.data(), blanks.data() + blanks.size(), value), nullptr);
    EXPECT_EQ(ReadNumberPrefix(blanks.data(), blanks.data(), value), nullptr);
    EXPECT_EQ(value, 3.0);
}

// ---- The whole-text rule

TEST(WholeNumberText, IntegersAreDecimalWithWhiteSpaceAround)
{
    const std::pair<const char*, int> accepted[] = {
        {"1000", 1000}, {"  -7 ", -7}, {"+3", 3}, {"0", 0}, {"\t12\r\n", 12}, {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
    };
    for (const auto& [text, expected] : accepted) {
        int value = -99;
        EXPECT_EQ(ReadWholeInteger(text, value), NumberText::kValid) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const char* refused : {"", "  ", "1.5", "12a", "a12", "1 2", "--1", "+-1", "++1", "-+1", "0x10", "1e3", "+"}) {
        int value = -99;
        EXPECT_EQ(ReadWholeInteger(refused, value), NumberText::kMalformed) << refused;
        EXPECT_EQ(value, -99) << refused;
    }
    int value = -99;
    EXPECT_EQ(ReadWholeInteger("2147483648", value), NumberText::kOutOfRange);
    EXPECT_EQ(ReadWholeInteger("-99999999999", value), NumberText::kOutOfRange);
    EXPECT_EQ(value, -99);
}

TEST(WholeNumberText, DoublesAreFiniteDecimalNumbers)
{
    const std::pair<const char*, double> accepted[] = {
        {"1e-05", 1e-5}, {" 2.5 ", 2.5}, {"-0.1", -0.1}, {".5", 0.5}, {"5.", 5.0},
        {"+4.685", 4.685}, {"100000000", 1e8}, {"7.5E2", 750.0}, {"1e+3", 1000.0},
    };
    for (const auto& [text, expected] : accepted) {
        double value = -99.0;
        EXPECT_EQ(ReadWholeNumber(text, value), NumberText::kValid) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const char* refused : {"", "abc", "1,5", "2,5", "0x10", "0x1p3", "1.2.3", "5-", "1e", "e5", "+-2", "++2",
                                "1 2", "\xC3\xA4", "2.0 x"}) {
        double value = -99.0;
        EXPECT_EQ(ReadWholeNumber(refused, value), NumberText::kMalformed) << refused;
        EXPECT_EQ(value, -99.0) << refused;
    }
    // Well formed, but no finite double: the command text reads these as
    // a factor to refuse, fields and options refuse them outright.
    for (const char* beyond : {"1e999", "-1e999", "1e-999", "inf", "-inf", "+inf", "nan", "infinity"}) {
        double value = -99.0;
        EXPECT_EQ(ReadWholeNumber(beyond, value), NumberText::kOutOfRange) << beyond;
        EXPECT_EQ(value, -99.0) << beyond;
    }
}

// ---- Writing

// glibc's printf in the "C" locale is the reference for every conversion.
std::string Printf(const char* format, double value)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string Fixed(double value, int width, int precision)
{
    std::string text;
    AppendFixed(text, value, width, precision);
    return text;
}

void ExpectSameAsPrintf(double value)
{
    EXPECT_EQ(Fixed(value, 25, 15), Printf("%25.15f", value)) << value;
    EXPECT_EQ(Fixed(value, 15, 5), Printf("%15.5f", value)) << value;
    EXPECT_EQ(Fixed(value, 20, 5), Printf("%20.5f", value)) << value;
    EXPECT_EQ(Fixed(value, 10, 3), Printf("%10.3f", value)) << value;
    EXPECT_EQ(FormatFixed6(value), Printf("%f", value)) << value;
    // A row of the design matrix in one call.
    const double row[] = {value, -value, 1.5};
    char fields[3 * (25 + kFixedFieldRoom)];
    const char* const end = WriteFixedFields(fields, row, 3, 25, 15);
    EXPECT_EQ(std::string(static_cast<const char*>(fields), end),
              Printf("%25.15f", value) + Printf("%25.15f", -value) + Printf("%25.15f", 1.5))
        << value;
}

TEST(NumberFormat, FixedConversionsMatchPrintfOnRandomValues)
{
    std::mt19937_64 random(20261207);
    std::uniform_int_distribution<int> exponent(-30, 30);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    for (int i = 0; i < 20000; ++i)
        ExpectSameAsPrintf(mantissa(random) * std::pow(10.0, exponent(random)));
}

TEST(NumberFormat, TiesRoundToEvenLikePrintf)
{
    // Exact binary halves: the tie cases of rounding to 3 and 5 decimals.
    for (double value : {0.0625, 0.125, 0.375, 2.5, 0.0005, 1.0005, 0.000005, 0.000015, 2.0000025, -0.125,
                         1e22, 123456789012.5, 0.5, 1.5})
        ExpectSameAsPrintf(value);
}

// Every tie of rounding to p decimals: an odd multiple of 2^-(p + 1). And
// doubles of random bits over the magnitudes where the integer arithmetic
// takes over from to_chars and gives way to it again.
TEST(NumberFormat, FixedConversionsMatchPrintfOnTiesAndRandomBits)
{
    std::mt19937_64 random(7);
    for (int i = 0; i < 5000; ++i) {
        const double odd = static_cast<double>((random() >> 24) | 1);
        for (int precision : {3, 5, 15})
            ExpectSameAsPrintf(std::ldexp(odd, -(precision + 1)) * (i % 2 == 0 ? 1.0 : -1.0));
    }
    std::uniform_int_distribution<int> exponent(-80, 100);
    for (int i = 0; i < 20000; ++i) {
        const double value = std::ldexp(static_cast<double>(random() >> 11), exponent(random) - 53);
        ExpectSameAsPrintf(i % 2 == 0 ? value : -value);
        EXPECT_EQ(Fixed(value, 0, 17), Printf("%.17f", value)) << value;
        EXPECT_EQ(Fixed(value, 0, 0), Printf("%.0f", value)) << value;
    }
}

// Values read from decimals with at most five decimals, as input files
// hold them, over the magnitudes where the short way applies and beyond.
TEST(NumberFormat, FixedConversionsMatchPrintfOnShortDecimals)
{
    std::mt19937_64 random(5);
    std::uniform_int_distribution<int> digitCount(1, 16);
    char text[64];
    for (int i = 0; i < 20000; ++i) {
        const auto digits = static_cast<long long>(random() % static_cast<std::uint64_t>(std::pow(10.0, digitCount(random))));
        std::snprintf(text, sizeof text, "%s%lld.%05lld", i % 2 == 0 ? "" : "-", digits / 100000, digits % 100000);
        ExpectSameAsPrintf(std::strtod(text, nullptr));
    }
    for (const char* edge : {"7.99999", "8.00000", "8.00001", "-7.99999", "9.87654", "0.00001", "-0.00000",
                             "68719476735.99999", "68719476736.00001", "1.1", "10.1"})
        ExpectSameAsPrintf(std::strtod(edge, nullptr));
}

TEST(NumberFormat, SpecialValuesAndSignedZeroMatchPrintf)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double value : {0.0, -0.0, inf, -inf, nan, -nan, std::numeric_limits<double>::max(),
                         std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::max()})
        ExpectSameAsPrintf(value);
}

TEST(NumberFormat, IntegersAndTextAreRightAlignedAndNeverCut)
{
    std::string text;
    AppendInteger(text, 7, 4);
    AppendInteger(text, -123456, 4);
    AppendRightAligned(text, "Nr", 4);
    AppendRightAligned(text, "Ausgegl. Beob.", 5);
    EXPECT_EQ(text, "   7-123456  NrAusgegl. Beob.");
}

TEST(NumberFormat, IntegerFieldsMatchPrintf)
{
    for (long long value : {0LL, 7LL, -7LL, 42LL, 9999LL, 10000LL, -9999LL, 1000000LL, 9999999LL, 12345678LL,
                            -1234567LL, -12345678LL, 123456789012LL, std::numeric_limits<long long>::min()}) {
        for (int width : {0, 1, 4, 7, 8, 9, 12}) {
            char expected[64];
            std::snprintf(expected, sizeof expected, "%*lld", width, value);
            char field[64 + 24];
            const char* end = WriteIntegerField(field, value, width);
            const char* start = field;
            EXPECT_EQ(std::string(start, end), expected) << value << " in " << width;
        }
    }
}

TEST(NumberFormat, GeneralFormatIsPrintfsWithFifteenDigits)
{
    for (double value : {1e-5, 0.1, 1.0 / 3.0, 4.685, 100000000.0, 1e21, 123456789012345678.0, -2.5e-300, 0.0, -0.0})
        EXPECT_EQ(FormatGeneral(value), Printf("%.15g", value)) << value;
    EXPECT_EQ(FormatGeneral(1e-5), "1e-05");
}

// Reading and writing keep the point under a German locale, where strtod
// and printf themselves would use the comma.
TEST(NumberText, AGermanLocaleChangesNoDecimalPoint)
{
    test_support::GermanLocale german;
    ASSERT_TRUE(german.Entered());
    ASSERT_EQ(std::strtod("1,5", nullptr), 1.5) << "the locale is really German";

    double value = 0.0;
    const std::string point = "1.5";
    EXPECT_EQ(ReadNumberPrefix(point.data(), point.data() + point.size(), value), point.data() + 3);
    EXPECT_EQ(value, 1.5);
    const std::string comma = "2,5";
    EXPECT_EQ(ReadNumberPrefix(comma.data(), comma.data() + comma.size(), value), comma.data() + 1);
    EXPECT_EQ(value, 2.0);
    const std::string plus = "+0x1p-2";
    EXPECT_EQ(ReadNumberPrefix(plus.data(), plus.data() + plus.size(), value), plus.data() + plus.size());
    EXPECT_EQ(value, 0.25);

    EXPECT_EQ(ReadWholeNumber("2.5", value), NumberText::kValid);
    EXPECT_EQ(value, 2.5);
    EXPECT_EQ(ReadWholeNumber("3,5", value), NumberText::kMalformed);

    EXPECT_EQ(Fixed(1234.5, 0, 2), "1234.50");
    EXPECT_EQ(FormatFixed6(2.795), "2.795000");
    EXPECT_EQ(FormatGeneral(2.5), "2.5");
}

} // namespace
