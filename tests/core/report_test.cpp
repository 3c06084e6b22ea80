#include "core/estimator.h"
#include "core/report.h"

#include <gtest/gtest.h>

#include "test_support.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>

namespace {

using test_support::ReadBytes;

struct Column {
    Matrix A{4, 1, 1.0};
    Matrix l{4, 1, 1.0};
    Matrix P{4, 4, 0.0};
    Column()
    {
        l(3, 0) = 9.0;
        for (int i = 0; i < 4; ++i)
            P(i, i) = 1.0;
    }
};

std::string RunTalwarExample()
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("talwar_example.AUS");
    Column problem;
    CEstimator engine;
    engine.SetOutputFile(path);
    engine.TuningConstant = 2.795;
    EXPECT_EQ(engine.Run(problem.A, problem.l, problem.P, kMethodTalwar, 0.0, 1000, 1e-5), kRunSuccess);
    std::string report = ReadBytes(path);
    return report;
}

// The worked example of the report format (a column of ones, observations
// 1, 1, 1, 9, Talwar with 2.795) below our banner, byte for byte.
TEST(Report, TalwarExampleMatchesTheGoldenFile)
{
    const std::string golden = ReadBytes(TOLVAR_SOURCE_DIR "/tests/core/golden/talwar_example.AUS");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(RunTalwarExample(), golden);
}

TEST(Report, EveryLineEndsWithCrLfAndFramesAreSixtyCharactersWide)
{
    const std::string report = RunTalwarExample();
    std::size_t start = 0;
    int lines = 0;
    while (start < report.size()) {
        const std::size_t lf = report.find('\n', start);
        ASSERT_NE(lf, std::string::npos) << "the file ends with a line end";
        ASSERT_GT(lf, start) << "a bare LF ends line " << lines;
        ASSERT_EQ(report[lf - 1], '\r') << "line " << lines;
        const std::string line = report.substr(start, lf - 1 - start);
        if (!line.empty() && (line[0] == '*' || line[0] == '=')) {
            EXPECT_EQ(line.size(), 60u) << line;
        }
        start = lf + 1;
        ++lines;
    }
    EXPECT_GT(lines, 40);
}

TEST(Report, UmlautsAreSingleWindows1252Bytes)
{
    const std::string report = RunTalwarExample();
    EXPECT_NE(report.find("Ben\xF6tigte"), std::string::npos);
    EXPECT_EQ(report.find("\xC3"), std::string::npos) << "no UTF-8 sequences";
}

// The method table's names and default constants as the report shows them.
TEST(Report, MethodLinesOfEveryCodeAtItsDefaultConstant)
{
    const char* const expected[] = {
        "Lp-Norm L\xF6sung mit Normfaktor 1.500000\n",   "L1-Norm L\xF6sung (Barrodale-Roberts)\n",
        "Andrews mit Tuning-Konstante 0.500000\n",         "Biweight mit Tuning-Konstante 4.685000\n",
        "Cauchy mit Tuning-Konstante 2.385000\n",          "Fair mit Tuning-Konstante 1.400000\n",
        "Huber mit Tuning-Konstante 1.500000\n",           "Logistic mit Tuning-Konstante 1.205000\n",
        "Talwar mit Tuning-Konstante 2.795000\n",          "Welsch mit Tuning-Konstante 2.985000\n",
    };
    for (const MethodInfo& method : kMethods)
        EXPECT_EQ(MethodText(method.code, method.defaultTuningConstant, 1.5), expected[method.code]);
    EXPECT_EQ(MethodText(kMethodHuber, 4.685, 0), "Huber mit Tuning-Konstante 4.685000\n");
    EXPECT_EQ(MethodText(kMethodL1, 9, 9), "L1-Norm L\xF6sung (Barrodale-Roberts)\n");
    EXPECT_EQ(MethodText(10, 1, 1), "");
    EXPECT_EQ(MethodText(-1, 1, 1), "");
}

TEST(Report, WideAndNonFiniteNumbersAreWrittenWholeAndShiftTheLine)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("wide.AUS");
    Matrix x(1, 1, std::numeric_limits<double>::quiet_NaN());
    Matrix l(1, 1, 123456789012.5);
    Matrix v(1, 1, -std::numeric_limits<double>::infinity());
    {
        ReportFile file;
        ASSERT_TRUE(file.Open(path));
        WriteReportResults(file, kMethodHuber, 4, x, l, v);
        ASSERT_TRUE(file.Close());
    }
    const std::string report = ReadBytes(path);
    EXPECT_NE(report.find("            nan\r\n"), std::string::npos);
    EXPECT_NE(report.find("   1123456789012.50000           -inf           -inf\r\n"), std::string::npos);
}

TEST(Report, ResultsAreFiniteOnlyWhenEveryPublishedNumberIs)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* what;
        double x, l, v;
        bool finite;
    };
    const Case cases[] = {
        {"all finite", 1.0, 2.0, -0.5, true},
        {"unknown NaN", nan, 2.0, -0.5, false},
        {"unknown infinite", -inf, 2.0, -0.5, false},
        {"correction NaN", 1.0, 2.0, nan, false},
        {"observation infinite", 1.0, inf, -0.5, false},
        {"adjusted value overflows", 1.0, 1.7e308, 1.7e308, false},
    };
    for (const Case& c : cases) {
        Matrix l(2, 1, 1.0);
        Matrix v(2, 1, 0.0);
        l(1, 0) = c.l;
        v(1, 0) = c.v;
        EXPECT_EQ(ResultsAreFinite(Matrix(1, 1, c.x), l, v), c.finite) << c.what;
    }
}

TEST(Report, ANameWithANulByteCreatesNoFile)
{
    const test_support::TempFolder folder;
    const std::string cut = folder.Path("cut.AUS");
    ReportFile file;
    EXPECT_FALSE(file.Open(cut + std::string(1, '\0') + ".txt"));
    EXPECT_FALSE(file.IsOpen());
    std::FILE* created = std::fopen(cut.c_str(), "rb");
    EXPECT_EQ(created, nullptr);
    if (created != nullptr)
        std::fclose(created);
}

TEST(Report, AGermanLocaleStillWritesDecimalPoints)
{
    const std::string golden = ReadBytes(TOLVAR_SOURCE_DIR "/tests/core/golden/talwar_example.AUS");
    std::string report;
    {
        test_support::GermanLocale german;
        ASSERT_TRUE(german.Entered());
        char probe[16];
        std::snprintf(probe, sizeof probe, "%.1f", 1.5);
        EXPECT_STREQ(probe, "1,5") << "the locale is really German";
        report = RunTalwarExample();
    }
    EXPECT_EQ(report, golden);
}

} // namespace
