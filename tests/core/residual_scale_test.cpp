// The robust scales that --scale mad and mad-each-pass multiply the tuning
// constant by.

#include "core/residual_scale.h"

#include "stack_loss.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

TEST(ResidualScale, MedianAbsoluteDeviationOverTheNormalQuantile)
{
    struct Case {
        std::vector<double> v;
        double mad; // median(|v - median(v)|), before the division
    };
    for (const Case& c : {Case{{1, 2, 3, 4, 100}, 1.0}, // odd count: the outlier does not move it
                          Case{{4, 1, 3, 2}, 1.0},      // even count: means of the middle pairs 2.5 and 1
                          Case{{-3, 5}, 4.0}, Case{{7}, 0.0}, Case{{2, 2, 2, 9}, 0.0}})
        EXPECT_EQ(MadScale(c.v), c.mad / 0.6745) << c.v.size();
    for (const std::vector<double>& bad : {std::vector<double>{}, {1, std::numeric_limits<double>::quiet_NaN()},
                                           {1, std::numeric_limits<double>::infinity()}})
        EXPECT_TRUE(std::isnan(MadScale(bad))) << bad.size();
}

// About 0: the signs do not count, an even count takes the mean of the middle
// pair, more than half zeros give 0; the scratch's old contents do not count.
TEST(ResidualScale, MedianAbsoluteValueOverTheNormalQuartile)
{
    struct Case {
        std::vector<double> v;
        double median; // median(|v|), before the division
    };
    std::vector<double> scratch = {1e300, 1e300, 1e300, 1e300, 1e300, 1e300, 1e300};
    for (const Case& c : {Case{{-1, 2, -3, 4, 100}, 3.0}, Case{{4, -1, 3, -2}, 2.5}, Case{{-7}, 7.0},
                          Case{{0, 0, -0.0, 5, -6}, 0.0}, Case{{0, 0, 5, 6}, 2.5}})
        EXPECT_EQ(MadAboutZero(c.v, scratch), c.median / 0.6744897501960817) << c.v.size();
    for (const std::vector<double>& bad : {std::vector<double>{}, {1, std::numeric_limits<double>::quiet_NaN()},
                                           {1, -std::numeric_limits<double>::infinity()}})
        EXPECT_TRUE(std::isnan(MadAboutZero(bad, scratch))) << bad.size();
}

// s is that of the residuals of the certified least-squares solution (ten
// digits). The residuals are those of the weighted system: weights 4 double
// every weighted residual (a power of 2 changes no rounding, so s doubles
// exactly); observations in millimetres instead of metres give 1000 s.
TEST(ResidualScale, LeastSquaresResidualsOfTheWeightedSystem)
{
    const test_support::StackLossProblem problem = test_support::ReadStackLoss();
    const double s = LeastSquaresMadScale(problem.A, problem.l, problem.weights);
    std::vector<double> certified;
    for (int i = 0; i < problem.A.Rows(); ++i) {
        double v = -problem.l(i, 0);
        for (int j = 0; j < 4; ++j)
            v += problem.A(i, j) * test_support::kStackLossLeastSquares[static_cast<std::size_t>(j)];
        certified.push_back(v);
    }
    EXPECT_NEAR(s, MadScale(certified), 1e-7);
    Matrix four = problem.weights;
    Matrix millimetres = problem.l;
    for (int i = 0; i < four.Rows(); ++i) {
        four(i, 0) = 4.0;
        millimetres(i, 0) *= 1000.0;
    }
    EXPECT_EQ(LeastSquaresMadScale(problem.A, problem.l, four), 2.0 * s);
    EXPECT_NEAR(LeastSquaresMadScale(problem.A, millimetres, problem.weights), 1000.0 * s, 1e-9 * s);
}

} // namespace
