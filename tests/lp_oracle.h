#pragma once

// Independent reference for the Lp tests on small problems: the minimiser
// of F(x) = sum_i |sqrt(w_i) (a_i x - l_i)|^p found by plain Newton's method
// in long double on F itself, unscaled, with the exact Hessian
// p (p-1) sum_i w_i^(p/2) |v_i|^(p-2) a_i a_i^T, solved by Gaussian
// elimination with partial pivoting. Each step is halved until F falls; a
// step that no halving makes lower F (rounding near the minimum) is taken
// whole. Starts from weighted least squares; ends when a step changes no
// unknown by more than 1e-18 of the largest, or after 200 steps.

#include "minimax_oracle.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace test_support {

using LongVector = std::vector<long double>;

struct WeightedProblem {
    Rows A;
    std::vector<double> l;
    std::vector<double> w;
};

// A quadratic trend in t with noise, every fifth observation an outlier of
// 8 to 12, weights from 0.25 to 4; raw generator output only, so the data
// are the same with every standard library.
inline WeightedProblem WeightsAndOutliers()
{
    std::mt19937 generator(20240611);
    const auto uniform = [&generator] { return generator() / 4294967296.0; };
    WeightedProblem problem;
    for (int i = 0; i < 30; ++i) {
        const double t = -1.0 + i / 14.5;
        problem.A.push_back({1.0, t, t * t});
        double l = 2.0 + 3.0 * t - 1.5 * t * t + 0.4 * (uniform() - 0.5);
        if (i % 5 == 2)
            l += (i % 10 == 2 ? 1.0 : -1.0) * (8.0 + 4.0 * uniform());
        problem.l.push_back(l);
        problem.w.push_back(0.25 * std::pow(2.0, std::floor(5.0 * uniform())));
    }
    return problem;
}

inline long double Residual(const WeightedProblem& problem, std::size_t i, const LongVector& x)
{
    long double sum = -static_cast<long double>(problem.l[i]);
    for (std::size_t k = 0; k < x.size(); ++k)
        sum += static_cast<long double>(problem.A[i][k]) * x[k];
    return sum;
}

inline long double LpObjective(const WeightedProblem& problem, const LongVector& x, long double p)
{
    long double sum = 0.0L;
    for (std::size_t i = 0; i < problem.A.size(); ++i)
        sum += std::pow(static_cast<long double>(problem.w[i]), p / 2) * std::pow(std::fabs(Residual(problem, i, x)), p);
    return sum;
}

// Solves the u x (u + 1) augmented system (no pivot is too small).
inline LongVector SolveAugmented(std::vector<LongVector> m)
{
    LongVector d;
    SolveAugmentedInPlace(m, 0.0L, d);
    return d;
}

// The Newton step (or, for leastSquares, the step to the weighted
// least-squares solution) from x.
inline LongVector OracleStep(const WeightedProblem& problem, const LongVector& x, long double p, bool leastSquares)
{
    const std::size_t u = x.size();
    std::vector<LongVector> m(u, LongVector(u + 1, 0.0L));
    long double largest = 0.0L;
    for (std::size_t i = 0; i < problem.A.size(); ++i)
        largest = std::max(largest, std::fabs(Residual(problem, i, x)));
    for (std::size_t i = 0; i < problem.A.size(); ++i) {
        const long double v = Residual(problem, i, x);
        const long double w = problem.w[i];
        const long double size = std::max(std::fabs(v), 1e-30L * largest);
        const long double h = leastSquares ? w : std::pow(w, p / 2) * p * (p - 1) * std::pow(size, p - 2);
        const long double g = leastSquares ? w * v : std::pow(w, p / 2) * p * std::copysign(std::pow(std::fabs(v), p - 1), v);
        for (std::size_t j = 0; j < u; ++j) {
            for (std::size_t k = 0; k < u; ++k)
                m[j][k] += h * problem.A[i][j] * problem.A[i][k];
            m[j][u] -= g * problem.A[i][j];
        }
    }
    return SolveAugmented(m);
}

inline LongVector LpOracle(const WeightedProblem& problem, long double p)
{
    LongVector x(problem.A.front().size(), 0.0L);
    const LongVector start = OracleStep(problem, x, p, true);
    x = start;
    for (int iteration = 0; iteration < 200; ++iteration) {
        const LongVector d = OracleStep(problem, x, p, false);
        const long double before = LpObjective(problem, x, p);
        long double t = 1.0L;
        LongVector trial = x;
        for (int halving = 0; halving < 60; ++halving, t /= 2) {
            for (std::size_t k = 0; k < x.size(); ++k)
                trial[k] = x[k] + t * d[k];
            if (LpObjective(problem, trial, p) < before)
                break;
        }
        if (!(LpObjective(problem, trial, p) < before))
            for (std::size_t k = 0; k < x.size(); ++k)
                trial[k] = x[k] + d[k];
        x = trial;
        long double change = 0.0L;
        long double size = 0.0L;
        for (std::size_t k = 0; k < x.size(); ++k) {
            change = std::max(change, std::fabs(d[k]));
            size = std::max(size, std::fabs(x[k]));
        }
        if (change <= 1e-18L * size)
            break;
    }
    return x;
}

} // namespace test_support
