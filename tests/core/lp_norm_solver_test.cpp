#include "core/lp_norm_solver.h"

#include "core/weighted_system.h"

#include <gtest/gtest.h>

#include "lp_oracle.h"
#include "stack_loss.h"
#include "test_support.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using test_support::Column;
using test_support::FromRows;
using test_support::LongVector;
using test_support::WeightedProblem;

using test_support::kStackLossLeastSquares;
using test_support::kStackLossMinimax;

const double kFactors[] = {1.1, 1.5, 3.0, 4.0, 10.0, 24.0, 25.1, 50.0};

WeightedProblem StackLoss()
{
    const test_support::StackLossProblem stackLoss = test_support::ReadStackLoss();
    WeightedProblem problem;
    for (int i = 0; i < stackLoss.A.Rows(); ++i) {
        problem.A.emplace_back(stackLoss.A[i], stackLoss.A[i] + stackLoss.A.Columns());
        problem.l.push_back(stackLoss.l(i, 0));
        problem.w.push_back(stackLoss.weights(i, 0));
    }
    return problem;
}

struct Solved {
    LpNormSolution solution;
    std::vector<double> x;
    std::vector<std::vector<double>> accepted; // every point the run accepted, the last included
};

Solved Solve(const WeightedProblem& problem, double p, int maxPasses = 1000)
{
    const WeightedSystem weighted = FormWeightedSystem(FromRows(problem.A), Column(problem.l), Column(problem.w));
    Solved solved;
    Matrix x;
    Matrix residuals;
    solved.solution = SolveLpNorm(weighted.Abar, weighted.lbar, p, maxPasses, x, residuals, [&](int pass, const std::vector<double>& at) {
        if (pass > 1)
            solved.accepted.push_back(at);
    });
    for (int k = 0; k < x.Rows(); ++k)
        solved.x.push_back(x[k][0]);
    solved.accepted.push_back(solved.x);
    return solved;
}

LongVector Long(const std::vector<double>& x)
{
    return LongVector(x.begin(), x.end());
}

double LargestRelativeDifference(const std::vector<double>& x, const LongVector& reference)
{
    double largest = 0.0;
    for (std::size_t k = 0; k < x.size(); ++k)
        largest = std::max(largest, static_cast<double>(std::fabs((x[k] - reference[k]) / reference[k])));
    return largest;
}

TEST(LpNormSolver, AgreesWithAnIndependentMinimiserAndNeverRaisesTheObjective)
{
    const struct {
        const char* name;
        WeightedProblem problem;
    } problems[] = {{"stack loss", StackLoss()}, {"weights and outliers", test_support::WeightsAndOutliers()}};
    for (const auto& [name, problem] : problems) {
        for (const double p : kFactors) {
            SCOPED_TRACE(std::string(name) + ", p = " + std::to_string(p));
            const Solved solved = Solve(problem, p);
            EXPECT_EQ(solved.solution.status, kLpNormMinimum);
            EXPECT_LE(solved.solution.passes, 30);
            const LongVector reference = test_support::LpOracle(problem, p);
            EXPECT_LE(LargestRelativeDifference(solved.x, reference), 1e-6);
            EXPECT_LE(test_support::LpObjective(problem, Long(solved.x), p), test_support::LpObjective(problem, reference, p) *
                                                                              (1.0L + 1e-12L));
            // F never rises from one accepted point to the next (beyond rounding).
            for (std::size_t k = 1; k < solved.accepted.size(); ++k) {
                const LongVector before = Long(solved.accepted[k - 1]);
                EXPECT_LE(test_support::LpObjective(problem, Long(solved.accepted[k]), p),
                          test_support::LpObjective(problem, before, p) * (1.0L + 1e-15L))
                    << "accepted point " << k;
            }
        }
    }
}

// The Lp solutions move towards the Chebyshev solution as p grows, and a
// factor just above 24 gives nearly the solution of 24: no jumps.
TEST(LpNormSolver, ApproachesTheChebyshevSolutionAsTheFactorGrows)
{
    const LongVector chebyshev(kStackLossMinimax.begin(), kStackLossMinimax.end());
    double previous = std::numeric_limits<double>::infinity();
    std::vector<double> at24;
    for (const double p : {24.0, 25.1, 50.0, 100.0, 200.0}) {
        const Solved solved = Solve(StackLoss(), p);
        ASSERT_EQ(solved.solution.status, kLpNormMinimum) << p;
        const double toChebyshev = LargestRelativeDifference(solved.x, chebyshev);
        EXPECT_LT(toChebyshev, previous) << p;
        previous = toChebyshev;
        if (p == 24.0)
            at24 = solved.x;
        if (p == 25.1) {
            EXPECT_LT(LargestRelativeDifference(solved.x, Long(at24)), 0.1 * LargestRelativeDifference(at24, chebyshev));
        }
    }
    EXPECT_LT(previous, 0.02); // p = 200
}

TEST(LpNormSolver, FactorTwoAndExactFitsEndAfterTheLeastSquaresStart)
{
    const Solved leastSquares = Solve(StackLoss(), 2.0);
    EXPECT_EQ(leastSquares.solution.status, kLpNormMinimum);
    EXPECT_EQ(leastSquares.solution.passes, 1);
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_NEAR(leastSquares.x[k], kStackLossLeastSquares[k], 1e-8 * std::fabs(kStackLossLeastSquares[k]));

    // Equal observations are fitted exactly by least squares already.
    const Solved equal = Solve({{{1}, {1}, {1}}, {2, 2, 2}, {1, 4, 9}}, 3.0);
    EXPECT_EQ(equal.solution.status, kLpNormMinimum);
    EXPECT_EQ(equal.solution.passes, 1);
    EXPECT_EQ(equal.x[0], 2.0);

    // l = 1 + 2 t: every factor has the exact fit as its minimiser.
    const WeightedProblem line{{{1, 0}, {1, 1}, {1, 2}, {1, 4}}, {1, 3, 5, 9}, {1, 2, 1, 3}};
    for (const double p : {1.1, 3.0, 50.0}) {
        const Solved solved = Solve(line, p);
        EXPECT_EQ(solved.solution.status, kLpNormMinimum) << p;
        EXPECT_NEAR(solved.x[0], 1.0, 1e-14) << p;
        EXPECT_NEAR(solved.x[1], 2.0, 1e-14) << p;
    }
}

TEST(LpNormSolver, SingularOrNonFiniteDataIsNotFinite)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const WeightedProblem cases[] = {
        {{{1, 0}, {1, 0}, {1, 0}}, {1, 2, 4}, {1, 1, 1}},   // a zero column
        {{{1, 2}, {2, 4}, {3, 6}}, {1, 2, 4}, {1, 1, 1}},   // dependent columns
        {{{1, 0}, {1, 1}, {1, 2}}, {1, nan, 4}, {1, 1, 1}}, // a NaN observation
    };
    for (const WeightedProblem& problem : cases) {
        const Solved solved = Solve(problem, 3.0);
        EXPECT_EQ(solved.solution.status, kLpNormNotFinite);
        EXPECT_EQ(solved.solution.passes, 1);
        EXPECT_FALSE(std::isfinite(solved.x[0]));
    }
}

// Residuals of 1e±150 to the 50th power lie far beyond double range; the
// scaled residuals keep the solution the same as for the unscaled data.
TEST(LpNormSolver, ExtremeScalesNeitherOverflowNorUnderflow)
{
    const Solved plain = Solve(StackLoss(), 50.0);
    for (const double scale : {1e150, 1e-150}) {
        WeightedProblem scaled = StackLoss();
        for (std::size_t i = 0; i < scaled.A.size(); ++i) {
            for (double& value : scaled.A[i])
                value *= scale;
            scaled.l[i] *= scale;
        }
        const Solved solved = Solve(scaled, 50.0);
        EXPECT_EQ(solved.solution.status, kLpNormMinimum) << scale;
        EXPECT_LE(LargestRelativeDifference(solved.x, Long(plain.x)), 1e-12) << scale;
    }
}

} // namespace
