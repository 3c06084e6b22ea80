// Writes a benchmark problem as an input file, for timing whole runs of
// tolvar-cli and the peer programs on the same data:
//     tolvar_make_input N U FILE.EIN
//     tolvar_make_input N U FILE.bin   (A row by row, then l: little-endian doubles)
//     tolvar_make_input network U N FILE.EIN|FILE.bin   (a levelling network)
// A = [1, standard normal columns], unit weights, 10% gross outliers; the
// same problem the benchmarks make for N and U, every value with five
// decimals as in a typed file (the peers read exactly what Tolvar reads).

#include "bench_data.h"

#include "io/input_file.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

bool WriteBinary(const char* path, const bench::Problem& problem)
{
    std::ofstream out(path, std::ios::binary);
    const auto bytes = [](const Matrix& m) {
        return static_cast<std::streamsize>(sizeof(double)) * m.Rows() * m.Columns();
    };
    out.write(reinterpret_cast<const char*>(problem.A.Data()), bytes(problem.A));
    out.write(reinterpret_cast<const char*>(problem.l.Data()), bytes(problem.l));
    return static_cast<bool>(out.flush());
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const bool network = argc == 5 && std::string(argv[1]) == "network";
    if (argc != 4 && !network) {
        std::fprintf(stderr, "usage: tolvar_make_input N U FILE.EIN|FILE.bin\n"
                             "       tolvar_make_input network U N FILE.EIN|FILE.bin\n");
        return 2;
    }
    const int n = std::atoi(argv[network ? 3 : 1]);
    const int u = std::atoi(argv[2]);
    if (n < 1 || u < 1 || (network && n < u)) {
        std::fprintf(stderr, "N and U must be positive (N at least U for a network)\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    const bench::Problem problem = bench::Typed(network ? bench::MakeNetwork(u, n) : bench::MakeProblem(n, u));
    const bool written = EndsWith(path, ".bin") ? WriteBinary(path, problem)
                                                : WriteInputFile(path, problem.A, problem.l, problem.weights) == 0;
    if (!written) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return 1;
    }
    return 0;
}
