#pragma once

#include "core/matrix.h"

// The weighted system of an adjustment: with S = diag(sqrt(p_i)) the
// observation equations A x ~ l with weights p become Abar x ~ lbar,
// Abar = S A and lbar = S l, whose residuals are sqrt(p_i) v_i. The engine
// and the Lp library's minimax solution both solve this system.

struct WeightedSystem {
    Matrix Abar; // n x u
    Matrix lbar; // n x 1
};

// Abar = S A and lbar = S l for the n x 1 weight vector p. Every element is
// sqrt(p_i) times the original, plus 0.0, so that a negative zero comes out
// positive as in the sum of the dense product S A. Throws std::bad_alloc
// when the storage cannot be had.
WeightedSystem FormWeightedSystem(const Matrix& A, const Matrix& l, const Matrix& p);

// The residuals of the weighted system back in the units of l:
// v_i = vbar_i / sqrt(p_i), in place.
void UnweightResiduals(Matrix& v, const Matrix& p);
