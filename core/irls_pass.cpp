#include "core/irls_pass.h"

#include "core/irls_kernels.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <system_error>
#include <thread>

namespace {

// Observations packed at a time: their extended and weighted rows stay in
// the first-level cache while every register tile passes over them.
constexpr std::size_t kChunkBytes = 24 * 1024;
constexpr std::size_t kMinChunkRows = 16;
constexpr std::size_t kMaxChunkRows = 256;

// Below about a millisecond of work a thread costs more than it saves.
constexpr double kThreadWork = 4e6;
constexpr int kMaxThreads = 8;

std::size_t RoundUp(std::size_t value, std::size_t multiple)
{
    return (value + multiple - 1) / multiple * multiple;
}

// Runs part(0) .. part(parts - 1), all but the first on threads of their
// own; a thread that cannot be started leaves its part to this one.
template <class Part>
void RunParts(int parts, const Part& part)
{
    std::vector<std::thread> helpers;
    std::vector<int> leftOver;
    helpers.reserve(static_cast<std::size_t>(parts));
    leftOver.reserve(static_cast<std::size_t>(parts));
    for (int k = 1; k < parts; ++k) {
        try {
            helpers.emplace_back(part, k);
        } catch (const std::system_error&) {
            leftOver.push_back(k);
        }
    }
    part(0);
    for (int k : leftOver)
        part(k);
    for (std::thread& helper : helpers)
        helper.join();
}

// One thread's share of the normal equations: rows [aBegin, aEnd) of the
// extended normal matrix, with its own sums and scratch.
struct NormalSumsPart {
    std::vector<double> sums;
    std::vector<double> extendedRows;
    std::vector<double> weightedRows;
    NormalSumsJob job;
};

NormalSumsPart MakePart(const Matrix& Abar, const std::vector<double>& w, const std::vector<double>& lbar,
                        std::size_t aBegin, std::size_t aEnd, std::size_t width, std::size_t lanes)
{
    const std::size_t rowsOfSums = aEnd - aBegin;
    const std::size_t weightedStride = RoundUp(rowsOfSums, lanes);
    const std::size_t chunkRows =
        std::clamp(kChunkBytes / (sizeof(double) * (width + weightedStride)), kMinChunkRows, kMaxChunkRows);
    NormalSumsPart part{std::vector<double>(rowsOfSums * width, 0.0), std::vector<double>(chunkRows * width, 0.0),
                        std::vector<double>(chunkRows * weightedStride, 0.0), {}};
    part.job = NormalSumsJob{Abar.Data(),
                             w.data(),
                             lbar.data(),
                             static_cast<std::size_t>(Abar.Rows()),
                             static_cast<std::size_t>(Abar.Columns()),
                             aBegin,
                             aEnd,
                             part.sums.data(),
                             width,
                             chunkRows,
                             part.extendedRows.data(),
                             part.weightedRows.data(),
                             weightedStride};
    return part;
}

} // namespace

std::vector<const IrlsKernels*> SupportedIrlsKernels()
{
    std::vector<const IrlsKernels*> variants;
#if defined(TOLVAR_X86_KERNELS)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl"))
        variants.push_back(&irls_kernels_avx512::kKernels);
    if (__builtin_cpu_supports("avx2"))
        variants.push_back(&irls_kernels_avx2::kKernels);
#endif
    variants.push_back(&irls_kernels_portable::kKernels);
    return variants;
}

const IrlsKernels& FastestIrlsKernels()
{
    static const IrlsKernels& chosen = *SupportedIrlsKernels().front();
    return chosen;
}

int PassThreads(double multiplyAdds, int maxThreads)
{
    if (multiplyAdds < kThreadWork)
        return 1;
    const int available = static_cast<int>(std::thread::hardware_concurrency());
    return std::max(1, std::min({available, maxThreads, kMaxThreads}));
}

NormalEquations FormNormalEquations(const Matrix& Abar, const std::vector<double>& w, const std::vector<double>& lbar)
{
    const double n = Abar.Rows();
    const double u = Abar.Columns();
    return FormNormalEquations(Abar, w, lbar, FastestIrlsKernels(), PassThreads(n * u * (u + 1), Abar.Columns()));
}

NormalEquations FormNormalEquations(const Matrix& Abar, const std::vector<double>& w, const std::vector<double>& lbar,
                                    const IrlsKernels& kernels, int threads)
{
    const std::size_t u = static_cast<std::size_t>(Abar.Columns());
    // u x u elements beyond what a vector can count are storage not obtained.
    if (u > 0 && u + 1 > std::vector<double>().max_size() / (u + kernels.lanes))
        throw std::bad_alloc();
    const std::size_t width = RoundUp(u + 1, kernels.lanes);
    const std::size_t parts = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), 1,
                                                      std::max<std::size_t>(u, 1));
    std::vector<NormalSumsPart> shares;
    shares.reserve(parts);
    for (std::size_t k = 0; k < parts; ++k)
        shares.push_back(MakePart(Abar, w, lbar, u * k / parts, u * (k + 1) / parts, width, kernels.lanes));
    RunParts(static_cast<int>(parts), [&](int k) { kernels.sumNormalRows(shares[static_cast<std::size_t>(k)].job); });

    NormalEquations equations{std::vector<double>(u * u), std::vector<double>(u)};
    for (const NormalSumsPart& share : shares) {
        for (std::size_t a = share.job.aBegin; a < share.job.aEnd; ++a) {
            const double* sums = share.sums.data() + (a - share.job.aBegin) * width;
            std::copy(sums, sums + u, equations.matrix.begin() + static_cast<std::ptrdiff_t>(a * u));
            equations.rightHandSide[a] = sums[u];
        }
    }
    return equations;
}

Matrix SolveNormalEquations(const NormalEquations& equations, int u)
{
    Matrix N(u, u, 0.0);
    Matrix rhs(u, 1, 0.0);
    for (int a = 0; a < u; ++a) {
        for (int b = 0; b < u; ++b)
            N(a, b) = equations.matrix[static_cast<std::size_t>(a) * static_cast<std::size_t>(u) + b];
        rhs(a, 0) = equations.rightHandSide[static_cast<std::size_t>(a)];
    }
    N.Invert();
    Matrix x = N * rhs;
    if (!x.IsValid())
        throw std::bad_alloc();
    return x;
}

void ComputeResiduals(const double* Abar, const double* x, const double* lbar, double* v, int n, int u)
{
    ComputeResiduals(Abar, x, lbar, v, n, u, FastestIrlsKernels(), PassThreads(double(n) * u, kMaxThreads));
}

void ComputeResiduals(const double* Abar, const double* x, const double* lbar, double* v, int n, int u,
                      const IrlsKernels& kernels, int threads)
{
    const std::size_t rows = static_cast<std::size_t>(std::max(n, 0));
    const std::size_t parts = static_cast<std::size_t>(std::max(threads, 1));
    RunParts(static_cast<int>(parts), [&](int k) {
        const std::size_t part = static_cast<std::size_t>(k);
        kernels.residuals(Abar, x, lbar, v, rows * part / parts, rows * (part + 1) / parts,
                          static_cast<std::size_t>(std::max(u, 0)));
    });
}
