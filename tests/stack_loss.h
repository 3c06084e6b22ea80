#pragma once

// Brownlee's stack loss data (1965, as in R's datasets::stackloss), read
// from examples/stackloss.EIN: 21 observations, rows (1, Air.Flow,
// Water.Temp, Acid.Conc.), observation stack.loss, weight 1. With its
// independently computed solutions: each value was obtained by at least two
// routes (R quantreg 5.94 and MASS 7.3-58, scipy/HiGHS, statsmodels 0.13.5,
// exact rational arithmetic) that agree to the digits shown.

#include "core/methods.h"
#include "io/input_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace test_support {

inline std::string StackLossFile()
{
    return ExampleFile("stackloss.EIN");
}

// The problem with the weights as an n x 1 vector.
struct StackLossProblem {
    Matrix A;
    Matrix l;
    Matrix weights;
};

inline StackLossProblem ReadStackLoss()
{
    StackLossProblem problem;
    EXPECT_EQ(ReadInputFileWeightVector(StackLossFile(), problem.A, problem.l, problem.weights), 0);
    return problem;
}

// L1 norm: the unique optimal vertex (zero residuals at observations 2, 8,
// 16, 18), exact rationals.
inline const std::vector<double> kStackLossL1 = {-13693.0 / 345.0, 287.0 / 345.0, 66.0 / 115.0, -7.0 / 115.0};
inline constexpr double kStackLossL1Sum = 14518.0 / 345.0; // sum |v|

// Chebyshev (minimax) norm, exact rationals.
inline const std::vector<double> kStackLossMinimax = {-112887.0 / 4154.0, 1198.0 / 2077.0, 3860.0 / 2077.0,
                                                       -699.0 / 2077.0};
inline constexpr double kStackLossMinimaxValue = 19705.0 / 4154.0; // max |v|

// Least squares.
inline const std::vector<double> kStackLossLeastSquares = {-39.91967442, 0.7156402005, 1.295286124, -0.1521225191};

// The eight M-estimators with a fixed tuning constant c and scale 1: the
// fixed point of the reweighting started from least squares, computed to
// |dx| < 1e-13 by an independent implementation (Cauchy, Fair, Logistic and
// Welsch confirmed by direct minimisation of sum rho(v), Huber convex and
// unique). Andrews, Biweight and Talwar are redescending: their values are
// the stationary point reached from least squares.
struct StackLossFixedPoint {
    int methodCode;
    double tuningConstant;
    std::vector<double> x;
};

inline const std::vector<StackLossFixedPoint> kStackLossFixedPoints = {
    {kMethodAndrews, 0.5, {-39.173315738, 0.853201776455, 0.43833921123, -0.0505506167143}},
    {kMethodBiweight, 4.685, {-37.020522532082232, 0.82264505303082192, 0.50759548246911523, -0.073785204686686701}},
    {kMethodCauchy, 2.385, {-38.4562612116, 0.84918848384, 0.599164661577, -0.0950706463655}},
    {kMethodFair, 1.4, {-38.9981734048, 0.820857612169, 0.80697817466, -0.11823177891}},
    {kMethodHuber, 1.5, {-38.580776680338197, 0.835018346544526, 0.7044972281830203, -0.10892539555336646}},
    {kMethodLogistic, 1.205, {-38.7475235764, 0.831021775398, 0.711095049195, -0.105644244211}},
    {kMethodTalwar, 2.795, {-37.6524589008, 0.797685560066, 0.577340457393, -0.0670601768984}},
    {kMethodWelsch, 2.985, {-37.2521293397, 0.830060071626, 0.506861611271, -0.0757151967905}},
};

inline const StackLossFixedPoint& StackLossFixedPointOf(int methodCode)
{
    for (const StackLossFixedPoint& point : kStackLossFixedPoints)
        if (point.methodCode == methodCode)
            return point;
    return kStackLossFixedPoints.front();
}

} // namespace test_support
