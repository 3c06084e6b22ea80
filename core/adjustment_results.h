#pragma once

#include "core/matrix.h"
#include "core/observation_tests.h"
#include "core/solution_check.h"

#include <optional>
#include <string>
#include <vector>

// What a run leaves beyond its report, for scripts and for judging
// outliers: how it ended, the precision of the unknowns, and for every
// observation its final robust weight. Filled by the engine and by the Lp
// library from the very numbers they report; nothing is computed twice.

// How a run ended.
enum class RunEnd {
    kCriterion,      // reweighting: no unknown changed by the stop criterion or more
    kPassLimit,      // the pass limit ended the run
    kSinglePass,     // least squares by reweighting (factor 2) takes one pass
    kNotFinite,      // reweighting: the change of the unknowns was not a number
    kOptimum,        // a direct solution reached its optimum (L1, Chebyshev, the Lp minimiser)
    kShortOfOptimum, // rounding stopped a direct solution short of its optimum
    kScaleZero,      // the scale re-estimated at every pass became 0: more than half the residuals are exactly 0
};

// The word the results files use: "criterion", "limit", "single pass",
// "not finite", "optimum", "short of optimum", "scale zero".
const char* RunEndName(RunEnd end);

// How the spread s of the residuals was taken: once from the least-squares
// residuals ("mad"), or before every pass from the residuals of the pass
// before ("mad-each-pass").
enum class ScaleRule { kLeastSquares, kEachPass };

// The name the command line and the results files use.
const char* ScaleRuleName(ScaleRule rule);

// A tuning constant scaled by the spread of the residuals: the run used
// givenConstant * scale (each pass: the last pass's).
struct TuningScale {
    double givenConstant = 0.0; // c as given
    double scale = 0.0;         // s; each pass: the last s, of the corrections reported
    ScaleRule rule = ScaleRule::kLeastSquares;
};

struct AdjustmentResults {
    std::string method;                   // command-line name: "huber", "l1", "lp-irls", "lp" ...
    std::optional<double> tuningConstant; // the constant the weights used (c*s when scaled)
    std::optional<TuningScale> tuningScale;
    std::optional<double> normFactor;
    std::optional<int> passes;            // the report's pass count; none without one
    RunEnd end = RunEnd::kOptimum;
    std::optional<double> largestChange;  // of the unknowns in the last pass; none after one pass

    Matrix unknowns;                        // x, u x 1
    std::vector<double> standardDeviations; // s_j, u of them; empty where none are given
    double s0 = 0.0;                        // NaN when n <= u

    Matrix observed;                  // l, n x 1
    Matrix weights;                   // p, n x 1
    Matrix corrections;               // v in the units of l, n x 1
    std::vector<double> robustWeights; // w, n of them: 1 for L1, Lp and Chebyshev
    std::vector<bool> basic;          // L1: the observations the solution passes through; else empty
    SolutionCheck check;              // how far the answer can be trusted

    // For testing the observations: what the last pass leaves (none when
    // the run's numbers are not finite), and the tests once a caller ran
    // them with its settings (none for a failed run).
    std::optional<RedundancyShares> redundancy;
    std::optional<ObservationTests> tests;

    int Observations() const { return observed.Rows(); }
    int Unknowns() const { return unknowns.Rows(); }
    int Redundancy() const { return Observations() - Unknowns(); }
    // With as many observations as unknowns, s0 and the standard deviations are not defined.
    bool PrecisionDefined() const { return Redundancy() > 0; }
    double Adjusted(int i) const { return observed(i, 0) + corrections(i, 0); }
    bool IsBasic(int i) const { return !basic.empty() && basic[static_cast<std::size_t>(i)]; }
};

// A down-weighted observation has a final weight below 1, a rejected one
// the weight 0 (it is down-weighted too).
inline bool IsDownWeighted(double robustWeight)
{
    return robustWeight < 1.0;
}

inline bool IsRejected(double robustWeight)
{
    return robustWeight == 0.0;
}

// The standard deviation of unit weight
//     s0 = sqrt(sum_i w_i p_i v_i^2 / (n - u))
// over the final weights, NaN for n <= u; and, given Q = N^-1 of the last
// pass's normal matrix N = Abar^T W Abar, s_j = s0 sqrt(Q_jj). Without Q
// the standard deviations stay empty.
void SetPrecision(AdjustmentResults& results, const Matrix* Q);
