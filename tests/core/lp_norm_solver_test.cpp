#include "core/lp_norm_solver.h"

#include "core/irls_pass.h"
#include "normex/lp_oracle.h"
#include "normex/report_reader.h"

#include <gtest/gtest.h>

#include "test_support.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using test_support::Column;
using test_support::FromRows;
using testutil::LongVector;
using testutil::WeightedProblem;

// Certified stack loss solutions (R, scipy/HiGHS, exact rationals; shared data notes).
const double kLeastSquares[4] = {-39.91967442, 0.7156402005, 1.295286124, -0.1521225191};
const double kMinimax[4] = {-112887.0 / 4154.0, 1198.0 / 2077.0, 3860.0 / 2077.0, -699.0 / 2077.0};

const double kFactors[] = {1.1, 1.5, 3.0, 4.0, 10.0, 24.0, 25.1, 50.0};

WeightedProblem StackLoss()
{
    return {testutil::StackLossDesign(), testutil::StackLossObservations(), std::vector<double>(21, 1.0)};
}

struct Solved {
    LpNormSolution solution;
    std::vector<double> x;
    std::vector<std::vector<double>> accepted; // every point the run accepted, the last included
};

Solved Solve(const WeightedProblem& problem, double p, int maxPasses = 1000)
{
    const int n = static_cast<int>(problem.A.size());
    const int u = static_cast<int>(problem.A.front().size());
    Matrix Abar(n, u, 0.0);
    Matrix lbar(n, 1, 0.0);
    FormWeightedSystem(FromRows(problem.A), Column(problem.l), Column(problem.w), Abar, lbar);
    Solved solved;
    Matrix x;
    Matrix residuals;
    solved.solution = SolveLpNorm(Abar, lbar, p, maxPasses, x, residuals, [&](int pass, const std::vector<double>& at) {
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
    } problems[] = {{"stack loss", StackLoss()}, {"weights and outliers", testutil::WeightsAndOutliers()}};
    for (const auto& [name, problem] : problems) {
        for (const double p : kFactors) {
            SCOPED_TRACE(std::string(name) + ", p = " + std::to_string(p));
            const Solved solved = Solve(problem, p);
            EXPECT_EQ(solved.solution.status, kLpNormMinimum);
            EXPECT_LE(solved.solution.passes, 30);
            const LongVector reference = testutil::LpOracle(problem, p);
            EXPECT_LE(LargestRelativeDifference(solved.x, reference), 1e-6);
            EXPECT_LE(testutil::LpObjective(problem, Long(solved.x), p), testutil::LpObjective(problem, reference, p) *
                                                                              (1.0L + 1e-12L));
            // F never rises from one accepted point to the next (beyond rounding).
            for (std::size_t k = 1; k < solved.accepted.size(); ++k) {
                const LongVector before = Long(solved.accepted[k - 1]);
                EXPECT_LE(testutil::LpObjective(problem, Long(solved.accepted[k]), p),
                          testutil::LpObjective(problem, before, p) * (1.0L + 1e-15L))
                    << "accepted point " << k;
            }
        }
    }
}

// The Lp solutions move towards the Chebyshev solution as p grows, and a
// factor just above 24 gives nearly the solution of 24: no jumps.
TEST(LpNormSolver, ApproachesTheChebyshevSolutionAsTheFactorGrows)
{
    const LongVector chebyshev(kMinimax, kMinimax + 4);
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
        EXPECT_NEAR(leastSquares.x[k], kLeastSquares[k], 1e-8 * std::fabs(kLeastSquares[k]));

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
