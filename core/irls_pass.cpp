#include "core/irls_pass.h"

#include "core/block_team.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

namespace {

// Observations packed at a time: their extended and weighted rows stay in
// the first-level cache while every register tile passes over them.
constexpr std::size_t kChunkBytes = 24 * 1024;
constexpr std::size_t kMinChunkRows = 16;
constexpr std::size_t kMaxChunkRows = 256;
// A sweep without sums only streams the rows once.
constexpr std::size_t kStreamChunkRows = 1024;

// Below about a millisecond of work a thread costs more than it saves.
constexpr double kThreadWork = 4e6;
constexpr int kMaxThreads = 8;
// With fewer columns of sums per observation a pass waits for memory, not
// for arithmetic: a second thread sweeping the same rows only slows both.
constexpr std::size_t kThreadColumns = 16;

std::size_t RoundUp(std::size_t value, std::size_t multiple)
{
    return (value + multiple - 1) / multiple * multiple;
}

int Threads(double work, int maxThreads)
{
    if (work < kThreadWork)
        return 1;
    const int available = static_cast<int>(std::thread::hardware_concurrency());
    return std::max(1, std::min({available, maxThreads, kMaxThreads}));
}

int SumThreads(const Matrix& Abar)
{
    const std::size_t u = static_cast<std::size_t>(Abar.Columns());
    if (u + 1 < kThreadColumns)
        return 1;
    const double n = Abar.Rows();
    return Threads(n * static_cast<double>(u) * static_cast<double>(u + 1), Abar.Columns());
}

// Runs part(0) .. part(parts - 1), all but the first on threads of their
// own; a thread that cannot be started leaves its part to this one.
template <class Part>
void RunParts(std::size_t parts, const Part& part)
{
    std::vector<std::thread> helpers;
    std::vector<std::size_t> leftOver;
    helpers.reserve(parts);
    leftOver.reserve(parts);
    for (std::size_t k = 1; k < parts; ++k) {
        try {
            helpers.emplace_back(part, k);
        } catch (const std::system_error&) {
            leftOver.push_back(k);
        }
    }
    part(0);
    for (std::size_t k : leftOver)
        part(k);
    for (std::thread& helper : helpers)
        helper.join();
}

// One thread's job and the storage it points into.
struct PassPart {
    PassJob job{};
    std::vector<double> sums;
    std::vector<double> extendedRows;
    std::vector<double> weightedRows;
};

PassJob SweepOver(const Matrix& Abar, std::span<const double> lbar)
{
    PassJob job{};
    job.Abar = Abar.Data();
    job.lbar = lbar.data();
    job.n = static_cast<std::size_t>(Abar.Rows());
    job.u = static_cast<std::size_t>(Abar.Columns());
    job.last = job.n;
    job.chunkRows = kStreamChunkRows;
    return job;
}

// Gives the part the rows [aBegin, aEnd) of the sums and their scratch.
void AddSums(PassPart& part, std::size_t aBegin, std::size_t aEnd, std::size_t width, std::size_t lanes)
{
    const std::size_t rowsOfSums = aEnd - aBegin;
    const std::size_t weightedStride = RoundUp(rowsOfSums, lanes);
    const std::size_t chunkRows =
        std::clamp(kChunkBytes / (sizeof(double) * (width + weightedStride)), kMinChunkRows, kMaxChunkRows);
    part.sums.assign(rowsOfSums * width, 0.0);
    part.extendedRows.assign(chunkRows * width, 0.0);
    part.weightedRows.assign(chunkRows * weightedStride, 0.0);
    PassJob& job = part.job;
    job.chunkRows = chunkRows;
    job.aBegin = aBegin;
    job.aEnd = aEnd;
    job.sums = part.sums.data();
    job.width = width;
    job.extendedRows = part.extendedRows.data();
    job.weightedRows = part.weightedRows.data();
    job.weightedStride = weightedStride;
}

// The rows of N that part k of parts sums, [first, last): with residuals
// to compute, the first part computes them all and sums fewer rows, so that
// every part has about as much to do. A residual's product costs about as
// much as kResidualProductCost products of the sums (scalar additions in
// order against whole vectors).
constexpr std::size_t kResidualProductCost = 18;

std::pair<std::size_t, std::size_t> RowsOfPart(std::size_t u, std::size_t width, std::size_t parts, std::size_t k,
                                               bool residuals)
{
    if (!residuals || parts == 1)
        return {u * k / parts, u * (k + 1) / parts};
    // In products per observation: the rows' sums, and the residual's.
    const std::size_t residual = u * kResidualProductCost;
    const std::size_t share = (u * width + residual) / parts;
    const std::size_t firstRows = share > residual ? std::min(u, (share - residual) / width) : 0;
    if (k == 0)
        return {0, firstRows};
    const std::size_t rest = u - firstRows;
    return {firstRows + rest * (k - 1) / (parts - 1), firstRows + rest * k / (parts - 1)};
}

// The sweep with the rows of N split between the threads. The first thread
// computes and keeps the residuals and weights; the others take the
// weights from it chunk by chunk.
NormalEquations SumSweep(const PassJob& sweep, const IrlsKernels& kernels, int threads)
{
    const std::size_t u = sweep.u;
    // Sums beyond what a vector can count are storage not obtained.
    if (u > 0 && u + 1 > std::vector<double>().max_size() / (u + kernels.lanes))
        throw std::bad_alloc();
    const std::size_t width = RoundUp(u + 1, kernels.lanes);
    const std::size_t parts = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), 1,
                                                      std::max<std::size_t>(u, 1));
    const bool residuals = sweep.x != nullptr;
    const bool shareWeights = residuals && sweep.weigh != nullptr && parts > 1;
    alignas(64) std::size_t weightsReady = sweep.first;
    std::vector<PassPart> shares(parts);
    for (std::size_t k = 0; k < parts; ++k) {
        PassJob& job = shares[k].job;
        job = sweep;
        if (k > 0) {
            job.x = nullptr; // the weights come from the first part, or are given
            job.awaitWeights = shareWeights;
        }
        job.weightsReady = shareWeights ? &weightsReady : nullptr;
        const auto [aBegin, aEnd] = RowsOfPart(u, width, parts, k, residuals);
        AddSums(shares[k], aBegin, aEnd, width, kernels.lanes);
    }
    // The first part runs first where threads are missing: it never waits.
    RunParts(parts, [&](std::size_t k) { kernels.sweep(shares[k].job); });

    NormalEquations equations{std::vector<double>(u * u), std::vector<double>(u)};
    for (const PassPart& share : shares) {
        for (std::size_t a = share.job.aBegin; a < share.job.aEnd; ++a) {
            const double* sums = share.sums.data() + (a - share.job.aBegin) * width;
            std::copy(sums, sums + u, equations.matrix.begin() + static_cast<std::ptrdiff_t>(a * u));
            equations.rightHandSide[a] = sums[u];
        }
    }
    return equations;
}

// The sweep with the observations split between the threads.
void StreamSweep(const PassJob& sweep, const IrlsKernels& kernels, int threads)
{
    const std::size_t parts = static_cast<std::size_t>(std::max(threads, 1));
    RunParts(parts, [&](std::size_t k) {
        PassJob job = sweep;
        job.first = sweep.n * k / parts;
        job.last = sweep.n * (k + 1) / parts;
        kernels.sweep(job);
    });
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

const IrlsKernels& ChooseIrlsKernels(const char* requested)
{
    const std::vector<const IrlsKernels*> variants = SupportedIrlsKernels();
    if (requested != nullptr)
        for (const IrlsKernels* variant : variants)
            if (std::strcmp(variant->name, requested) == 0)
                return *variant;
    return *variants.front();
}

// Forcing a variant lets one machine check and time every path it runs.
const IrlsKernels& FastestIrlsKernels()
{
    static const IrlsKernels& chosen = ChooseIrlsKernels(std::getenv("TOLVAR_KERNELS"));
    return chosen;
}

NormalEquations FormNormalEquations(const Matrix& Abar, const std::vector<double>& w, std::span<const double> lbar)
{
    return FormNormalEquations(Abar, w, lbar, FastestIrlsKernels(), SumThreads(Abar));
}

NormalEquations FormNormalEquations(const Matrix& Abar, const std::vector<double>& w, std::span<const double> lbar,
                                    const IrlsKernels& kernels, int threads)
{
    PassJob sweep = SweepOver(Abar, lbar);
    sweep.givenWeights = w.data();
    return SumSweep(sweep, kernels, threads);
}

Matrix SolveNormalEquations(const NormalEquations& equations, int u, Matrix* inverse)
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
    if (inverse != nullptr)
        *inverse = std::move(N);
    return x;
}

NormalEquations SweepPass(const Matrix& Abar, std::span<const double> lbar, const double* x, double* v,
                          std::vector<double>& w, const Reweighting& reweighting, bool formNext)
{
    const int threads = formNext ? SumThreads(Abar) : Threads(double(Abar.Rows()) * Abar.Columns(), kMaxThreads);
    return SweepPass(Abar, lbar, x, v, w, reweighting, formNext, FastestIrlsKernels(), threads);
}

NormalEquations SweepPass(const Matrix& Abar, std::span<const double> lbar, const double* x, double* v,
                          std::vector<double>& w, const Reweighting& reweighting, bool formNext,
                          const IrlsKernels& kernels, int threads)
{
    PassJob sweep = SweepOver(Abar, lbar);
    sweep.x = x;
    sweep.weigh = reweighting.weigh;
    sweep.weighContext = reweighting.context;
    sweep.residuals = v;
    sweep.weights = w.data();
    if (formNext)
        return SumSweep(sweep, kernels, threads);
    StreamSweep(sweep, kernels, threads);
    return {};
}

void ComputeResiduals(const double* Abar, const double* x, const double* lbar, double* v, int n, int u)
{
    const std::size_t width = static_cast<std::size_t>(u);
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
        const double* row = Abar + i * width;
        double sum = 0.0;
        for (int j = 0; j < u; ++j)
            sum += row[j] * x[j];
        v[i] = sum - lbar[i];
    }
}

bool ComputeRedundancyNumbers(const Matrix& Abar, const std::vector<double>& w, const std::vector<double>& T,
                              std::vector<double>& r)
{
    const double u = Abar.Columns();
    return ComputeRedundancyNumbers(Abar, w, T, r, FastestIrlsKernels(),
                                    Threads(double(Abar.Rows()) * u * (u + 1.0) / 2.0, kMaxThreads));
}

// Observations a block of the redundancy numbers takes: many groups, and
// enough blocks that a helper that starts late leaves few to wait for. The
// scratch of each block makes their number bounded.
constexpr std::size_t kRedundancyBlockRows = 8192;
constexpr std::size_t kMaxRedundancyBlocks = 256;

// The blocks of observations shared by the caller and a helper that
// claims them as it can (with threads > 1): on a busy machine the caller
// does not wait for a helper that has not started. Every observation is
// summed alone, so who takes which block does not change a bit.
bool ComputeRedundancyNumbers(const Matrix& Abar, const std::vector<double>& w, const std::vector<double>& T,
                              std::vector<double>& r, const IrlsKernels& kernels, int threads)
{
    const std::size_t n = static_cast<std::size_t>(Abar.Rows());
    const std::size_t u = static_cast<std::size_t>(Abar.Columns());
    r.resize(n);
    const std::size_t blocks = std::clamp<std::size_t>((n + kRedundancyBlockRows - 1) / kRedundancyBlockRows, 1,
                                                       kMaxRedundancyBlocks);
    std::vector<char> finite(blocks, 0);
    // Scratch for each block, so that no thread allocates.
    const std::size_t scratch = RoundUp(u, kernels.lanes) * kernels.groupRows;
    std::vector<double> columns(blocks * scratch);
    BlockTeam team(threads > 1 && blocks > 1);
    team.Run(static_cast<int>(blocks), [&](int block) {
        const std::size_t k = static_cast<std::size_t>(block);
        RedundancyJob job{};
        job.Abar = Abar.Data();
        job.n = n;
        job.u = u;
        job.T = T.data();
        job.weights = w.empty() ? nullptr : w.data();
        job.r = r.data();
        job.first = n * k / blocks;
        job.last = n * (k + 1) / blocks;
        job.columns = columns.data() + k * scratch;
        finite[k] = kernels.redundancy(job) ? 1 : 0;
    });
    return std::find(finite.begin(), finite.end(), 0) == finite.end();
}
