#pragma once

// Quantiles of the distributions the observation tests need, to about
// 1e-13 relative: x with P(X <= x) = p for 0 < p < 1. Outside (0, 1), and
// for degrees of freedom below 1, they return NaN.

// Standard normal distribution (Wichura's algorithm AS 241, PPND16).
double NormalQuantile(double p);

// Chi-square distribution with k degrees of freedom.
double ChiSquareQuantile(double p, double k);

// Student's t distribution with nu degrees of freedom.
double StudentTQuantile(double p, double nu);

// The regularized incomplete gamma and beta functions behind them, each
// with its complement computed without cancellation:
//   P(a, x) = gamma(a, x) / Gamma(a),  Q(a, x) = 1 - P(a, x);
//   I_x(a, b) = B(x; a, b) / B(a, b), with y = 1 - x given separately.
struct TailPair {
    double lower;
    double upper;
};
TailPair RegularizedGamma(double a, double x);
TailPair RegularizedBeta(double a, double b, double x, double y);
