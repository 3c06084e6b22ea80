// What the engine leaves beyond its report. Certified values are those of
// tests/stack_loss.h; the precision is also recomputed independently in
// long double under the final weights.

#include "core/estimator.h"
#include "lp_oracle.h"
#include "stack_loss.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using test_support::StackLossProblem;

AdjustmentResults RunOn(const StackLossProblem& problem, int code, double c, double p = 0.0, int maxPasses = 1000,
                        double stop = 1e-5)
{
    test_support::TempFolder folder;
    CEstimator engine;
    engine.SetOutputFile(folder.Path("out.AUS"));
    engine.TuningConstant = c;
    engine.RunWithWeightVector(problem.A, problem.l, problem.weights, code, p, maxPasses, stop);
    return engine.TakeResults();
}

// Observations (from 1): down-weighted, rejected, basic.
std::set<int> Marked(const AdjustmentResults& results, char mark)
{
    std::set<int> numbers;
    for (int i = 0; i < results.Observations(); ++i) {
        const double w = results.robustWeights[static_cast<std::size_t>(i)];
        if ((mark == 'd' && IsDownWeighted(w)) || (mark == 'r' && IsRejected(w)) || (mark == 'b' && results.IsBasic(i)))
            numbers.insert(i + 1);
    }
    return numbers;
}

// sqrt(Q_jj) with Q = (A^T diag(w) A)^-1, in long double with pivoting.
std::vector<double> IndependentRootQ(const Matrix& A, const std::vector<double>& w)
{
    const std::size_t u = static_cast<std::size_t>(A.Columns());
    std::vector<test_support::LongVector> N(u, test_support::LongVector(u + 1, 0));
    for (int i = 0; i < A.Rows(); ++i)
        for (std::size_t a = 0; a < u; ++a)
            for (std::size_t b = 0; b < u; ++b)
                N[a][b] += static_cast<long double>(w[static_cast<std::size_t>(i)]) * A(i, int(a)) * A(i, int(b));
    std::vector<double> roots;
    for (std::size_t j = 0; j < u; ++j) {
        for (std::size_t a = 0; a < u; ++a)
            N[a][u] = a == j ? 1 : 0;
        roots.push_back(static_cast<double>(std::sqrt(test_support::SolveAugmented(N)[j])));
    }
    return roots;
}

// stackloss.md's least-squares line: s0 with 17 degrees of freedom and the
// standard deviations of R's lm(stack.loss ~ ., stackloss).
constexpr double kLeastSquaresS0 = 3.243363918185222;
const std::vector<double> kLeastSquaresDeviations = {11.895996850644138, 0.1348581853553714, 0.3680242652727004,
                                                     0.1562940432486198};

struct StackLossCase {
    const char* name;
    int code;
    double c;
    double p;
    bool leastSquares;         // the textbook s0 and s_j hold
    std::set<int> downWeighted;
    std::set<int> rejected;
    std::set<int> basic;
};

// Least squares (factor 2, or Huber with every weight 1) has the textbook
// precision; Huber and Talwar mark the certified observations, L1 its
// certified vertex. Every s_j is s0 times sqrt(Q_jj) under the final weights.
TEST(AdjustmentResults, PrecisionAndMarksOnStackLoss)
{
    const StackLossProblem problem = test_support::ReadStackLoss();
    const std::vector<StackLossCase> cases = {
        {"lp-irls 2", kMethodLpNorm, 0.0, 2.0, true, {}, {}, {}},
        {"huber 1e8", kMethodHuber, 1e8, 0.0, true, {}, {}, {}},
        {"huber", kMethodHuber, 1.5, 0.0, false, {1, 3, 4, 6, 9, 13, 15, 20, 21}, {}, {}},
        {"talwar", kMethodTalwar, 2.795, 0.0, false, {1, 3, 4, 21}, {1, 3, 4, 21}, {}},
        {"l1", kMethodL1, 0.0, 0.0, false, {}, {}, {2, 8, 16, 18}},
    };
    for (const StackLossCase& run : cases) {
        const AdjustmentResults results = RunOn(problem, run.code, run.c, run.p);
        EXPECT_EQ(Marked(results, 'd'), run.downWeighted) << run.name;
        EXPECT_EQ(Marked(results, 'r'), run.rejected) << run.name;
        EXPECT_EQ(Marked(results, 'b'), run.basic) << run.name;
        for (int i : run.basic)
            EXPECT_EQ(results.corrections(i - 1, 0), 0.0) << run.name << " " << i;
        if (run.code == kMethodL1) {
            EXPECT_TRUE(results.standardDeviations.empty());
            continue;
        }
        const std::vector<double> rootQ = IndependentRootQ(problem.A, results.robustWeights);
        ASSERT_EQ(results.standardDeviations.size(), 4u) << run.name;
        for (std::size_t j = 0; j < 4; ++j)
            EXPECT_NEAR(results.standardDeviations[j] / results.s0, rootQ[j], 1e-9 * rootQ[j]) << run.name << j;
        if (!run.leastSquares)
            continue;
        EXPECT_NEAR(results.s0, kLeastSquaresS0, 1e-12 * kLeastSquaresS0) << run.name;
        for (std::size_t j = 0; j < 4; ++j)
            EXPECT_NEAR(results.standardDeviations[j], kLeastSquaresDeviations[j], 1e-9 * kLeastSquaresDeviations[j])
                << run.name << j;
    }
}

// Four points on a line and one far off: L1 fits all four exactly, but only
// two of them span its vertex.
TEST(AdjustmentResults, L1BasicObservationsAreTheVertexNotEveryZeroCorrection)
{
    const StackLossProblem line{test_support::FromRows({{1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}}),
                                test_support::Column({1, 3, 5, 7, 20}), test_support::Column({1, 1, 1, 1, 1})};
    const AdjustmentResults results = RunOn(line, kMethodL1, 0.0);
    EXPECT_EQ(Marked(results, 'b').size(), 2u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(results.corrections(i, 0), 0.0) << i;
}

// How the run ended, its pass count and whether a last change exists.
TEST(AdjustmentResults, RunEndPassesAndLastChange)
{
    const StackLossProblem line{test_support::FromRows({{1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}}),
                                test_support::Column({1, 3, 5, 7, 9, 21}), test_support::Column({1, 1, 1, 1, 1, 1})};
    const StackLossProblem mean{test_support::FromRows({{1}, {1}, {1}, {1}, {1}}),
                                test_support::Column({1, 2, 3, 4, 100}), test_support::Column({1, 1, 1, 1, 1})};
    struct Case {
        const StackLossProblem& problem;
        int code;
        double c;
        int maxPasses;
        double stop;
        RunEnd end;
        int passes;
        bool changeBelowStop;
        bool change;
    };
    for (const Case& run : {
             Case{line, kMethodTalwar, 2.795, 1000, 1e-5, RunEnd::kCriterion, 3, true, true},
             Case{line, kMethodHuber, 1.5, 7, 0.0, RunEnd::kPassLimit, 8, false, true},
             Case{line, kMethodHuber, 1.5, 0, 1e-5, RunEnd::kPassLimit, 1, false, false},
             Case{mean, kMethodTalwar, 2.795, 1000, 1e-5, RunEnd::kNotFinite, 2, false, false},
             Case{mean, kMethodLpNorm, 0.0, 1000, 1e-5, RunEnd::kSinglePass, 1, false, false},
         }) {
        const AdjustmentResults results =
            RunOn(run.problem, run.code, run.c, run.code == kMethodLpNorm ? 2.0 : 0.0, run.maxPasses, run.stop);
        EXPECT_EQ(results.end, run.end) << RunEndName(run.end);
        EXPECT_EQ(results.passes, run.passes) << RunEndName(run.end);
        ASSERT_EQ(results.largestChange.has_value(), run.change) << RunEndName(run.end);
        if (run.change) {
            EXPECT_EQ(*results.largestChange < run.stop, run.changeBelowStop) << RunEndName(run.end);
        }
    }
}

} // namespace
