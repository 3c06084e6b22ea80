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

// Sums of the rows [aBegin, aEnd) of the extended normal matrix
// [N | rhs] over every observation i, ascending:
//   sums(a, b) += (Abar(i, a) * w(i)) * e(i, b),  e(i) = (Abar(i, 0..u-1), lbar(i)).
// The sums continue from what the buffer holds (0.0 for a new pass).
struct NormalSumsJob {
    const double* Abar; // n x u, row-major
    const double* w;    // n
    const double* lbar; // n
    std::size_t n;
    std::size_t u;
    std::size_t aBegin;
    std::size_t aEnd;
    double* sums;      // (aEnd - aBegin) x width: row a at sums + (a - aBegin) * width
    std::size_t width; // u + 1 rounded up to a multiple of the variant's lanes
    // Scratch for chunkRows observations at a time: the extended rows
    // (chunkRows x width) and the weighted rows (chunkRows x weightedStride,
    // aEnd - aBegin rounded up to a multiple of the lanes).
    std::size_t chunkRows;
    double* extendedRows;
    double* weightedRows;
    std::size_t weightedStride;
};

struct IrlsKernels {
    const char* name;
    std::size_t lanes; // doubles in one vector register
    void (*sumNormalRows)(const NormalSumsJob& job);
    // v(i) = (sum over j ascending from 0.0 of Abar(i, j) * x(j)) - lbar(i)
    // for the observations [first, last).
    void (*residuals)(const double* Abar, const double* x, const double* lbar, double* v, std::size_t first,
                      std::size_t last, std::size_t u);
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
