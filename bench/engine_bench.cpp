// One reweighting pass and a whole Huber run (c = 1.5, scale fixed at 1,
// the engine's definition) on A = [1, normal columns] with 10% outliers;
// the tests of the observations after such a run.

#include "bench_data.h"

#include "core/estimator.h"
#include "core/irls_pass.h"
#include "core/observation_tests.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr double kHuberC = 1.5;

void WeighHuber(const void*, const double* v, double* w, std::size_t count)
{
    MethodWeights(kMethodHuber, v, w, count, kHuberC, 0.0);
}

// Pass k of the engine: the solution of its normal equations, then one
// sweep for the residuals, the Huber weights (c = 1.5) and the normal
// equations of pass k + 1.
void BM_IrlsPass(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const int u = static_cast<int>(state.range(1));
    const bench::Problem& problem = bench::SharedProblem(n, u);
    std::vector<double> w(static_cast<std::size_t>(n), 1.0);
    std::vector<double> lbar(problem.l.Data(), problem.l.Data() + n);
    std::vector<double> v(static_cast<std::size_t>(n));
    NormalEquations equations = FormNormalEquations(problem.A, w, lbar);
    for (auto _ : state) {
        const Matrix x = SolveNormalEquations(equations, u);
        equations = SweepPass(problem.A, lbar, x.Data(), v.data(), w, Reweighting{&WeighHuber, nullptr}, true);
        benchmark::DoNotOptimize(w.data());
    }
    // The instruction set of the pass loops ($TOLVAR_KERNELS may force one).
    state.SetLabel(FastestIrlsKernels().name);
    state.counters["passes/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * n * (u + 2) * 8.0 / 1e6,
                                                benchmark::Counter::kIsRate);
}

// Counts the passes the engine announces.
class PassCounter : public IStatusWindow {
public:
    void Show() override {}
    void SetText(const std::string&) override { ++passes; }
    void Hide() override {}
    long passes = 0;
};

// The engine's whole run: report head, weighted system, passes until
// max |dx| < 1e-5, results. The report goes to /dev/null, so its
// formatting counts but no disk does. With scaleEachPass every pass first
// takes the median of the residuals (--scale mad-each-pass).
void HuberRun(benchmark::State& state, bool scaleEachPass)
{
    const int n = static_cast<int>(state.range(0));
    const int u = static_cast<int>(state.range(1));
    const bench::Problem& problem = bench::SharedProblem(n, u);
    PassCounter counter;
    for (auto _ : state) {
        CEstimator engine(&counter);
        engine.SetOutputFile("/dev/null");
        engine.TuningConstant = kHuberC;
        engine.ScaleEachPass = scaleEachPass;
        const int result = engine.RunWithWeightVector(problem.A, problem.l, problem.weights, kMethodHuber, 0.0, 1000,
                                                      1e-5);
        if (result != kRunSuccess)
            state.SkipWithError("the engine did not succeed");
    }
    state.counters["passes/run"] = static_cast<double>(counter.passes) / static_cast<double>(state.iterations());
    state.counters["passes/s"] = benchmark::Counter(static_cast<double>(counter.passes), benchmark::Counter::kIsRate);
}

void BM_HuberRun(benchmark::State& state)
{
    HuberRun(state, false);
}

void BM_HuberRunScaleEachPass(benchmark::State& state)
{
    HuberRun(state, true);
}

// The tests after a Huber pass: the redundancy numbers from the pass's Q
// (argument 0: M-estimators and least squares) or from N formed and
// factored anew (1: L1, Lp, Chebyshev, or a run ended by the pass limit),
// then every figure of TestObservations. Their parts alone: 2, the
// redundancy numbers from the pass's Q; 3, TestObservations.
void BM_ObservationTests(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const int u = static_cast<int>(state.range(1));
    const bool formN = state.range(2) == 1;
    const bool redundancy = state.range(2) != 3;
    const bool tests = state.range(2) != 2;
    const bench::Problem& problem = bench::SharedProblem(n, u);
    std::vector<double> w(static_cast<std::size_t>(n), 1.0);
    std::vector<double> lbar(problem.l.Data(), problem.l.Data() + n);
    AdjustmentResults results;
    results.corrections = Matrix(n, 1, 0.0);
    const NormalEquations first = FormNormalEquations(problem.A, w, lbar);
    results.unknowns = SolveNormalEquations(first, u);
    const NormalEquations equations = SweepPass(problem.A, lbar, results.unknowns.Data(), results.corrections.Data(),
                                                w, Reweighting{&WeighHuber, nullptr}, true);
    Matrix Q;
    results.unknowns = SolveNormalEquations(equations, u, &Q);
    results.observed = problem.l;
    results.weights = Matrix(n, 1, 1.0);
    results.robustWeights = w;
    SetPrecision(results, &Q);
    results.redundancy = ComputeRedundancy(problem.A, lbar, w, &Q, TestWeights::kRobust);
    for (auto _ : state) {
        if (redundancy)
            results.redundancy = ComputeRedundancy(problem.A, lbar, w, formN ? nullptr : &Q, TestWeights::kRobust);
        if (tests)
            results.tests = TestObservations(results, TestSettings(), true);
        benchmark::DoNotOptimize(results.redundancy->r.data());
    }
}

void TestSizes(benchmark::internal::Benchmark* b)
{
    b->Args({1000000, 10, 0})->Args({1000000, 10, 1})->Args({1000000, 10, 2})->Args({1000000, 10, 3});
    b->Args({100000, 50, 0});
    b->Unit(benchmark::kMillisecond);
}

void EngineSizes(benchmark::internal::Benchmark* b)
{
    b->Args({10000, 10})->Args({100000, 10})->Args({1000000, 10})->Args({100000, 50});
    b->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_IrlsPass)->Apply(EngineSizes)->MinTime(1.0);
BENCHMARK(BM_HuberRun)->Apply(EngineSizes)->Iterations(3);
BENCHMARK(BM_HuberRunScaleEachPass)->Apply(EngineSizes)->Iterations(3);
BENCHMARK(BM_ObservationTests)->Apply(TestSizes)->MinTime(1.0);
