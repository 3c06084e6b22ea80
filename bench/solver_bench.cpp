// The L1 solver (Barrodale-Roberts) and the Chebyshev solver on A = [1,
// normal columns] with 10% outliers.

#include "bench_data.h"

#include "core/chebyshev_solver.h"
#include "core/matrix.h"

#include <benchmark/benchmark.h>

namespace {

void BM_SolveL1(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const int u = static_cast<int>(state.range(1));
    const bench::Problem& problem = bench::SharedProblem(n, u);
    for (auto _ : state) {
        Matrix x(u, 1, 0.0);
        Matrix v(n, 1, 0.0);
        x.SolveL1(problem.A, problem.l, v);
        benchmark::DoNotOptimize(x.Data());
    }
    state.counters["solves/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The same problems with every right-hand side 0: every ratio of every
// ratio test ties, and the simplex takes many degenerate steps.
void BM_SolveL1ZeroRhs(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const int u = static_cast<int>(state.range(1));
    const bench::Problem& problem = bench::SharedProblem(n, u);
    const Matrix zeros(n, 1, 0.0);
    for (auto _ : state) {
        Matrix x(u, 1, 0.0);
        Matrix v(n, 1, 0.0);
        x.SolveL1(problem.A, zeros, v);
        benchmark::DoNotOptimize(x.Data());
    }
}

void BM_SolveChebyshev(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const int u = static_cast<int>(state.range(1));
    const bench::Problem& problem = bench::SharedProblem(n, u);
    int pivots = 0;
    for (auto _ : state) {
        Matrix x;
        Matrix v;
        const ChebyshevSolution solution = SolveChebyshev(problem.A, problem.l, x, v);
        if (solution.status != kChebyshevOptimal)
            state.SkipWithError("no optimum");
        pivots = solution.pivots;
    }
    state.counters["pivots"] = pivots;
    state.counters["solves/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_SolveL1)->Args({1000, 5})->Args({10000, 5})->Args({10000, 20})->Args({100000, 10})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SolveL1ZeroRhs)->Args({100000, 10})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SolveChebyshev)->Args({10000, 5})->Unit(benchmark::kMillisecond);
