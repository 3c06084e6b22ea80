#pragma once

// The loops of core/irls_kernels.h written once for any vector width. Each
// core/irls_kernels_*.cpp includes this file and instantiates MakeKernels
// under its own target flags; everything here has internal linkage, so no
// two instruction sets ever share a compiled function.

#include "core/irls_kernels.h"
#include "core/spin_wait.h"

#include <cstddef>

namespace {

template <std::size_t Lanes>
struct VectorOf {
    typedef double Type __attribute__((vector_size(Lanes * sizeof(double))));
};

template <std::size_t Lanes>
using Vector = typename VectorOf<Lanes>::Type;

template <std::size_t Lanes>
inline Vector<Lanes> LoadVector(const double* source)
{
    Vector<Lanes> value;
    __builtin_memcpy(&value, source, sizeof value);
    return value;
}

template <std::size_t Lanes>
inline void StoreVector(double* target, const Vector<Lanes>& value)
{
    __builtin_memcpy(target, &value, sizeof value);
}

using TileFunction = void (*)(double* sums, std::size_t width, const double* weighted, std::size_t weightedStride,
                              const double* extended, std::size_t rows);

// A register tile: TileRows rows of the sums by TileVectors vectors of
// columns, held in registers while rows observations are added to them one
// after the other. Each entry gets exactly one product per observation, in
// the order of the observations, as the dense product sums it.
template <std::size_t Lanes, std::size_t TileRows, std::size_t TileVectors>
void SumTile(double* sums, std::size_t width, const double* weighted, std::size_t weightedStride,
             const double* extended, std::size_t rows)
{
    Vector<Lanes> tile[TileRows][TileVectors];
#pragma GCC unroll 16
    for (std::size_t a = 0; a < TileRows; ++a)
#pragma GCC unroll 16
        for (std::size_t k = 0; k < TileVectors; ++k)
            tile[a][k] = LoadVector<Lanes>(sums + a * width + k * Lanes);
    for (std::size_t i = 0; i < rows; ++i) {
        Vector<Lanes> row[TileVectors];
#pragma GCC unroll 16
        for (std::size_t k = 0; k < TileVectors; ++k)
            row[k] = LoadVector<Lanes>(extended + i * width + k * Lanes);
#pragma GCC unroll 16
        for (std::size_t a = 0; a < TileRows; ++a) {
            const double factor = weighted[i * weightedStride + a];
#pragma GCC unroll 16
            for (std::size_t k = 0; k < TileVectors; ++k)
                tile[a][k] += factor * row[k];
        }
    }
#pragma GCC unroll 16
    for (std::size_t a = 0; a < TileRows; ++a)
#pragma GCC unroll 16
        for (std::size_t k = 0; k < TileVectors; ++k)
            StoreVector<Lanes>(sums + a * width + k * Lanes, tile[a][k]);
}

// Every tile shape up to MaxRows x MaxVectors: shapes[r - 1][k - 1] is r x k.
template <std::size_t Lanes, std::size_t MaxRows, std::size_t MaxVectors>
struct TileShapes {
    TileFunction shapes[MaxRows][MaxVectors] = {};

    template <std::size_t Rows, std::size_t Vectors>
    constexpr void Fill()
    {
        shapes[Rows - 1][Vectors - 1] = &SumTile<Lanes, Rows, Vectors>;
        if constexpr (Vectors < MaxVectors)
            Fill<Rows, Vectors + 1>();
        else if constexpr (Rows < MaxRows)
            Fill<Rows + 1, 1>();
    }

    constexpr TileShapes() { Fill<1, 1>(); }
};

// Start of block k when total items are cut into blocks of sizes that
// differ by at most one.
inline std::size_t BlockStart(std::size_t total, std::size_t blocks, std::size_t k)
{
    return total * k / blocks;
}

// Copies observations [first, first + rows) into the chunk's extended rows
// (Abar row, then lbar) and weighted rows (Abar(i, a) * w(i) for the job's
// a). Whole vectors are moved wherever Abar goes on far enough: the lanes
// past a row's end land in padding columns, whose sums are never read.
template <std::size_t Lanes>
void PackChunk(const PassJob& job, std::size_t first, std::size_t rows, const double* weights)
{
    // The job's fields in locals: the stores below could alias them as far
    // as the compiler knows, and would make it load them again every time.
    const std::size_t u = job.u;
    const std::size_t width = job.width;
    const std::size_t aBegin = job.aBegin;
    const std::size_t rowsOfSums = job.aEnd - aBegin;
    const std::size_t weightedStride = job.weightedStride;
    const double* const Abar = job.Abar;
    const double* const lbar = job.lbar;
    const double* const end = Abar + job.n * u;
    double* const extendedRows = job.extendedRows;
    double* const weightedRows = job.weightedRows;
    for (std::size_t r = 0; r < rows; ++r) {
        const double* source = Abar + (first + r) * u;
        double* extended = extendedRows + r * width;
        if (width <= static_cast<std::size_t>(end - source)) {
            for (std::size_t k = 0; k < width; k += Lanes)
                StoreVector<Lanes>(extended + k, LoadVector<Lanes>(source + k));
        } else {
            for (std::size_t j = 0; j < u; ++j)
                extended[j] = source[j];
        }
        extended[u] = lbar[first + r];
        const double weight = weights[r];
        const double* factors = source + aBegin;
        double* weighted = weightedRows + r * weightedStride;
        if (weightedStride <= static_cast<std::size_t>(end - factors)) {
            for (std::size_t k = 0; k < weightedStride; k += Lanes)
                StoreVector<Lanes>(weighted + k, LoadVector<Lanes>(factors + k) * weight);
        } else {
            for (std::size_t a = 0; a < rowsOfSums; ++a)
                weighted[a] = factors[a] * weight;
        }
    }
}

// Every tile of the job's rows of the sums over one packed chunk.
template <std::size_t Lanes, std::size_t MaxRows, std::size_t MaxVectors>
void SumChunk(const PassJob& job, std::size_t rows)
{
    static constexpr TileShapes<Lanes, MaxRows, MaxVectors> kTiles;
    const std::size_t rowsOfSums = job.aEnd - job.aBegin;
    const std::size_t width = job.width;
    const std::size_t vectors = width / Lanes;
    const std::size_t rowBlocks = (rowsOfSums + MaxRows - 1) / MaxRows;
    const std::size_t vectorBlocks = (vectors + MaxVectors - 1) / MaxVectors;
    double* const sums = job.sums;
    const double* const weightedRows = job.weightedRows;
    const double* const extendedRows = job.extendedRows;
    const std::size_t weightedStride = job.weightedStride;
    for (std::size_t rb = 0; rb < rowBlocks; ++rb) {
        const std::size_t a0 = BlockStart(rowsOfSums, rowBlocks, rb);
        const std::size_t a1 = BlockStart(rowsOfSums, rowBlocks, rb + 1);
        for (std::size_t vb = 0; vb < vectorBlocks; ++vb) {
            const std::size_t k0 = BlockStart(vectors, vectorBlocks, vb);
            const std::size_t k1 = BlockStart(vectors, vectorBlocks, vb + 1);
            kTiles.shapes[a1 - a0 - 1][k1 - k0 - 1](sums + a0 * width + k0 * Lanes, width, weightedRows + a0,
                                                     weightedStride, extendedRows + k0 * Lanes, rows);
        }
    }
}

// v(r) = Abar row r . x - lbar(r) for count rows, eight at a time, so that
// eight independent sums are in flight while each adds its products over j
// in order.
inline void Residuals(const double* Abar, const double* x, const double* lbar, double* v, std::size_t count,
                      std::size_t u)
{
    constexpr std::size_t kRows = 8;
    std::size_t i = 0;
    for (; i + kRows <= count; i += kRows) {
        const double* rows = Abar + i * u;
        double sums[kRows] = {};
        for (std::size_t j = 0; j < u; ++j) {
            const double xj = x[j];
#pragma GCC unroll 8
            for (std::size_t r = 0; r < kRows; ++r)
                sums[r] += rows[r * u + j] * xj;
        }
#pragma GCC unroll 8
        for (std::size_t r = 0; r < kRows; ++r)
            v[i + r] = sums[r] - lbar[i + r];
    }
    for (; i < count; ++i) {
        const double* row = Abar + i * u;
        double sum = 0.0;
        for (std::size_t j = 0; j < u; ++j)
            sum += row[j] * x[j];
        v[i] = sum - lbar[i];
    }
}

// Until another thread's sweep has stored the weights of the observations
// before end; that sweep is a chunk ahead at most.
inline void AwaitWeights(const std::size_t* ready, std::size_t end)
{
    for (int round = 0; __atomic_load_n(ready, __ATOMIC_ACQUIRE) < end; ++round)
        WaitRound(round);
}

// The chunks of the job in order; for each the residuals and weights, then
// the sums (see PassJob).
template <std::size_t Lanes, std::size_t MaxRows, std::size_t MaxVectors>
void Sweep(const PassJob& job)
{
    const bool sums = job.aBegin < job.aEnd;
    for (std::size_t first = job.first; first < job.last; first += job.chunkRows) {
        const std::size_t rows = job.last - first < job.chunkRows ? job.last - first : job.chunkRows;
        const double* weights = job.givenWeights != nullptr ? job.givenWeights + first : nullptr;
        if (job.x != nullptr) {
            double* const residuals = job.residuals + first;
            Residuals(job.Abar + first * job.u, job.x, job.lbar + first, residuals, rows, job.u);
            if (job.weigh != nullptr) {
                double* const newWeights = job.weights + first;
                job.weigh(job.weighContext, residuals, newWeights, rows);
                weights = newWeights;
            }
            if (job.weightsReady != nullptr)
                __atomic_store_n(job.weightsReady, first + rows, __ATOMIC_RELEASE);
        } else if (job.awaitWeights) {
            AwaitWeights(job.weightsReady, first + rows);
            weights = job.weights + first;
        }
        if (sums) {
            PackChunk<Lanes>(job, first, rows, weights);
            SumChunk<Lanes, MaxRows, MaxVectors>(job, rows);
        }
    }
}

// rows[l] lane k becomes rows[k] lane l.
template <std::size_t Lanes>
inline void Transpose(Vector<Lanes> (&rows)[Lanes])
{
    static_assert(Lanes == 2 || Lanes == 4, "transposes are written for 2 and 4 lanes");
    if constexpr (Lanes == 2) {
        const Vector<2> low = __builtin_shufflevector(rows[0], rows[1], 0, 2);
        rows[1] = __builtin_shufflevector(rows[0], rows[1], 1, 3);
        rows[0] = low;
    } else {
        const Vector<4> even01 = __builtin_shufflevector(rows[0], rows[1], 0, 4, 2, 6);
        const Vector<4> odd01 = __builtin_shufflevector(rows[0], rows[1], 1, 5, 3, 7);
        const Vector<4> even23 = __builtin_shufflevector(rows[2], rows[3], 0, 4, 2, 6);
        const Vector<4> odd23 = __builtin_shufflevector(rows[2], rows[3], 1, 5, 3, 7);
        rows[0] = __builtin_shufflevector(even01, even23, 0, 1, 4, 5);
        rows[1] = __builtin_shufflevector(odd01, odd23, 0, 1, 4, 5);
        rows[2] = __builtin_shufflevector(even01, even23, 2, 3, 6, 7);
        rows[3] = __builtin_shufflevector(odd01, odd23, 2, 3, 6, 7);
    }
}

// The columns of the Lanes rows from Abar row first on, Lanes columns at a
// time: column k's lanes at columns + k * stride. Whole vectors are read
// wherever Abar goes on far enough; the lanes past a row's end land in
// columns from u on, which are never read.
template <std::size_t Lanes>
void TransposeRows(const RedundancyJob& job, std::size_t first, double* columns, std::size_t stride)
{
    const std::size_t u = job.u;
    const double* const rows = job.Abar + first * u;
    const std::size_t left = static_cast<std::size_t>(job.Abar + job.n * u - rows);
    for (std::size_t k0 = 0; k0 < u; k0 += Lanes) {
        Vector<Lanes> block[Lanes];
        if ((Lanes - 1) * u + k0 + Lanes <= left) {
            for (std::size_t l = 0; l < Lanes; ++l)
                block[l] = LoadVector<Lanes>(rows + l * u + k0);
        } else {
            for (std::size_t l = 0; l < Lanes; ++l) {
                double values[Lanes];
                for (std::size_t k = 0; k < Lanes; ++k)
                    values[k] = k0 + k < u ? rows[l * u + k0 + k] : 0.0;
                block[l] = LoadVector<Lanes>(values);
            }
        }
        Transpose<Lanes>(block);
        for (std::size_t k = 0; k < Lanes; ++k)
            StoreVector<Lanes>(columns + (k0 + k) * stride, block[k]);
    }
}

// r = 1 - w h of one observation alone, in the order of RedundancyJob.
inline double RedundancyOfRow(const double* T, const double* a, std::size_t u, double w)
{
    double h = 0.0;
    for (std::size_t j = 0; j < u; ++j) {
        const double* row = T + j * u;
        double z = 0.0;
        for (std::size_t k = 0; k <= j; ++k)
            z += row[k] * a[k];
        h += z * z;
    }
    return w == 0.0 ? 1.0 : 1.0 - w * h;
}

// Blocks vectors of observations at a time, one observation a lane: their
// columns are transposed into the scratch, then every product of T is
// broadcast against them. r - r is 0 for a finite r and NaN otherwise, so
// the sum of them tells whether every r was finite.
template <std::size_t Lanes, std::size_t Blocks>
bool RedundancySweep(const RedundancyJob& job)
{
    constexpr std::size_t kGroup = Lanes * Blocks;
    const std::size_t u = job.u;
    const double* const T = job.T;
    const double* const weights = job.weights;
    double* const r = job.r;
    double* const columns = job.columns;
    const Vector<Lanes> one = Vector<Lanes>{} + 1.0;
    Vector<Lanes> check = {};
    std::size_t i = job.first;
    for (; i + kGroup <= job.last; i += kGroup) {
        for (std::size_t b = 0; b < Blocks; ++b)
            TransposeRows<Lanes>(job, i + b * Lanes, columns + b * Lanes, kGroup);
        Vector<Lanes> h[Blocks] = {};
        for (std::size_t j = 0; j < u; ++j) {
            const double* row = T + j * u;
            Vector<Lanes> z[Blocks] = {};
            for (std::size_t k = 0; k <= j; ++k) {
                const double t = row[k];
#pragma GCC unroll 8
                for (std::size_t b = 0; b < Blocks; ++b)
                    z[b] += t * LoadVector<Lanes>(columns + k * kGroup + b * Lanes);
            }
#pragma GCC unroll 8
            for (std::size_t b = 0; b < Blocks; ++b)
                h[b] += z[b] * z[b];
        }
#pragma GCC unroll 8
        for (std::size_t b = 0; b < Blocks; ++b) {
            const Vector<Lanes> w = weights != nullptr ? LoadVector<Lanes>(weights + i + b * Lanes) : one;
            const Vector<Lanes> value = w == 0.0 ? one : one - w * h[b];
            StoreVector<Lanes>(r + i + b * Lanes, value);
            check += value - value;
        }
    }
    double finite = 0.0;
    for (std::size_t l = 0; l < Lanes; ++l)
        finite += check[l];
    for (; i < job.last; ++i) {
        r[i] = RedundancyOfRow(T, job.Abar + i * u, u, weights != nullptr ? weights[i] : 1.0);
        finite += r[i] - r[i];
    }
    return finite == 0.0;
}

// Tiles up to MaxRows x MaxVectors fit the register file with room for one
// row of vectors and the broadcast factor.
// Blocks vectors of observations keep 2 Blocks vectors of sums in registers.
template <std::size_t Lanes, std::size_t MaxRows, std::size_t MaxVectors, std::size_t Blocks>
constexpr IrlsKernels MakeKernels(const char* name)
{
    return IrlsKernels{name, Lanes, &Sweep<Lanes, MaxRows, MaxVectors>, Lanes * Blocks,
                       &RedundancySweep<Lanes, Blocks>};
}

} // namespace
