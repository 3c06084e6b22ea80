// The results the Lp library's solution path leaves beside its report.

#include "normex/lp_solution.h"

#include "normex/normex.h"
#include "report_reader.h"
#include "stack_loss.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(LpResults, EveryFactorLeavesTheResultsOfItsReport)
{
    struct Case {
        double factor;
        int maxPasses;
        RunEnd end;
        bool change;    // a largest change of the last pass
        int basicCount; // L1: the vertex
    };
    for (const Case& c : {Case{1.0, 1000, RunEnd::kOptimum, false, 4}, Case{1.5, 1000, RunEnd::kOptimum, true, 0},
                          Case{3.0, 2, RunEnd::kPassLimit, true, 0}, Case{25.0, 1000, RunEnd::kOptimum, false, 0}}) {
        test_support::TempFolder folder;
        LpRequest request;
        request.inputFile = test_support::StackLossFile();
        request.outputFile = folder.Path("out.AUS");
        request.normFactor = c.factor;
        request.maxPasses = c.maxPasses;
        const AdjustmentResults results = RunLpSolution(request).results;
        EXPECT_EQ(results.method, "lp");
        EXPECT_EQ(results.normFactor, c.factor);
        EXPECT_EQ(results.end, c.end) << c.factor;
        EXPECT_EQ(results.largestChange.has_value(), c.change) << c.factor;
        EXPECT_TRUE(results.standardDeviations.empty());
        EXPECT_TRUE(std::isfinite(results.s0)) << c.factor;
        int basic = 0;
        for (int i = 0; i < results.Observations(); ++i) {
            EXPECT_EQ(results.robustWeights[static_cast<std::size_t>(i)], 1.0);
            basic += results.IsBasic(i) ? 1 : 0;
        }
        EXPECT_EQ(basic, c.basicCount) << c.factor;

        // The report's numbers, printed with five decimals.
        const test_support::ParsedReport report = test_support::ParseReport(request.outputFile);
        EXPECT_EQ(report.passCount, results.passes.value_or(-1)) << c.factor;
        ASSERT_EQ(report.corrections.size(), static_cast<std::size_t>(results.Observations()));
        for (int i = 0; i < results.Observations(); ++i)
            EXPECT_NEAR(report.corrections[static_cast<std::size_t>(i)], results.corrections(i, 0), 6e-6) << i;
    }
}

} // namespace
