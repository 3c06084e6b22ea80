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

// How far A and l themselves are their weighted system, so that a caller
// can solve them as they are and spare the copies: with every weight exactly
// 1 and every element of A and l finite, FormWeightedSystem gives them bit
// for bit, but for a negative zero, which the sum with 0.0 makes positive.
// The sign of a zero factor changes no sum that starts from +0.0, as every
// sum of the reweighting passes does; other computations need kExactly.
enum class OwnSystem { kNo, kUpToSignsOfZeros, kExactly };
OwnSystem OwnWeightedSystem(const Matrix& A, const Matrix& l, const Matrix& p);

// The residuals of the weighted system back in the units of l:
// v_i = vbar_i / sqrt(p_i), in place.
void UnweightResiduals(Matrix& v, const Matrix& p);
