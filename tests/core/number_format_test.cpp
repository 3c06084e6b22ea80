#include "core/number_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

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
}

TEST(NumberFormat, FixedConversionsMatchPrintfOnRandomValues)
{
    std::setlocale(LC_ALL, "C");
    std::mt19937_64 random(20261207);
    std::uniform_int_distribution<int> exponent(-30, 30);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    for (int i = 0; i < 20000; ++i)
        ExpectSameAsPrintf(mantissa(random) * std::pow(10.0, exponent(random)));
}

TEST(NumberFormat, TiesRoundToEvenLikePrintf)
{
    std::setlocale(LC_ALL, "C");
    // Exact binary halves: the tie cases of rounding to 3 and 5 decimals.
    for (double value : {0.0625, 0.125, 0.375, 2.5, 0.0005, 1.0005, 0.000005, 0.000015, 2.0000025, -0.125,
                         1e22, 123456789012.5, 0.5, 1.5})
        ExpectSameAsPrintf(value);
}

TEST(NumberFormat, SpecialValuesAndSignedZeroMatchPrintf)
{
    std::setlocale(LC_ALL, "C");
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

TEST(NumberFormat, AGermanLocaleDoesNotChangeTheDecimalPoint)
{
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "scripts/install-deps.sh generates de_DE.UTF-8";
    EXPECT_EQ(Fixed(1234.5, 0, 2), "1234.50");
    EXPECT_EQ(FormatFixed6(2.795), "2.795000");
    std::setlocale(LC_ALL, "C");
}

} // namespace
