#pragma once

// Problems for the benchmarks: A = [1, standard normal columns], unit
// weights, l = A x_true + standard normal noise, and 10% gross outliers
// (10 to 50 added with a random sign). Fixed seeds, so runs compare.

#include "core/matrix.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace bench {

struct Problem {
    Matrix A;
    Matrix l;
    Matrix weights; // n x 1
};

inline Problem MakeProblem(int n, int u, std::uint64_t seed = 12345)
{
    std::mt19937_64 generator(seed + static_cast<std::uint64_t>(n) * 31 + static_cast<std::uint64_t>(u));
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    Problem problem{Matrix(n, u, 0.0), Matrix(n, 1, 0.0), Matrix(n, 1, 1.0)};
    for (int i = 0; i < n; ++i) {
        double* row = problem.A[i];
        row[0] = 1.0;
        double value = 1.0;
        for (int k = 1; k < u; ++k) {
            row[k] = normal(generator);
            value += (1.0 + 0.1 * k) * row[k];
        }
        value += normal(generator);
        if (uniform(generator) < 0.1)
            value += (uniform(generator) < 0.5 ? -1.0 : 1.0) * (10.0 + 40.0 * uniform(generator));
        problem.l[i][0] = value;
    }
    return problem;
}

// A levelling network: u points, the first tied by a direct observation of
// its height, then n - 1 height differences between random pairs of points
// (design row +1 and -1), 2 mm noise, each value rounded to the millimetre,
// 5% blunders of 5 to 50 cm with a random sign. Unit weights.
inline Problem MakeNetwork(int u, int n, std::uint64_t seed = 2026)
{
    std::mt19937_64 generator(seed + static_cast<std::uint64_t>(n) * 31 + static_cast<std::uint64_t>(u));
    std::normal_distribution<double> noise(0.0, 0.002);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::uniform_int_distribution<int> point(0, u - 1);
    std::vector<double> height(static_cast<std::size_t>(u));
    for (double& h : height)
        h = 100.0 + 50.0 * uniform(generator);
    Problem problem{Matrix(n, u, 0.0), Matrix(n, 1, 0.0), Matrix(n, 1, 1.0)};
    const auto millimetres = [](double value) { return std::round(value * 1000.0) / 1000.0; };
    problem.A[0][0] = 1.0;
    problem.l[0][0] = millimetres(height[0]);
    for (int i = 1; i < n; ++i) {
        const int from = point(generator);
        int to = point(generator);
        while (u > 1 && to == from)
            to = point(generator);
        problem.A[i][to] = 1.0;
        problem.A[i][from] = -1.0;
        double value = height[static_cast<std::size_t>(to)] - height[static_cast<std::size_t>(from)] + noise(generator);
        if (uniform(generator) < 0.05)
            value += (uniform(generator) < 0.5 ? -1.0 : 1.0) * (0.05 + 0.45 * uniform(generator));
        problem.l[i][0] = millimetres(value);
    }
    return problem;
}

// The problem as a typed or edited input file holds it: every value
// rounded to the five decimals that such files carry (through the same
// text), so that the writer keeps the fixed form for all of them.
inline Problem Typed(const Problem& problem)
{
    Problem typed{problem.A, problem.l, problem.weights};
    for (Matrix* matrix : {&typed.A, &typed.l, &typed.weights})
        for (int i = 0; i < matrix->Rows(); ++i)
            for (int j = 0; j < matrix->Columns(); ++j) {
                char text[400];
                std::snprintf(text, sizeof text, "%.5f", (*matrix)(i, j));
                (*matrix)(i, j) = std::strtod(text, nullptr);
            }
    return typed;
}

// One problem per size for the whole benchmark run.
inline const Problem& SharedProblem(int n, int u)
{
    static std::map<std::pair<int, int>, Problem> problems;
    auto found = problems.find({n, u});
    if (found == problems.end())
        found = problems.emplace(std::make_pair(n, u), MakeProblem(n, u)).first;
    return found->second;
}

// A scratch directory for files, below $TMPDIR or /tmp.
inline std::string ScratchPath(const std::string& name)
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp != nullptr ? tmp : "/tmp") + "/tolvar_bench_" + name;
}

} // namespace bench
