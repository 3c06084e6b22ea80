#pragma once

// The loops of a reweighting pass, compiled once per instruction set (one
// source file each, with its own target flags) and chosen at run time. Every
// variant performs the same IEEE operations in the same order, without
// contraction into fused multiply-add, so all give the same bits; they differ
// only in how many entries they keep in vector registers at once.
//
// These files include no standard header with inline functions: an inline
// function compiled for AVX-512 in one of them could be the copy the linker
// keeps for the whole program.

#include <cstddef>

// The weights w[i] = w(v[i]) of count residuals; may run on several threads
// at once.
using WeighFunction = void (*)(const void* context, const double* v, double* w, std::size_t count);

// One sweep over the observations [first, last), chunkRows at a time. For
// each chunk, in this order:
// 1. If x is given: the residuals v(i) = (sum over j ascending from 0.0 of
//    Abar(i, j) * x(j)) - lbar(i) into residuals and, if weigh is given, the
//    new weights w(v(i)) into weights. With weightsReady, the sweep then
//    tells in it up to which observation the weights are stored. Else, with
//    awaitWeights, it waits until weightsReady tells that the chunk's
//    weights are stored in weights by another thread's sweep, and takes them.
// 2. If aBegin < aEnd: the chunk's observations added to the rows
//    [aBegin, aEnd) of the extended normal matrix [N | rhs]:
//      sums(a, b) += (Abar(i, a) * w(i)) * e(i, b),  e(i) = (Abar(i, 0..u-1), lbar(i)),
//    continuing from what the buffer holds (0.0 for a new pass).
struct PassJob {
    const double* Abar; // n x u, row-major
    const double* lbar; // n
    std::size_t n;
    std::size_t u;
    std::size_t first;
    std::size_t last;
    std::size_t chunkRows;

    const double* givenWeights; // n, the weights when x is null
    const double* x;            // u, or null
    WeighFunction weigh;
    const void* weighContext;
    double* residuals;         // n
    double* weights;           // n
    std::size_t* weightsReady; // shared by the threads of one pass, or null
    bool awaitWeights;

    std::size_t aBegin;
    std::size_t aEnd;
    double* sums;      // (aEnd - aBegin) x width: row a at sums + (a - aBegin) * width
    std::size_t width; // u + 1 rounded up to a multiple of the variant's lanes
    // The chunk's extended rows (chunkRows x width) and weighted rows
    // (chunkRows x weightedStride, aEnd - aBegin rounded up to the lanes).
    double* extendedRows;
    double* weightedRows;
    std::size_t weightedStride;
};

// The redundancy numbers of the observations [first, last):
//   r(i) = 1 - w(i) * h(i),  h(i) = sum over j ascending from 0.0 of z(j) * z(j),
//   z(j) = sum over k = 0 .. j ascending from 0.0 of T(j, k) * Abar(i, k),
// with T lower triangular; r(i) = 1 where w(i) = 0. Each observation is
// summed alone in this order, whichever lane of a vector it is given.
struct RedundancyJob {
    const double* Abar; // n x u, row-major
    std::size_t n;
    std::size_t u;
    const double* T;       // u x u, row-major
    const double* weights; // n, or null: all 1
    double* r;             // n
    std::size_t first;
    std::size_t last;
    // Scratch for the columns of one group of observations: u rounded up
    // to the lanes, times the variant's groupRows.
    double* columns;
};

struct IrlsKernels {
    const char* name;
    std::size_t lanes; // doubles in one vector register
    void (*sweep)(const PassJob& job);
    std::size_t groupRows; // observations a redundancy sweep takes at a time
    // False when an r(i) is not finite.
    bool (*redundancy)(const RedundancyJob& job);
};

// The variants; the x86-64 ones exist only in x86-64 builds.
namespace irls_kernels_portable {
extern const IrlsKernels kKernels;
}
namespace irls_kernels_avx2 {
extern const IrlsKernels kKernels;
}
namespace irls_kernels_avx512 {
extern const IrlsKernels kKernels;
}
