// The L1 solver (Barrodale-Roberts) and the Chebyshev solver on A = [1,
// normal columns] with 10% outliers, and the L1 solver on levelling
// networks.

#include "bench_data.h"

#include "core/chebyshev_solver.h"
#include "core/l1_solver_internal.h"
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

// A levelling network of u points and n observations; the third argument 0
// updates every entry at each exchange step (the bits of the textbook
// method), 1 only those whose factors are both non-zero (the default).
void BM_SolveL1Network(benchmark::State& state)
{
    const int u = static_cast<int>(state.range(0));
    const int n = static_cast<int>(state.range(1));
    const bench::Problem problem = bench::Typed(bench::MakeNetwork(u, n));
    l1::Schedule schedule = l1::DefaultSchedule(n, u);
    schedule.skipZeros = state.range(2) != 0;
    for (auto _ : state) {
        Matrix x;
        Matrix v;
        l1::SolveL1(problem.A, problem.l, x, v, schedule);
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
BENCHMARK(BM_SolveL1Network)->Args({100, 4000, 1})->Args({200, 10000, 1})->Args({300, 20000, 1})
    ->Args({100, 4000, 0})->Args({200, 10000, 0})->Args({300, 20000, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SolveChebyshev)->Args({10000, 5})->Unit(benchmark::kMillisecond);
