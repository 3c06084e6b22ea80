// Reading and writing .EIN files of the writer's layout. The target for
// reading is at least 150 MB/s for the three passes together.

#include "io/input_file.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <sys/stat.h>

namespace {

struct Problem {
    Matrix designMatrix;
    Matrix observations;
    Matrix weightVector;
};

// Random values of a few magnitudes, as a real problem has them.
Problem RandomProblem(int n, int u)
{
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> value(-1000.0, 1000.0);
    Problem problem{Matrix(n, u, 0.0), Matrix(n, 1, 0.0), Matrix(n, 1, 0.0)};
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < u; ++j)
            problem.designMatrix(i, j) = value(random);
        problem.observations(i, 0) = value(random);
        problem.weightVector(i, 0) = 1.0 + std::abs(value(random));
    }
    return problem;
}

// Observations in a file of about 100 MB: a design line takes 16 bytes per
// unknown and a CR LF, an observation line 34 bytes.
int ObservationsFor100MB(int unknowns)
{
    return 100000000 / (16 * unknowns + 2 + 34);
}

std::string BenchPath()
{
    return "/tmp/tolvar_input_file_bench_" + std::to_string(getpid()) + ".EIN";
}

long long FileSize(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? static_cast<long long>(status.st_size) : 0;
}

void BM_ReadInputFile100MB(benchmark::State& state)
{
    const int unknowns = static_cast<int>(state.range(0));
    const std::string path = BenchPath();
    {
        const Problem problem = RandomProblem(ObservationsFor100MB(unknowns), unknowns);
        if (WriteInputFile(path, problem.designMatrix, problem.observations, problem.weightVector) != 0) {
            state.SkipWithError("cannot write the benchmark file");
            return;
        }
    }
    for (auto _ : state) {
        Matrix designMatrix, observations, weightVector;
        const int result = ReadInputFileWeightVector(path, designMatrix, observations, weightVector);
        benchmark::DoNotOptimize(result);
        if (result != 0)
            state.SkipWithError("the benchmark file was not read");
    }
    state.SetBytesProcessed(state.iterations() * FileSize(path));
    std::remove(path.c_str());
}
BENCHMARK(BM_ReadInputFile100MB)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteInputFile100MB(benchmark::State& state)
{
    const int unknowns = static_cast<int>(state.range(0));
    const std::string path = BenchPath();
    const Problem problem = RandomProblem(ObservationsFor100MB(unknowns), unknowns);
    for (auto _ : state) {
        const int result = WriteInputFile(path, problem.designMatrix, problem.observations, problem.weightVector);
        benchmark::DoNotOptimize(result);
        if (result != 0)
            state.SkipWithError("cannot write the benchmark file");
    }
    state.SetBytesProcessed(state.iterations() * FileSize(path));
    std::remove(path.c_str());
}
BENCHMARK(BM_WriteInputFile100MB)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
