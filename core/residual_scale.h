#pragma once

#include "core/matrix.h"

#include <span>
#include <vector>

// A robust scale of the residuals, so that a tuning constant given in units
// of the residuals' spread need not know the observations' units.

// The divisor that makes the median absolute deviation of normally
// distributed residuals an estimate of their standard deviation.
inline constexpr double kMadNormalisation = 0.6745;

// The upper quartile of the standard normal distribution, Phi^-1(3/4), to
// the last digit: the scale re-estimated at every pass divides by it, as
// statsmodels does, so that both reach the same numbers.
inline constexpr double kNormalQuartile = 0.6744897501960817;

// s = median(|v_i - median(v)|) / 0.6745; the median of an even count is
// the mean of the two middle values. NaN when v is empty or holds a value
// that is not finite.
double MadScale(std::vector<double> v);

// s of the least-squares residuals of the weighted system: with
// Abar = S A, lbar = S l (S = diag(sqrt(p_i))) and x the solution of the
// normal equations under unit weights (the reweighting's first pass), the
// MAD scale of Abar x - lbar. p is the n x 1 weight vector.
double LeastSquaresMadScale(const Matrix& A, const Matrix& l, const Matrix& p);

// s = median(|v_i|) / Phi^-1(3/4), the MAD about 0 (the residuals of an
// adjustment scatter about 0 by construction). O(n): the median by
// selection in scratch, which keeps its storage from call to call. NaN when
// v is empty or holds a value that is not finite; 0 when more than half of
// v is exactly 0.
double MadAboutZero(std::span<const double> v, std::vector<double>& scratch);
