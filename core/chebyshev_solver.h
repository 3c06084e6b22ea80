#pragma once

#include "core/matrix.h"

// Outcome of SolveChebyshev.
enum ChebyshevStatus : int {
    kChebyshevOptimal = 0,       // x is an optimal vertex of the minimax problem
    kChebyshevNotFinite = 1,     // A or b holds an infinity or NaN; x and residuals are NaN
    kChebyshevNoConvergence = 2, // rounding kept the simplex from finishing, or its last vertex,
                                 // returned as x, could not be proved optimal
    kChebyshevOutOfMemory = 3,   // x or residuals could not be allocated
};

struct ChebyshevSolution {
    int status = kChebyshevOptimal;
    double maxResidual = 0.0; // max_i |a_i x - b_i|, the minimax value
    int pivots = 0;           // simplex exchange steps of both phases
};

// Chebyshev (minimax, L-infinity) solution of the overdetermined system
// A x ~ b (A is n x u, b is n x 1): the x that minimises max_i |a_i x - b_i|.
//
// The minimax problem is the linear programme
//     minimise t  subject to  -t <= a_i x - b_i <= t  (i = 1..n),
// solved through its dual, which has only u + 1 equality rows:
//     maximise  sum_i b_i (y_i+ - y_i-)
//     subject to sum_i a_i (y_i+ - y_i-) = 0,  sum_i (y_i+ + y_i-) = 1,  y >= 0.
// A revised simplex on the dual keeps a (u+1) x (u+1) basis; its simplex
// multipliers are (x, t). Each exchange brings in the observation with the
// largest residual beyond t, so a pass costs O(n u + u^3) and the basis
// never grows with n. The multipliers are solved afresh from the basis in
// every pass, from its u + 1 equations (the equioscillation system
// s_i (a_i x - b_i) = -t) by Gaussian elimination with partial pivoting,
// so pricing and the final x stay exact up to one stable solve's rounding
// even for large coordinates with small residuals.
//
// At the optimum at least u + 1 observations (for A of full rank) attain
// |a_i x - b_i| = t, with signs such that zero lies in the convex hull of
// their sign-weighted rows; for a polynomial fit the signs alternate.
//
// Any design is accepted: all-zero rows, dependent columns, fewer rows than
// u + 1. A dual row that such a design makes redundant keeps its artificial
// variable at zero, and the unknown of that row stays 0 (a free unknown
// left non-basic). Before x is reported optimal, the dual solution of the
// final basis must prove, by weak duality, that no x does better.
//
// Afterwards x is u x 1 and residuals is n x 1 with residuals(i) = a_i x - b_i.
ChebyshevSolution SolveChebyshev(const Matrix& A, const Matrix& b, Matrix& x, Matrix& residuals);
