// SolveL1 on regression problems of the kind robust fitting meets: A is a
// column of ones and N - 1 standard-normal columns, b = A beta + standard
// normal noise, and one observation in ten carries a gross error.
// Targets on a 2-core machine: (M, N) = (1e4, 5) within 0.077 s,
// (1e4, 20) within 0.24 s, (1e5, 10) within 11 s.

#include "core/matrix.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

struct RegressionProblem {
    Matrix A;
    Matrix b;
};

RegressionProblem MakeProblem(int m, int n)
{
    std::mt19937_64 random(static_cast<unsigned>(m * 31 + n));
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform;
    RegressionProblem p{Matrix(m, n, 1.0), Matrix(m, 1, 0.0)};
    for (int i = 0; i < m; ++i) {
        double value = 0.5 + normal(random);
        for (int j = 1; j < n; ++j) {
            p.A(i, j) = normal(random);
            value += (j + 1) * p.A(i, j);
        }
        if (uniform(random) < 0.1)
            value += 20.0 + 10.0 * normal(random);
        p.b(i, 0) = value;
    }
    return p;
}

void BM_SolveL1(benchmark::State& state)
{
    const RegressionProblem p = MakeProblem(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        Matrix x(1, 1, 0.0);
        Matrix residuals(1, 1, 0.0);
        x.SolveL1(p.A, p.b, residuals);
        benchmark::DoNotOptimize(x(0, 0));
    }
}

BENCHMARK(BM_SolveL1)
    ->Args({10000, 5})
    ->Args({10000, 20})
    ->Args({100000, 10})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
