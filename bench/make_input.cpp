// Writes a benchmark problem as an input file, for timing whole runs of
// tolvar-cli and the peer programs on the same data:
//     tolvar_make_input N U FILE.EIN
// A = [1, standard normal columns], unit weights, 10% gross outliers,
// every value with five decimals as in a typed file.

#include "bench_data.h"

#include "io/input_file.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: tolvar_make_input N U FILE.EIN\n");
        return 2;
    }
    const int n = std::atoi(argv[1]);
    const int u = std::atoi(argv[2]);
    if (n < 1 || u < 1) {
        std::fprintf(stderr, "N and U must be positive\n");
        return 2;
    }
    const bench::Problem problem = bench::Typed(bench::MakeProblem(n, u));
    if (WriteInputFile(argv[3], problem.A, problem.l, problem.weights) != 0) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
