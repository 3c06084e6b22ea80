// The Lp library as the desktop program calls it: loaded with dlopen, the
// command text "%s %s %d %d %lf %d " in a 255-byte buffer, length 255.

#include "normex/minimax_oracle.h"
#include "normex/normex.h"
#include "normex/report_reader.h"

#include "core/estimator.h"
#include "io/input_file.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using LpFunction = int (*)(char*, int);

// Certified values for the stack loss data, independently computed with R
// quantreg, MASS, scipy/HiGHS and exact rationals (shared data notes).
const double kLeastSquares[4] = {-39.91967442, 0.7156402005, 1.295286124, -0.1521225191};
const double kL1[4] = {-13693.0 / 345.0, 287.0 / 345.0, 66.0 / 115.0, -7.0 / 115.0};
const double kMinimax[4] = {-112887.0 / 4154.0, 1198.0 / 2077.0, 3860.0 / 2077.0, -699.0 / 2077.0};
const double kMinimaxValue = 19705.0 / 4154.0;
// The report prints five decimals.
const double kPrinted = 6e-6;

class LpLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        handle = dlopen(TOLVAR_BIN_DIR "/libnormex.so", RTLD_NOW | RTLD_LOCAL);
        if (handle != nullptr)
            lp = reinterpret_cast<LpFunction>(dlsym(handle, "LP"));
    }

    void SetUp() override
    {
        ASSERT_NE(lp, nullptr) << "libnormex.so or its LP not found: " << dlerror();
        char pattern[] = "/tmp/normex_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        stackLoss = dir + "/stackloss.EIN";
        testutil::WriteInput(stackLoss, testutil::StackLossDesign(), testutil::StackLossObservations(),
                             std::vector<double>(21, 1.0));
    }

    void TearDown() override { std::filesystem::remove_all(dir); }

    // What the desktop program does: format, copy with the zero into 255 bytes.
    static std::string Format(const std::string& in, const std::string& out, int n, int u, double p, int passes)
    {
        char text[1024];
        std::snprintf(text, sizeof text, "%s %s %d %d %lf %d ", in.c_str(), out.c_str(), n, u, p, passes);
        return text;
    }

    static int Call(const std::string& command)
    {
        char buffer[255] = {};
        std::memcpy(buffer, command.c_str(), std::min(command.size() + 1, sizeof buffer - 1));
        return lp(buffer, 255);
    }

    static inline void* handle = nullptr;
    static inline LpFunction lp = nullptr;
    std::string dir;
    std::string stackLoss;
};

void ExpectUnknowns(const testutil::ParsedReport& report, const double* expected, double tolerance)
{
    ASSERT_EQ(report.unknowns.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_NEAR(report.unknowns[k], expected[k], tolerance) << "unknown " << k;
}

TEST_F(LpLibraryTest, NormPanelChoicesWriteTheirReports)
{
    const std::string out = dir + "/out.AUS";

    ASSERT_EQ(Call(Format(stackLoss, out, 21, 4, 2.0, 1000)), NORMEX_SUCCESS);
    testutil::ParsedReport report = testutil::ParseReport(out);
    ASSERT_TRUE(report.ok);
    EXPECT_EQ(report.methodLine, "Lp-Norm L\xF6sung mit Normfaktor 2.000000");
    EXPECT_EQ(report.passCount, 1); // least squares in one pass
    ExpectUnknowns(report, kLeastSquares, kPrinted);

    ASSERT_EQ(Call(Format(stackLoss, out, 21, 4, 1.0, 1000)), NORMEX_SUCCESS);
    report = testutil::ParseReport(out);
    ASSERT_TRUE(report.ok);
    EXPECT_EQ(report.methodLine, "L1-Norm L\xF6sung (Barrodale-Roberts)");
    EXPECT_EQ(report.passCount, -1);
    ExpectUnknowns(report, kL1, kPrinted);

    ASSERT_EQ(Call(Format(stackLoss, out, 21, 4, 25.0, 1000)), NORMEX_SUCCESS);
    report = testutil::ParseReport(out);
    ASSERT_TRUE(report.ok);
    EXPECT_EQ(report.methodLine, "Loo-Norm L\xF6sung (Tschebycheff)");
    EXPECT_EQ(report.passCount, -1);
    ExpectUnknowns(report, kMinimax, kPrinted);
    double largest = 0.0;
    for (double v : report.corrections)
        largest = std::max(largest, std::fabs(v));
    EXPECT_NEAR(largest, kMinimaxValue, kPrinted);
    ASSERT_EQ(report.observations.size(), 21u);
    for (std::size_t i = 0; i < 21; ++i)
        EXPECT_NEAR(report.adjusted[i], report.observations[i] + report.corrections[i], 1.1e-5);
}

// Any other factor runs the engine's Lp reweighting: the library's report
// is byte for byte the one the engine writes for code 0.
TEST_F(LpLibraryTest, OtherFactorsGiveTheEnginesLpReport)
{
    for (const double factor : {1.5, 3.0}) {
        const std::string out = dir + "/lib.AUS";
        const std::string reference = dir + "/engine.AUS";
        ASSERT_EQ(Call(Format(stackLoss, out, 21, 4, factor, 40)), NORMEX_SUCCESS);

        Matrix A, l, p;
        ASSERT_EQ(ReadInputFileWeightVector(stackLoss, A, l, p), 0);
        CEstimator engine;
        engine.SetOutputFile(reference);
        ASSERT_EQ(engine.RunWithWeightVector(A, l, p, kMethodLpNorm, factor, 40, 1e-5), kRunSuccess);
        EXPECT_EQ(testutil::ReadBytes(out), testutil::ReadBytes(reference)) << "factor " << factor;
    }
}

// Weighted minimax: the library minimises max sqrt(p_i) |v_i|. On small
// random problems no x does better (brute force over all vertices), and on
// a polynomial fit the extreme is reached with alternating signs at u + 1
// observations in abscissa order.
TEST_F(LpLibraryTest, ChebyshevReportIsTheWeightedMinimax)
{
    std::mt19937 generator(2024);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::uniform_real_distribution<double> weight(0.25, 4.0);
    const std::string in = dir + "/random.EIN";
    const std::string out = dir + "/random.AUS";
    for (int trial = 0; trial < 8; ++trial) {
        const int n = 8;
        const int u = 3;
        std::vector<double> t(n);
        for (double& value : t)
            value = uniform(generator);
        std::sort(t.begin(), t.end());
        testutil::Rows A;
        std::vector<double> l, p;
        for (int i = 0; i < n; ++i) {
            A.push_back({1.0, t[i], t[i] * t[i]});
            l.push_back(10.0 * std::sin(3.0 * t[i]) + 2.0 * uniform(generator));
            p.push_back(weight(generator));
        }
        testutil::WriteInput(in, A, l, p);
        ASSERT_EQ(Call(Format(in, out, n, u, 25.0, 1000)), NORMEX_SUCCESS);
        const testutil::ParsedReport report = testutil::ParseReport(out);
        ASSERT_TRUE(report.ok);
        ASSERT_EQ(report.corrections.size(), static_cast<std::size_t>(n));

        testutil::Rows weightedA = A;
        std::vector<double> weightedL = l;
        std::vector<double> weighted(n);
        double largest = 0.0;
        for (int i = 0; i < n; ++i) {
            const double root = std::sqrt(p[i]);
            for (double& value : weightedA[i])
                value *= root;
            weightedL[i] *= root;
            weighted[i] = root * report.corrections[i];
            largest = std::max(largest, std::fabs(weighted[i]));
        }
        EXPECT_NEAR(largest, testutil::BruteForceMinimax(weightedA, weightedL), 2e-5) << "trial " << trial;

        int alternations = 0;
        double lastSign = 0.0;
        for (int i = 0; i < n; ++i) {
            if (std::fabs(weighted[i]) < largest - 4e-5)
                continue;
            const double sign = weighted[i] > 0.0 ? 1.0 : -1.0;
            alternations += sign != lastSign ? 1 : 0;
            lastSign = sign;
        }
        EXPECT_GE(alternations, u + 1) << "trial " << trial;
    }
}

TEST_F(LpLibraryTest, QuotedNamesWithBlanksQuotesAndBackslashes)
{
    const std::string spaced = dir + "/mit Leerzeichen";
    std::filesystem::create_directory(spaced);
    const std::string in = spaced + "/Eingabe Datei.EIN";
    std::filesystem::copy_file(stackLoss, in);

    // Blanks in quotes.
    const std::string out = spaced + "/Ausgabe Datei.AUS";
    ASSERT_EQ(Call(Format("\"" + in + "\"", "\"" + out + "\"", 21, 4, 1.0, 1000)), NORMEX_SUCCESS);
    EXPECT_TRUE(testutil::ParseReport(out).ok);

    // \" and \\ inside quotes stand for a quote and a backslash.
    const std::string odd = spaced + "/Aus \"gabe\" \\ x.AUS";
    const std::string escaped = "\"" + spaced + "/Aus \\\"gabe\\\" \\\\ x.AUS\"";
    ASSERT_EQ(Call(Format("\"" + in + "\"", escaped, 21, 4, 25.0, 1000)), NORMEX_SUCCESS);
    EXPECT_TRUE(testutil::ParseReport(odd).ok);

    // Tabs separate fields like blanks; a line end belongs to a plain name.
    const std::string tabbed = dir + "/tab.AUS";
    ASSERT_EQ(Call(stackLoss + "\t" + tabbed + "\t21\t4\t2.000000\t1000"), NORMEX_SUCCESS);
    EXPECT_TRUE(testutil::FileExists(tabbed));
    const std::string lineEnd = dir + "/line\nend.AUS";
    ASSERT_EQ(Call(Format(stackLoss, lineEnd, 21, 4, 2.0, 1000)), NORMEX_SUCCESS);
    EXPECT_TRUE(testutil::FileExists(lineEnd));

    // A plain name keeps its backslash as it is.
    const std::string plain = dir + "/back\\slash.AUS";
    ASSERT_EQ(Call(Format(stackLoss, plain, 21, 4, 2.0, 1000)), NORMEX_SUCCESS);
    EXPECT_TRUE(testutil::FileExists(plain));
}

TEST_F(LpLibraryTest, MalformedCommandTexts)
{
    const std::string out = dir + "/out.AUS";
    const std::string in = stackLoss;
    EXPECT_EQ(lp(nullptr, 255), NORMEX_BAD_COMMAND);
    char valid[255] = {};
    std::snprintf(valid, sizeof valid, "%s %s 21 4 2.000000 1000 ", in.c_str(), out.c_str());
    EXPECT_EQ(lp(valid, 0), NORMEX_BAD_COMMAND);
    EXPECT_EQ(lp(valid, -5), NORMEX_BAD_COMMAND);
    for (const std::string& text : {
             std::string(""),
             std::string("   "),
             in,
             in + " " + out + " 21 4 2.000000",                 // passes missing
             in + " " + out + " x 4 2.000000 1000",             // n not a number
             in + " " + out + " 21 4.5 2.000000 1000",          // u not an integer
             in + " " + out + " 21 4 zwei 1000",                // factor not a number
             in + " " + out + " 21 4 2,5 1000",                 // decimal comma
             in + " " + out + " 99999999999 4 2.000000 1000",   // beyond int
             in + " " + out + " +-21 4 2.000000 1000",          // two signs
             in + " " + out + " 21 4 ++2.000000 1000",
             in + " " + out + " 21 4 2.000000 +-1000",
             in + " " + out + " 21 4 2.000000 1000 mehr",       // trailing field
             "\"" + in + " " + out + " 21 4 2.000000 1000",     // quote never closed
             "\"" + in + "\"x " + out + " 21 4 2.000000 1000",  // text glued to the quote
         }) {
        EXPECT_EQ(Call(text), NORMEX_BAD_COMMAND) << text;
    }
    EXPECT_FALSE(testutil::FileExists(out));
    // One leading "+" is a sign like "-".
    EXPECT_EQ(Call(in + " " + out + " +21 +4 +2.000000 +1000"), NORMEX_SUCCESS);
}

TEST_F(LpLibraryTest, RefusedProblemsWriteNothing)
{
    const std::string out = dir + "/out.AUS";
    for (const char* factor : {"0.999999", "0", "-2", "nan", "inf", "-inf", "1e999", "-1e999", "1e-999"}) {
        const std::string text = stackLoss + " " + out + " 21 4 " + factor + " 1000 ";
        EXPECT_EQ(Call(text), NORMEX_BAD_NORM_FACTOR) << factor;
    }
    EXPECT_EQ(Call(Format(dir + "/missing.EIN", out, 21, 4, 2.0, 1000)), NORMEX_INPUT_NOT_OPENED);
    EXPECT_EQ(Call(Format("\"\"", out, 21, 4, 2.0, 1000)), NORMEX_INPUT_NOT_OPENED);

    const std::string faulty = dir + "/faulty.EIN";
    testutil::WriteInput(faulty, {{1.0}, {1.0}}, {1.0, 2.0}, {1.0, -1.0}); // negative weight
    EXPECT_EQ(Call(Format(faulty, out, 2, 1, 2.0, 1000)), NORMEX_INPUT_REJECTED);
    {
        std::FILE* file = std::fopen(faulty.c_str(), "wb");
        std::fputs("1 1\r\n1 2\r\n3 1\r\n", file); // odd number of lines
        std::fclose(file);
    }
    EXPECT_EQ(Call(Format(faulty, out, 2, 2, 2.0, 1000)), NORMEX_INPUT_REJECTED);

    EXPECT_EQ(Call(Format(stackLoss, out, 20, 4, 2.0, 1000)), NORMEX_SIZE_MISMATCH);
    EXPECT_EQ(Call(Format(stackLoss, out, 21, 3, 2.0, 1000)), NORMEX_SIZE_MISMATCH);
    // Negative counts match no file either.
    EXPECT_EQ(Call(Format(stackLoss, out, -1, 4, 2.0, 1000)), NORMEX_SIZE_MISMATCH);
    EXPECT_EQ(Call(Format(stackLoss, out, 21, -1, 25.0, 1000)), NORMEX_SIZE_MISMATCH);
    EXPECT_FALSE(testutil::FileExists(out));

    EXPECT_EQ(Call(Format(stackLoss, dir + "/no/such/dir/out.AUS", 21, 4, 2.0, 1000)), NORMEX_OUTPUT_FAILED);
    EXPECT_EQ(Call(Format(stackLoss, dir + "/no/such/dir/out.AUS", 21, 4, 25.0, 1000)), NORMEX_OUTPUT_FAILED);
}

// A zero column makes the normal matrix singular: the report is written,
// with non-finite unknowns, and the result says so.
TEST_F(LpLibraryTest, NonFiniteSolutionIsNotSuccess)
{
    const std::string in = dir + "/singular.EIN";
    const std::string out = dir + "/singular.AUS";
    testutil::WriteInput(in, {{1, 0}, {1, 0}, {1, 0}}, {1, 2, 4}, {1, 1, 1});
    EXPECT_EQ(Call(Format(in, out, 3, 2, 2.0, 1000)), NORMEX_NOT_FINITE);
    EXPECT_TRUE(testutil::FileExists(out));
    // The minimax solution has no such trouble: the zero column's unknown is 0.
    EXPECT_EQ(Call(Format(in, out, 3, 2, 25.0, 1000)), NORMEX_SUCCESS);
    const testutil::ParsedReport report = testutil::ParseReport(out);
    ASSERT_TRUE(report.ok);
    EXPECT_NEAR(report.unknowns[0], 2.5, kPrinted); // midrange of 1 and 4
}

// Input files with all-zero design rows, or fewer observations than
// unknowns + 1 (short lines padded with 0 by the reader), have an exact
// fit: the Chebyshev report must show it, with success, and no correction.
TEST_F(LpLibraryTest, ChebyshevReachesExactFitWithZeroRowsOrFewObservations)
{
    struct Case {
        const char* lines;
        int n;
        int u;
    };
    const Case cases[] = {
        {"1.25 -26.25\n0 0\n0 0\n-46 1\n0 1\n0 1\n", 3, 2},
        {"1 80 271 881\n1 1\n1 2\n10.1 1\n2.9 1\n5.2 1\n", 3, 4},
    };
    const std::string in = dir + "/exact.EIN";
    const std::string out = dir + "/exact.AUS";
    for (const Case& c : cases) {
        std::FILE* file = std::fopen(in.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs(c.lines, file);
        std::fclose(file);
        ASSERT_EQ(Call(Format(in, out, c.n, c.u, 25.0, 1000)), NORMEX_SUCCESS) << c.lines;
        const testutil::ParsedReport report = testutil::ParseReport(out);
        ASSERT_TRUE(report.ok);
        ASSERT_EQ(report.corrections.size(), static_cast<std::size_t>(c.n));
        for (double correction : report.corrections)
            EXPECT_EQ(std::fabs(correction), 0.0) << c.lines; // printed as (-)0.00000
    }
}

// The text sits at the very end of a readable page, followed by a page that
// cannot be read: any byte read past length faults.
TEST_F(LpLibraryTest, NeverReadsPastLengthOrTerminator)
{
    const long page = sysconf(_SC_PAGESIZE);
    char* pages = static_cast<char*>(
        mmap(nullptr, static_cast<std::size_t>(2 * page), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(pages + page, static_cast<std::size_t>(page), PROT_NONE), 0);
    auto callAtPageEnd = [&](const std::string& text) {
        char* start = pages + page - static_cast<long>(text.size());
        std::memcpy(start, text.data(), text.size());
        return lp(start, static_cast<int>(text.size()));
    };
    const std::string out = dir + "/edge.AUS";
    EXPECT_EQ(callAtPageEnd(stackLoss + " " + out + " 21 4 2.000000 1000 "), NORMEX_SUCCESS);
    EXPECT_EQ(callAtPageEnd(stackLoss + " " + out + " 21 4 2.000000 1000"), NORMEX_SUCCESS);
    EXPECT_EQ(callAtPageEnd(stackLoss + " " + out + " 21 4 2.000000 10"), NORMEX_SUCCESS);
    EXPECT_EQ(callAtPageEnd("\"" + stackLoss + "\" \"" + out), NORMEX_BAD_COMMAND);
    EXPECT_EQ(callAtPageEnd("\"" + stackLoss + "\\"), NORMEX_BAD_COMMAND);
    EXPECT_EQ(callAtPageEnd(stackLoss + " " + out + " 21 4 2."), NORMEX_BAD_COMMAND);
    munmap(pages, static_cast<std::size_t>(2 * page));

    // A zero before length ends the text; what follows it is not read as fields.
    std::string text = stackLoss + " " + out + " 21 4 2.000000 1000 ";
    text += '\0';
    text += "garbage 1 2 3";
    std::vector<char> buffer(text.begin(), text.end());
    buffer.resize(255, 'x');
    EXPECT_EQ(lp(buffer.data(), 255), NORMEX_SUCCESS);
}

} // namespace
