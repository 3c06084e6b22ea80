// The Lp library as the desktop program calls it: loaded with dlopen, the
// command text "%s %s %d %d %lf %d " in a 255-byte buffer, length 255.

#include "normex/normex.h"

#include "core/estimator.h"
#include "io/input_file.h"
#include "lp_oracle.h"
#include "minimax_oracle.h"
#include "normex/command_text.h"
#include "report_reader.h"
#include "stack_loss.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using LpFunction = int (*)(char*, int);
using test_support::ExpectUnknowns;
using test_support::kStackLossL1;
using test_support::kStackLossLeastSquares;
using test_support::kStackLossMinimax;

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

    void SetUp() override { ASSERT_NE(lp, nullptr) << "libnormex.so or its LP not found: " << dlerror(); }

    // What the desktop program does: the built command text in its buffer.
    static int Call(const std::string& in, const std::string& out, int n, int u, double p, int passes)
    {
        std::vector<char> buffer = LpCommandBuffer(BuildLpCommand(in, out, n, u, p, passes));
        return lp(buffer.data(), static_cast<int>(buffer.size()));
    }

    // A text of the test's own in a 255-byte buffer.
    static int CallText(const std::string& command)
    {
        char buffer[255] = {};
        std::memcpy(buffer, command.c_str(), std::min(command.size() + 1, sizeof buffer - 1));
        return lp(buffer, 255);
    }

    std::string Path(const std::string& name) const { return folder.Path(name); }

    static inline void* handle = nullptr;
    static inline LpFunction lp = nullptr;
    const std::string stackLoss = test_support::StackLossFile();
    test_support::TempFolder folder;
};

TEST_F(LpLibraryTest, NormPanelChoicesWriteTheirReports)
{
    const std::string out = Path("out.AUS");
    const struct {
        double factor;
        const char* methodLine;
        int passCount; // -1: no pass-count line
        const std::vector<double>& unknowns;
    } choices[] = {
        {2.0, "Lp-Norm L\xF6sung mit Normfaktor 2.000000", 1, kStackLossLeastSquares}, // least squares in one pass
        {1.0, "L1-Norm L\xF6sung (Barrodale-Roberts)", -1, kStackLossL1},
        {25.0, "Loo-Norm L\xF6sung (Tschebycheff)", -1, kStackLossMinimax},
    };
    test_support::ParsedReport report;
    for (const auto& choice : choices) {
        ASSERT_EQ(Call(stackLoss, out, 21, 4, choice.factor, 1000), NORMEX_SUCCESS);
        report = test_support::ParseReport(out);
        ASSERT_TRUE(report.ok);
        EXPECT_EQ(report.methodLine, choice.methodLine);
        EXPECT_EQ(report.passCount, choice.passCount);
        ExpectUnknowns(report, choice.unknowns, kPrinted);
    }
    // The last one, the minimax report, reaches the certified extreme.
    double largest = 0.0;
    for (double v : report.corrections)
        largest = std::max(largest, std::fabs(v));
    EXPECT_NEAR(largest, test_support::kStackLossMinimaxValue, kPrinted);
    ASSERT_EQ(report.observations.size(), 21u);
    for (std::size_t i = 0; i < 21; ++i)
        EXPECT_NEAR(report.adjusted[i], report.observations[i] + report.corrections[i], 1.1e-5);
}

// Any other factor: the report of the Lp minimiser of the weighted problem,
// with the engine's method line and the pass count; the unknowns agree with
// an independent minimiser to the printed precision, the corrections are
// a_i x - l_i in the units of l.
TEST_F(LpLibraryTest, OtherFactorsReportTheLpMinimiserWithItsPassCount)
{
    const test_support::WeightedProblem problem = test_support::WeightsAndOutliers();
    const std::string in = Path("weighted.EIN");
    const std::string out = Path("weighted.AUS");
    test_support::WriteInput(in, problem.A, problem.l, problem.w);
    for (const double factor : {1.5, 3.0, 10.0, 50.0}) {
        SCOPED_TRACE(factor);
        ASSERT_EQ(Call(in, out, 30, 3, factor, 1000), NORMEX_SUCCESS);
        const test_support::ParsedReport report = test_support::ParseReport(out);
        ASSERT_TRUE(report.ok);
        char method[64];
        std::snprintf(method, sizeof method, "Lp-Norm L\xF6sung mit Normfaktor %.6f", factor);
        EXPECT_EQ(report.methodLine, method);
        EXPECT_GE(report.passCount, 2);
        EXPECT_LE(report.passCount, 30);
        const test_support::LongVector reference = test_support::LpOracle(problem, factor);
        ASSERT_EQ(report.unknowns.size(), 3u);
        for (std::size_t k = 0; k < 3; ++k)
            EXPECT_NEAR(report.unknowns[k], static_cast<double>(reference[k]), kPrinted);
        ASSERT_EQ(report.corrections.size(), 30u);
        for (std::size_t i = 0; i < 30; ++i)
            EXPECT_NEAR(report.corrections[i], static_cast<double>(test_support::Residual(problem, i, reference)),
                        2e-5);
    }
}

// A pass limit that the run needs more than: the report is written with the
// passes made, and the result says the minimiser was not reached.
TEST_F(LpLibraryTest, ARunStoppedByThePassLimitSaysSo)
{
    const std::string out = Path("short.AUS");
    for (const int limit : {0, 2}) {
        ASSERT_EQ(Call(stackLoss, out, 21, 4, 10.0, limit), NORMEX_NO_CONVERGENCE) << limit;
        const test_support::ParsedReport report = test_support::ParseReport(out);
        ASSERT_TRUE(report.ok);
        EXPECT_EQ(report.passCount, std::max(limit, 1));
    }
    EXPECT_EQ(Call(stackLoss, out, 21, 4, 10.0, 30), NORMEX_SUCCESS);
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
    const std::string in = Path("random.EIN");
    const std::string out = Path("random.AUS");
    for (int trial = 0; trial < 8; ++trial) {
        const int n = 8;
        const int u = 3;
        const std::vector<double> t = test_support::SortedAbscissas(generator, uniform, n);
        test_support::Rows A;
        std::vector<double> l, p;
        for (int i = 0; i < n; ++i) {
            A.push_back({1.0, t[i], t[i] * t[i]});
            l.push_back(10.0 * std::sin(3.0 * t[i]) + 2.0 * uniform(generator));
            p.push_back(weight(generator));
        }
        test_support::WriteInput(in, A, l, p);
        ASSERT_EQ(Call(in, out, n, u, 25.0, 1000), NORMEX_SUCCESS);
        const test_support::ParsedReport report = test_support::ParseReport(out);
        ASSERT_TRUE(report.ok);
        ASSERT_EQ(report.corrections.size(), static_cast<std::size_t>(n));

        test_support::Rows weightedA = A;
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
        EXPECT_NEAR(largest, test_support::BruteForceMinimax(weightedA, weightedL), 2e-5) << "trial " << trial;

        EXPECT_GE(test_support::AlternatingExtremes(weighted, largest, 4e-5), u + 1) << "trial " << trial;
    }
}

// Names that the command text must quote reach the files they name.
TEST_F(LpLibraryTest, NamesWithBlanksQuotesAndBackslashesReachTheirFiles)
{
    const std::string spaced = Path("mit Leerzeichen");
    std::filesystem::create_directory(spaced);
    const std::string in = spaced + "/Eingabe Datei.EIN";
    std::filesystem::copy_file(stackLoss, in);
    for (const std::string& out : {spaced + "/Ausgabe Datei.AUS", spaced + "/Aus \"gabe\" \\ x.AUS",
                                   Path("line\nend.AUS")}) {
        ASSERT_EQ(Call(in, out, 21, 4, 1.0, 1000), NORMEX_SUCCESS) << out;
        EXPECT_TRUE(test_support::ParseReport(out).ok) << out;
    }
}

TEST_F(LpLibraryTest, AMalformedCommandTextWritesNothing)
{
    const std::string out = Path("out.AUS");
    EXPECT_EQ(lp(nullptr, 255), NORMEX_BAD_COMMAND);
    EXPECT_EQ(CallText(stackLoss + " " + out + " 21 4 2,5 1000"), NORMEX_BAD_COMMAND);
    EXPECT_EQ(CallText(stackLoss + " " + out + " 21 4 2.000000"), NORMEX_BAD_COMMAND);
    EXPECT_FALSE(test_support::FileExists(out));
}

TEST_F(LpLibraryTest, RefusedProblemsWriteNothing)
{
    const std::string out = Path("out.AUS");
    for (const char* factor : {"0.999999", "0", "-2", "nan", "inf", "-inf", "1e999", "-1e999", "1e-999"}) {
        const std::string text = stackLoss + " " + out + " 21 4 " + factor + " 1000 ";
        EXPECT_EQ(CallText(text), NORMEX_BAD_NORM_FACTOR) << factor;
    }
    EXPECT_EQ(Call(Path("missing.EIN"), out, 21, 4, 2.0, 1000), NORMEX_INPUT_NOT_OPENED);
    EXPECT_EQ(Call("", out, 21, 4, 2.0, 1000), NORMEX_INPUT_NOT_OPENED);

    const std::string faulty = Path("faulty.EIN");
    test_support::WriteInput(faulty, {{1.0}, {1.0}}, {1.0, 2.0}, {1.0, -1.0}); // negative weight
    EXPECT_EQ(Call(faulty, out, 2, 1, 2.0, 1000), NORMEX_INPUT_REJECTED);
    test_support::WriteBytes(faulty, "1 1\r\n1 2\r\n3 1\r\n"); // odd number of lines
    EXPECT_EQ(Call(faulty, out, 2, 2, 2.0, 1000), NORMEX_INPUT_REJECTED);

    EXPECT_EQ(Call(stackLoss, out, 20, 4, 2.0, 1000), NORMEX_SIZE_MISMATCH);
    EXPECT_EQ(Call(stackLoss, out, 21, 3, 2.0, 1000), NORMEX_SIZE_MISMATCH);
    // Negative counts match no file either.
    EXPECT_EQ(Call(stackLoss, out, -1, 4, 2.0, 1000), NORMEX_SIZE_MISMATCH);
    EXPECT_EQ(Call(stackLoss, out, 21, -1, 25.0, 1000), NORMEX_SIZE_MISMATCH);
    EXPECT_FALSE(test_support::FileExists(out));

    EXPECT_EQ(Call(stackLoss, Path("no/such/dir/out.AUS"), 21, 4, 2.0, 1000), NORMEX_OUTPUT_FAILED);
    EXPECT_EQ(Call(stackLoss, Path("no/such/dir/out.AUS"), 21, 4, 25.0, 1000), NORMEX_OUTPUT_FAILED);
}

// An output that names the input would destroy it: refused before the
// input is read, for every factor and however the name reaches the file.
TEST_F(LpLibraryTest, AnOutputNamingTheInputIsRefusedAndTheInputKept)
{
    std::filesystem::create_directory(Path("data"));
    const std::string in = Path("data/in.EIN");
    std::filesystem::copy_file(stackLoss, in);
    const std::string original = test_support::ReadBytes(in);
    std::filesystem::create_symlink("in.EIN", Path("data/link.EIN"));
    std::filesystem::create_hard_link(in, Path("data/hard.EIN"));
    std::filesystem::create_directory_symlink("data", Path("alias"));
    for (const char* out : {"data/in.EIN", "data/./in.EIN", "data/link.EIN", "data/hard.EIN", "alias/in.EIN"}) {
        for (const double factor : {1.0, 2.0, 3.0, 25.0}) {
            EXPECT_EQ(Call(in, Path(out), 21, 4, factor, 1000), NORMEX_SAME_FILE) << out << " " << factor;
            EXPECT_EQ(test_support::ReadBytes(in), original) << out;
        }
    }
    EXPECT_EQ(Call(in, Path("data/in.AUS"), 21, 4, 2.0, 1000), NORMEX_SUCCESS);
}

// Success means that the report's results show no "inf" or "nan": for L1 a
// row of NaN stays out of the basis with finite unknowns and a NaN
// correction, an infinite observation gives an infinite adjusted value.
TEST_F(LpLibraryTest, ANonFiniteNumberInTheTableIsNoSuccess)
{
    const double nan = std::nan("");
    const std::string in = Path("odd.EIN");
    const std::string out = Path("odd.AUS");
    const std::vector<std::vector<double>> designs[] = {
        {{1}, {1}, {nan}, {1}}, {{1}, {1}, {1}, {1}}, {{1, 0}, {1, 1}, {1, nan}, {1, 3}}};
    const std::vector<double> observations[] = {{1, 2, 3, 4}, {1, 2, INFINITY, 4}, {1, 2, 3, 4}};
    for (std::size_t k = 0; k < std::size(designs); ++k) {
        test_support::WriteInput(in, designs[k], observations[k], {1, 1, 1, 1});
        const int u = static_cast<int>(designs[k][0].size());
        for (const double factor : {1.0, 2.0, 3.0, 25.0}) {
            const int result = Call(in, out, 4, u, factor, 1000);
            const std::string report = test_support::ReadBytes(out);
            const std::string results = report.substr(report.find(" Ermittelte Unbekannte:"));
            const bool shownNonFinite = results.find("nan") != std::string::npos || results.find("inf") != std::string::npos;
            EXPECT_TRUE(shownNonFinite) << k << " " << factor;
            EXPECT_EQ(result, NORMEX_NOT_FINITE) << k << " " << factor;
            if (k == 0 && factor == 1.0) {
                const std::string unknowns = results.substr(0, results.find("  Nr"));
                EXPECT_EQ(unknowns.find("nan"), std::string::npos) << "L1 keeps the NaN row out: " << unknowns;
            }
        }
    }
}

// A zero column makes the normal matrix singular: the report is written,
// with non-finite unknowns, and the result says so.
TEST_F(LpLibraryTest, NonFiniteSolutionIsNotSuccess)
{
    const std::string in = Path("singular.EIN");
    const std::string out = Path("singular.AUS");
    test_support::WriteInput(in, {{1, 0}, {1, 0}, {1, 0}}, {1, 2, 4}, {1, 1, 1});
    EXPECT_EQ(Call(in, out, 3, 2, 2.0, 1000), NORMEX_NOT_FINITE);
    EXPECT_TRUE(test_support::FileExists(out));
    // The minimax solution has no such trouble: the zero column's unknown is 0.
    EXPECT_EQ(Call(in, out, 3, 2, 25.0, 1000), NORMEX_SUCCESS);
    const test_support::ParsedReport report = test_support::ParseReport(out);
    ASSERT_TRUE(report.ok);
    EXPECT_NEAR(report.unknowns[0], 2.5, kPrinted); // midrange of 1 and 4
}

// Input files with all-zero design rows, or as many observations as
// unknowns (short lines padded with 0 by the reader), have an exact fit: the
// Chebyshev report must show it, with success, and no correction. Fewer
// observations than unknowns have no unique solution and are refused.
TEST_F(LpLibraryTest, ChebyshevReachesExactFitWithZeroRowsOrFewObservations)
{
    struct Case {
        const char* lines;
        int n;
        int u;
    };
    const Case cases[] = {
        {"1.25 -26.25\n0 0\n0 0\n-46 1\n0 1\n0 1\n", 3, 2},
        {"1 80 271\n1 1\n1 2\n10.1 1\n2.9 1\n5.2 1\n", 3, 3},
    };
    const std::string in = Path("exact.EIN");
    const std::string out = Path("exact.AUS");
    for (const Case& c : cases) {
        test_support::WriteBytes(in, c.lines);
        ASSERT_EQ(Call(in, out, c.n, c.u, 25.0, 1000), NORMEX_SUCCESS) << c.lines;
        const test_support::ParsedReport report = test_support::ParseReport(out);
        ASSERT_TRUE(report.ok);
        ASSERT_EQ(report.corrections.size(), static_cast<std::size_t>(c.n));
        for (double correction : report.corrections)
            EXPECT_EQ(std::fabs(correction), 0.0) << c.lines; // printed as (-)0.00000
    }
    test_support::WriteBytes(in, "1 80 271 881\n1 1\n1 2\n10.1 1\n2.9 1\n5.2 1\n");
    std::remove(out.c_str());
    for (double factor : {1.0, 2.0, 25.0, 1e6})
        EXPECT_EQ(Call(in, out, 3, 4, factor, 1000), NORMEX_TOO_FEW_OBSERVATIONS) << factor;
    EXPECT_FALSE(test_support::FileExists(out));
}

} // namespace
