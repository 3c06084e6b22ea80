#pragma once

#include "core/irls_kernels.h"
#include "core/matrix.h"

#include <span>
#include <vector>

// The reweighting passes without any n x n matrix. Every element is summed
// over the observations in ascending order starting from 0.0, exactly as the
// dense products (transpose(Abar) * W) * Abar, (transpose(Abar) * W) * lbar
// and Abar * x - lbar sum them: the other terms of the dense products are
// products with the zero off-diagonal of W and cannot change a finite sum.
// So the results are bit-identical to the dense order for finite data,
// whatever the instruction set and the number of threads: a thread takes
// whole entries (rows of N, or observations), never part of a sum.

// The weighted system's normal equations of one pass.
struct NormalEquations {
    std::vector<double> matrix; // u x u, row-major
    std::vector<double> rightHandSide;
};

// The variant of the loops that the passes use, chosen once: the one that
// $TOLVAR_KERNELS names ("portable", "avx2", "avx512") if this processor
// runs it, else the fastest one it runs.
const IrlsKernels& FastestIrlsKernels();
// That choice for a given $TOLVAR_KERNELS value (null when unset).
const IrlsKernels& ChooseIrlsKernels(const char* requested);
// Every variant this processor runs, the fastest first.
std::vector<const IrlsKernels*> SupportedIrlsKernels();

// The normal equations under the weights w (the first pass).
NormalEquations FormNormalEquations(const Matrix& Abar, const std::vector<double>& w, std::span<const double> lbar);
NormalEquations FormNormalEquations(const Matrix& Abar, const std::vector<double>& w, std::span<const double> lbar,
                                    const IrlsKernels& kernels, int threads);

// x = N^-1 * rhs with N inverted in place by the matrix's own exchange steps;
// with inverse, N^-1 is handed out too.
Matrix SolveNormalEquations(const NormalEquations& equations, int u, Matrix* inverse = nullptr);

// v = Abar * x - lbar, each product summed over the unknowns in order from
// 0.0 (the sums of the sweep below, for callers that need only residuals).
void ComputeResiduals(const double* Abar, const double* x, const double* lbar, double* v, int n, int u);

// The rest of a pass after its solution x, in one sweep over the
// observations: the residuals v = Abar * x - lbar (n), the weights w of the
// next pass by weigh (n), and, if formNext, the next pass's normal equations
// (else none are returned).
struct Reweighting {
    WeighFunction weigh;
    const void* context;
};
NormalEquations SweepPass(const Matrix& Abar, std::span<const double> lbar, const double* x, double* v,
                          std::vector<double>& w, const Reweighting& reweighting, bool formNext);
NormalEquations SweepPass(const Matrix& Abar, std::span<const double> lbar, const double* x, double* v,
                          std::vector<double>& w, const Reweighting& reweighting, bool formNext,
                          const IrlsKernels& kernels, int threads);

// The redundancy numbers r of RedundancyJob for every observation (n),
// under the weights w (empty: all 1) and the lower triangular T (u x u,
// row-major); false when one is not finite.
bool ComputeRedundancyNumbers(const Matrix& Abar, const std::vector<double>& w, const std::vector<double>& T,
                              std::vector<double>& r);
bool ComputeRedundancyNumbers(const Matrix& Abar, const std::vector<double>& w, const std::vector<double>& T,
                              std::vector<double>& r, const IrlsKernels& kernels, int threads);
