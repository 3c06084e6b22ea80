// The robust scale that --scale mad multiplies the tuning constant by.

#include "core/residual_scale.h"

#include "stack_loss.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

using test_support::ReadStackLoss;
using test_support::StackLossProblem;

TEST(ResidualScale, MedianAbsoluteDeviationOverTheNormalQuantile)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        std::vector<double> v;
        double mad; // median(|v - median(v)|), before the division
    };
    for (const Case& c : {
             Case{{1, 2, 3, 4, 100}, 1.0},      // odd count: the outlier does not move it
             Case{{4, 1, 3, 2}, 1.0},           // even count: means of the middle pairs 2.5 and 1
             Case{{-3, 5}, 4.0},                // centre 1, deviations 4 and 4
             Case{{7}, 0.0},                    // one value
             Case{{2, 2, 2, 9}, 0.0},           // most residuals equal
             Case{{0.5, -0.5, 0.25, -0.25, 0.0}, 0.25},
         })
        EXPECT_EQ(MadScale(c.v), c.mad / 0.6745) << c.v.size();
    for (const std::vector<double>& bad : {std::vector<double>{}, std::vector<double>{1, nan, 3},
                                           std::vector<double>{1, std::numeric_limits<double>::infinity()}})
        EXPECT_TRUE(std::isnan(MadScale(bad))) << bad.size();
}

// The least-squares residuals of stack loss from the certified solution
// (ten digits, so the scale agrees to about 1e-8).
TEST(ResidualScale, LeastSquaresResidualsOfStackLoss)
{
    const StackLossProblem problem = ReadStackLoss();
    std::vector<double> residuals;
    for (int i = 0; i < problem.A.Rows(); ++i) {
        double v = -problem.l(i, 0);
        for (int j = 0; j < problem.A.Columns(); ++j)
            v += problem.A(i, j) * test_support::kStackLossLeastSquares[static_cast<std::size_t>(j)];
        residuals.push_back(v);
    }
    const double s = LeastSquaresMadScale(problem.A, problem.l, problem.weights);
    EXPECT_NEAR(s, MadScale(residuals), 1e-7);
    EXPECT_GT(s, 1.0);
}

// The residuals are those of the weighted system: weights 4 double every
// weighted residual (a power of 2 changes no rounding, so s doubles
// exactly); observations in millimetres instead of metres give 1000 s.
TEST(ResidualScale, FollowsTheWeightsAndTheUnits)
{
    StackLossProblem problem = ReadStackLoss();
    const double s = LeastSquaresMadScale(problem.A, problem.l, problem.weights);
    Matrix four = problem.weights;
    for (int i = 0; i < four.Rows(); ++i)
        four(i, 0) = 4.0;
    EXPECT_EQ(LeastSquaresMadScale(problem.A, problem.l, four), 2.0 * s);
    Matrix millimetres = problem.l;
    for (int i = 0; i < millimetres.Rows(); ++i)
        millimetres(i, 0) *= 1000.0;
    EXPECT_NEAR(LeastSquaresMadScale(problem.A, millimetres, problem.weights), 1000.0 * s, 1e-9 * s);
}

} // namespace
