// The results the Lp library's solution path leaves beside its report.

#include "normex/lp_solution.h"

#include "normex/normex.h"
#include "report_reader.h"
#include "stack_loss.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

namespace {

struct Case {
    double factor;
    int maxPasses;
    int result;
    RunEnd end;
    bool passes;    // the report has a pass count
    bool change;    // a largest change of the last pass
    int basicCount; // L1: the vertex
};

TEST(LpResults, EveryFactorLeavesTheResultsOfItsReport)
{
    for (const Case& c : {Case{1.0, 1000, NORMEX_SUCCESS, RunEnd::kOptimum, false, false, 4},
                          Case{1.5, 1000, NORMEX_SUCCESS, RunEnd::kOptimum, true, true, 0},
                          Case{2.0, 1000, NORMEX_SUCCESS, RunEnd::kOptimum, true, false, 0},
                          Case{3.0, 2, NORMEX_NO_CONVERGENCE, RunEnd::kPassLimit, true, true, 0},
                          Case{25.0, 1000, NORMEX_SUCCESS, RunEnd::kOptimum, false, false, 0}}) {
        test_support::TempFolder folder;
        LpRequest request;
        request.inputFile = test_support::StackLossFile();
        request.outputFile = folder.Path("out.AUS");
        request.normFactor = c.factor;
        request.maxPasses = c.maxPasses;
        const LpOutcome outcome = RunLpSolution(request);
        ASSERT_EQ(outcome.result, c.result) << c.factor;
        const AdjustmentResults& results = outcome.results;
        EXPECT_EQ(results.method, "lp") << c.factor;
        EXPECT_EQ(results.normFactor, c.factor);
        EXPECT_FALSE(results.tuningConstant.has_value());
        EXPECT_EQ(results.end, c.end) << c.factor;
        EXPECT_EQ(results.passes.has_value(), c.passes) << c.factor;
        EXPECT_EQ(results.largestChange.has_value(), c.change) << c.factor;
        EXPECT_TRUE(results.standardDeviations.empty());
        EXPECT_TRUE(std::isfinite(results.s0)) << c.factor;
        int basic = 0;
        for (int i = 0; i < results.Observations(); ++i) {
            EXPECT_EQ(results.robustWeights[static_cast<std::size_t>(i)], 1.0);
            basic += results.IsBasic(i) ? 1 : 0;
        }
        EXPECT_EQ(basic, c.basicCount) << c.factor;

        // The same numbers as the report, which prints five decimals.
        const test_support::ParsedReport report = test_support::ParseReport(request.outputFile);
        ASSERT_TRUE(report.ok) << c.factor;
        EXPECT_EQ(report.passCount, results.passes.value_or(-1)) << c.factor;
        ASSERT_EQ(report.corrections.size(), static_cast<std::size_t>(results.Observations()));
        for (int i = 0; i < results.Observations(); ++i)
            EXPECT_NEAR(report.corrections[static_cast<std::size_t>(i)], results.corrections(i, 0), 6e-6) << i;
        for (int j = 0; j < results.Unknowns(); ++j)
            EXPECT_NEAR(report.unknowns[static_cast<std::size_t>(j)], results.unknowns(j, 0), 6e-6) << j;
    }
}

TEST(LpResults, L1ThroughTheLibraryMarksTheCertifiedVertex)
{
    test_support::TempFolder folder;
    LpRequest request;
    request.inputFile = test_support::StackLossFile();
    request.outputFile = folder.Path("out.AUS");
    request.normFactor = 1.0;
    const LpOutcome outcome = RunLpSolution(request);
    for (int number : {2, 8, 16, 18})
        EXPECT_TRUE(outcome.results.IsBasic(number - 1)) << number;
    EXPECT_EQ(outcome.results.Observations(), 21);
}

} // namespace
