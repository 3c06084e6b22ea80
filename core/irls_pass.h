#pragma once

#include "core/matrix.h"

#include <vector>

// The two halves of one reweighting pass, without any n x n matrix.
// Every element is summed over the observations in ascending order starting
// from 0.0, exactly as the dense products (transpose(Abar) * W) * Abar,
// (transpose(Abar) * W) * lbar and Abar * x - lbar sum them: the other terms
// of the dense products are products with the zero off-diagonal of W and
// cannot change a finite sum. So the results are bit-identical to the dense
// order for finite data.

// The weighted system's normal equations of one pass.
struct NormalEquations {
    std::vector<double> matrix; // u x u, row-major
    std::vector<double> rightHandSide;
};

NormalEquations FormNormalEquations(const Matrix& Abar, const std::vector<double>& w, const std::vector<double>& lbar);

// x = N^-1 * rhs with N inverted in place by the matrix's own exchange steps;
// with inverse, N^-1 is handed out too.
Matrix SolveNormalEquations(const NormalEquations& equations, int u, Matrix* inverse = nullptr);

// v = Abar * x - lbar, each product summed over the unknowns in order.
void ComputeResiduals(const double* Abar, const double* x, const double* lbar, double* v, int n, int u);
