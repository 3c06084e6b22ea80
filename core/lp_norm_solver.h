#pragma once

#include "core/matrix.h"

#include <functional>
#include <vector>

// Outcome of SolveLpNorm.
enum LpNormStatus : int {
    kLpNormMinimum = 0,       // x is the minimiser, to the rounding of the data
    kLpNormNotFinite = 1,     // the least-squares start is not finite (singular system, data)
    kLpNormNoConvergence = 2, // the pass limit, or rounding, stopped the run short of the
                              // minimiser; x is the last point accepted
};

// Told of every pass as it starts, with the unknowns it starts from (none
// yet for pass 1): the points the run has accepted, in order.
using LpNormProgress = std::function<void(int pass, const std::vector<double>& x)>;

struct LpNormSolution {
    int status = kLpNormMinimum;
    int passes = 0; // weighted least-squares solves, the start included
};

// The x that minimises F(x) = sum_i |a_i x - b_i|^p for a norm factor p > 1
// (A is n x u, b is n x 1). F is convex, strictly so for A of full rank.
//
// Pass 1 solves least squares. Every further pass solves one weighted
// least-squares system for Newton's direction:
//     N z = A^T psi,  N = A^T W A,  W_i = |q_i|^(p-2),  psi_i = sign(q_i) |q_i|^(p-1),
// with q_i = r_i / max_k |r_k| the residuals scaled by their largest
// magnitude, so that W and psi lie in [0, 1] for p > 2 and nothing
// overflows or underflows at large p. s = -max|r| z is the step to the
// reweighted least-squares solution; the Newton step is s / (p - 1). For
// p < 2 a weight is held at its value for |q| = 1e-15 below that, and N is
// damped (N + d diag N) where rounding leaves it not positive definite.
//
// Along x + t s, phi(t) = F(x + t s) is convex, so F cannot have risen at
// any t with phi'(t) <= 0; phi' needs no differences of F, which drown in
// rounding long before x is accurate. The line search starts at the Newton
// step and looks for the root of phi' (secant beyond, Illinois regula falsi
// with bisection inside a bracket) until phi'(t) <= 0 and |phi'(t)| <=
// 0.1 |phi'(0)|. Only such points are accepted: F never rises from one to
// the next.
//
// The run ends at the minimiser when the Newton step is negligible (no
// unknown changes by more than 1e-10 of the largest unknown, or no residual
// by more than 1e-12 of the largest residual) and phi' has at least halved
// along it; a negligible step across which phi' hardly changes is no end,
// since the curvature there is far below Newton's model (a residual near 0
// at p < 2) and the minimum lies beyond. Rounding sets a floor that the
// Newton step cannot pass; a run that stays on it three passes, or whose
// step is lost in the rounding of x, ends at the minimiser when the step is
// within 1000 times the tolerances, and short of it otherwise. p = 2 and an
// exact fit end after the start. A start where psi vanishes for all but
// fewer than u residuals ends at once, short of the minimiser. At most
// maxPasses passes.
//
// With start (u x 1), the passes start from it instead of least squares:
// at large p, where the weights |q|^(p-2) of all but the largest residuals
// of the least-squares start vanish, the minimax solution is a start whose
// weights do not.
//
// Afterwards x is u x 1 and residuals is n x 1 with residuals(i) = a_i x - b_i.
LpNormSolution SolveLpNorm(const Matrix& A, const Matrix& b, double p, int maxPasses, Matrix& x,
                           Matrix& residuals, const LpNormProgress& progress = {}, const Matrix* start = nullptr);
