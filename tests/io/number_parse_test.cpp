#include "io/number_parse.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

// strtod of the "C" locale is the reference for every conversion: the
// result bits and the number of characters taken must be the same.
void ExpectSameAsStrtod(const std::string& text)
{
    char* strtodEnd = nullptr;
    const double expected = std::strtod(text.c_str(), &strtodEnd);
    double actual = -12345.0;
    const char* stop = ParseDouble(text.data(), text.data() + text.size(), actual);
    if (strtodEnd == text.c_str()) {
        EXPECT_EQ(stop, nullptr) << "\"" << text << "\"";
        EXPECT_EQ(actual, -12345.0) << "\"" << text << "\"";
        return;
    }
    ASSERT_NE(stop, nullptr) << "\"" << text << "\"";
    EXPECT_EQ(stop - text.data(), strtodEnd - text.c_str()) << "\"" << text << "\"";
    EXPECT_EQ(std::memcmp(&actual, &expected, sizeof actual), 0)
        << "\"" << text << "\": " << actual << " vs " << expected;
}

class NumberParse : public testing::Test {
protected:
    void SetUp() override { std::setlocale(LC_ALL, "C"); }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

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
    static const char* const kTails[] = {"", "", " 5", "\t2", ",5", "x", "e", "e+", ".", "..5", "E-7", "\0" "7",
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

}  // namespace

TEST_F(NumberParse, MatchesStrtodOnRandomText)
{
    std::mt19937_64 random(20261207);
    for (int i = 0; i < 200000; ++i)
        ExpectSameAsStrtod(RandomNumberText(random));
}

TEST_F(NumberParse, MatchesStrtodOnShortestAndLongFormsOfRandomDoubles)
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

TEST_F(NumberParse, MatchesStrtodAtTheEdgesOfTheDoubleRange)
{
    for (const char* text : {"4.9e-324", "2.4703282292062327e-324", "2.4703282292062328e-324", "1e-400",
                             "2.2250738585072011e-308", "2.2250738585072014e-308", "1.7976931348623157e308",
                             "1.7976931348623158e308", "1.7976931348623159e308", "1e309", "-1e999999999999",
                             "0.000000000000000000000000000000000000001e-300", "9007199254740993",
                             "9007199254740992.9999999999999999999", "-0", "-0.0e-5", "00000.5", "-.5", ".5e1"})
        ExpectSameAsStrtod(text);
}

TEST_F(NumberParse, StopsAtTheEndOfTheRangeAndAtANulByte)
{
    const std::string text = "12345";
    double value = 0.0;
    EXPECT_EQ(ParseDouble(text.data(), text.data() + 3, value), text.data() + 3);
    EXPECT_EQ(value, 123.0);

    const std::string withNul("7\0" "8", 3);
    EXPECT_EQ(ParseDouble(withNul.data(), withNul.data() + withNul.size(), value), withNul.data() + 1);
    EXPECT_EQ(value, 7.0);

    const std::string blanks = "  \t ";
    value = 3.0;
    EXPECT_EQ(ParseDouble(blanks.data(), blanks.data() + blanks.size(), value), nullptr);
    EXPECT_EQ(ParseDouble(blanks.data(), blanks.data(), value), nullptr);
    EXPECT_EQ(value, 3.0);
}

TEST_F(NumberParse, UsesThePointAlsoUnderAGermanLocale)
{
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (scripts/install-deps.sh generates it)";
    // Under this locale strtod itself would take the comma.
    ASSERT_EQ(std::strtod("1,5", nullptr), 1.5);
    double value = 0.0;
    const std::string point = "1.5";
    EXPECT_EQ(ParseDouble(point.data(), point.data() + point.size(), value), point.data() + 3);
    EXPECT_EQ(value, 1.5);
    const std::string comma = "2,5";
    EXPECT_EQ(ParseDouble(comma.data(), comma.data() + comma.size(), value), comma.data() + 1);
    EXPECT_EQ(value, 2.0);
    const std::string plus = "+0x1p-2";
    EXPECT_EQ(ParseDouble(plus.data(), plus.data() + plus.size(), value), plus.data() + plus.size());
    EXPECT_EQ(value, 0.25);
}
