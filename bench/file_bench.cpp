// Reading and writing an input file of about 100 MB, and writing the
// report of n = 1e6 observations. Throughput in file bytes per second.

#include "bench_data.h"

#include "core/estimator.h"
#include "core/report.h"
#include "core/report_file.h"
#include "io/input_file.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

namespace {

// 500,000 observations of 10 unknowns make an input file of about 100 MB.
constexpr int kFileObservations = 500000;
constexpr int kFileUnknowns = 10;

double FileBytes(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0.0 : static_cast<double>(size);
}

// Arg 0: values with five decimals, as typed files hold them (the fixed
// form throughout); 1: full double precision (the shortest exact form).
void BM_WriteInputFile(benchmark::State& state)
{
    static const bench::Problem typed = bench::Typed(bench::SharedProblem(kFileObservations, kFileUnknowns));
    const bench::Problem& problem =
        state.range(0) == 0 ? typed : bench::SharedProblem(kFileObservations, kFileUnknowns);
    const std::string path = bench::ScratchPath("write.EIN");
    for (auto _ : state) {
        if (WriteInputFile(path, problem.A, problem.l, problem.weights) != 0)
            state.SkipWithError("writing failed");
    }
    const double bytes = FileBytes(path);
    state.counters["file MB"] = bytes / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
    std::remove(path.c_str());
}

// All three passes of the reader over the file, weights as a vector.
void BM_ReadInputFile(benchmark::State& state)
{
    const bench::Problem problem = bench::Typed(bench::SharedProblem(kFileObservations, kFileUnknowns));
    const std::string path = bench::ScratchPath("read.EIN");
    if (WriteInputFile(path, problem.A, problem.l, problem.weights) != 0) {
        state.SkipWithError("writing the file failed");
        return;
    }
    for (auto _ : state) {
        Matrix A;
        Matrix l;
        Matrix weights;
        if (ReadInputFileWeightVector(path, A, l, weights) != 0)
            state.SkipWithError("reading failed");
        benchmark::DoNotOptimize(A.Data());
    }
    const double bytes = FileBytes(path);
    state.counters["file MB"] = bytes / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
    std::remove(path.c_str());
}

// Both stretches of the report for n = 1e6, u = 10, to a file on disk.
void BM_WriteReport(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const int u = static_cast<int>(state.range(1));
    const bench::Problem& problem = bench::SharedProblem(n, u);
    const Matrix x(u, 1, 1.25);
    const Matrix v(n, 1, -0.5);
    const std::string path = bench::ScratchPath("report.AUS");
    for (auto _ : state) {
        ReportFile file;
        if (!file.Open(path)) {
            state.SkipWithError("cannot create the report");
            break;
        }
        WriteReportHead(file, problem.A, problem.l, problem.weights, kMethodHuber, 1.5, 0.0);
        WriteReportResults(file, kMethodHuber, 12, x, problem.l, v);
        if (!file.Close())
            state.SkipWithError("writing failed");
    }
    const double bytes = FileBytes(path);
    state.counters["file MB"] = bytes / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
    std::remove(path.c_str());
}

} // namespace

BENCHMARK(BM_WriteInputFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ReadInputFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_WriteReport)->Args({1000000, 10})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
