// The Lp solver (Newton's method) for factors 3 and 10 against one
// least-squares solve of the same problem (factor 2: one pass), on
// A = [1, normal columns] with 10% outliers.

#include "bench_data.h"

#include "core/lp_norm_solver.h"

#include <benchmark/benchmark.h>

namespace {

void BM_LpNorm(benchmark::State& state, double p)
{
    const int n = static_cast<int>(state.range(0));
    const int u = static_cast<int>(state.range(1));
    const bench::Problem& problem = bench::SharedProblem(n, u);
    int passes = 0;
    for (auto _ : state) {
        Matrix x;
        Matrix v;
        const LpNormSolution solution = SolveLpNorm(problem.A, problem.l, p, 1000, x, v);
        if (solution.status != kLpNormMinimum)
            state.SkipWithError("minimiser not reached");
        passes = solution.passes;
        benchmark::DoNotOptimize(x.Data());
    }
    state.counters["passes"] = passes;
    state.counters["passes/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * passes, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK_CAPTURE(BM_LpNorm, least_squares, 2.0)->Args({100000, 10})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LpNorm, p3, 3.0)->Args({100000, 10})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LpNorm, p10, 10.0)->Args({100000, 10})->Unit(benchmark::kMillisecond);
