#pragma once

#include "core/matrix.h"

#include <optional>
#include <string>
#include <vector>

// Every answer checks itself after the solve, independently of the method
// that found it: the condition of the normal equations for least squares
// and the reweighting passes, the first-order condition for Lp norms, the
// dual multipliers for L1. A check that fails makes the run a failure; a
// check that holds only approximately, or few estimated correct digits,
// make it a success with a warning.

// "proved", "approximate", "failed".
enum class Optimality { kProved, kApproximate, kFailed };
const char* OptimalityName(Optimality optimality);

struct SolutionCheck {
    Optimality optimality = Optimality::kProved;
    // Of the column-scaled normal matrix (least squares and the reweighting
    // methods); none for the direct solutions.
    std::optional<double> conditionNumber;
    std::optional<int> estimatedDigits;
    // String id of the failure's cause, or of the warning's; 0 for none.
    int causeId = 0;

    bool Failed() const { return optimality == Optimality::kFailed; }
    bool Warns() const { return !Failed() && causeId != 0; }
};

// A failed check with its cause; an approximate one with its warning.
SolutionCheck FailedCheck(int causeId);
SolutionCheck ApproximateCheck();

// max_i |r_i| of a column of residuals: infinite for an infinite residual;
// a NaN one is passed over.
double LargestResidual(const Matrix& r);

// Below this many estimated correct digits a run fails; below
// kWarningDigits it succeeds with a warning.
inline constexpr int kFailingDigits = 1;
inline constexpr int kWarningDigits = 6;

// The 1-norm condition number of D N D, D = diag(N)^-1/2, from N (u x u,
// row-major) and its inverse Q:
//     cond = ||D N D||_1 * ||D^-1 Q D^-1||_1.
// Infinity when a diagonal element of N or Q is not positive and finite.
// Reads N and Q only; O(u^2).
double ScaledConditionNumber(const std::vector<double>& N, const Matrix& Q);

// The check of a least-squares solve: estimated digits -log10(cond * eps),
// failed (cause: singular normal equations) below kFailingDigits or for a
// diagonal of Q that is not positive and finite, a warning below
// kWarningDigits.
SolutionCheck NormalEquationsCheck(const std::vector<double>& N, const Matrix& Q);

// The first-order condition of F(x) = sum_i |r_i|^p, r = A x - b, at x with
// residuals r: the gradient g_j = sum_i a_ij psi_i, psi_i = sign(q_i)
// |q_i|^(p-1), q = r / max|r|, against the rounding it is subject to
// (the terms |a_ij psi_i| and the residuals' rounding carried through
// psi's slope). Proved within kProvedRoundings such units, approximate
// within kApproximateRoundings, failed beyond.
SolutionCheck LpFirstOrderCheck(const Matrix& A, const Matrix& b, const Matrix& x, const Matrix& r, double p);

// Whether psi of a residual near the largest may swing by more than a
// hundredth within the change of residuals that LpFirstOrderCheck allows
// (large p, or residuals small against the observations): then the check
// cannot tell the minimiser from a point near it that is no minimiser, and
// the answer must also be held against the minimax value.
bool LpCheckIsCoarse(const Matrix& A, const Matrix& b, const Matrix& x, const Matrix& r, double p);

// The dual of the L1 problem min sum_i |r_i|, r = A x - b, at x: with
// g = sum over the non-basic rows of sign(r_i) a_i, the multipliers lambda
// of the basic rows solve sum_basic lambda_i a_i = -g; x is optimal when
// every |lambda_i| <= 1. Solved afresh from A, r and the basic flags by
// Gaussian elimination with partial pivoting. Proved up to rounding,
// approximate where rounding leaves it open (the solver stopped early, a
// non-basic residual is zero), failed when a multiplier lies clearly
// outside [-1, 1]. With sides (as Matrix::SolveL1 gives them), a zero
// residual outside the basis is first taken with the multiplier +-1 of its
// side: at a degenerate vertex (a levelling network's rounded observations
// leave many zeros) that completes the proof where the other multipliers
// alone do not.
SolutionCheck L1DualCheck(const Matrix& A, const Matrix& r, const std::vector<bool>& basic,
                          const std::vector<signed char>* sides = nullptr);

// Both checks in one: the worse optimality, the digits and condition of
// the first, the cause of the one that fails, else of the first that warns.
SolutionCheck CombinedCheck(const SolutionCheck& condition, const SolutionCheck& optimality);

// The warning or failure text of a check (UTF-8), empty for none.
std::string CheckCauseText(const SolutionCheck& check);

// A problem with fewer observations than unknowns has no unique solution.
inline bool TooFewObservations(int n, int u)
{
    return n < u;
}
