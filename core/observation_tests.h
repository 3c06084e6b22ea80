#pragma once

#include "core/matrix.h"

#include <optional>
#include <span>
#include <vector>

struct AdjustmentResults;

// Testing the observations of an adjustment as surveyors do, from the
// weights of its last pass: P = diag(p_i w_i) with the given weights p_i
// and the final robust weights w_i (1 for L1, Lp and Chebyshev, whose
// tests therefore use the given weights), N = Abar^T W Abar = A^T P A and
// Q = N^-1.
//
//   redundancy number   r_i = 1 - p_i w_i a_i^T Q a_i   (sum r_i = n - u)
//   cofactor of v_i     q_vv,ii = r_i / (p_i w_i)
//   standardized        w_i = v_i / (sigma0 sqrt(q_vv,ii)), studentized with s0
//   data snooping       flagged when |w_i| > z(1 - alpha / 2) and r_i >= 0.01
//   global test         (n - u) s0^2 / sigma0^2 <= chi2(n - u, 1 - alpha)
//   MDB                 sigma0 delta0 / sqrt(p_i w_i r_i),
//                       delta0 = z(1 - alpha / 2) + z(power)
//   confidence interval x_j +- t(n - u, (1 + confidence) / 2) s0 sqrt(Q_jj)
//
// An observation with r_i = 0 determines its part of the unknowns alone
// (v_i = 0): its standardized residual and MDB are not defined. One with
// w_i = 0 was rejected by the estimator and is not tested again. With
// n = u nothing is tested.

// Observations with a smaller redundancy number are uncontrolled: a blunder
// in them hardly shows in their residual, and they are never flagged.
inline constexpr double kControlledRedundancy = 0.01;
// Redundancy numbers at or below this are taken as 0.
inline constexpr double kZeroRedundancy = 1e-12;

struct TestSettings {
    double sigma0 = 1.0;      // a-priori standard deviation of unit weight
    double alpha = 0.001;     // error probability of each test
    double power = 0.8;       // power of data snooping for the MDB
    double confidence = 0.95; // of the intervals of the unknowns
};

// Which weights the tests stand on.
enum class TestWeights {
    kRobust, // p_i times the final robust weights of the reweighting
    kGiven,  // the given p_i: L1, Lp and Chebyshev
};
// "robust" or "given".
const char* TestWeightsName(TestWeights weights);

// What the tests need of the last pass: r_i and the diagonal of Q.
struct RedundancyShares {
    TestWeights weights = TestWeights::kGiven;
    std::vector<double> r;  // n
    std::vector<double> qx; // Q_jj, u
};

// From the weighted system's Abar (rows sqrt(p_i) a_i), its lbar and the
// robust weights w (empty: all 1). Q is N^-1 under those weights when the
// caller has it; without it (or when rounding left it not positive
// definite) N is formed and factored here. O(n u^2) time, O(n + u^2)
// memory. None when N is not positive definite or an r_i is not finite.
std::optional<RedundancyShares> ComputeRedundancy(const Matrix& Abar, std::span<const double> lbar,
                                                  const std::vector<double>& w, const Matrix* Q,
                                                  TestWeights weights);

struct ObservationTest {
    double r = 0.0;
    std::optional<double> standardized; // none when not defined (r_i = 0, w_i = 0, n = u)
    std::optional<double> studentized;
    std::optional<double> mdb;
    bool uncontrolled = false; // r_i < 0.01
    bool flagged = false;      // data snooping rejects the observation
};

struct GlobalTest {
    double statistic = 0.0;     // (n - u) s0^2 / sigma0^2
    int degreesOfFreedom = 0;   // n - u
    double criticalValue = 0.0; // chi2(n - u, 1 - alpha)
    bool passed = false;
};

struct ConfidenceInterval {
    double lower = 0.0;
    double upper = 0.0;
};

struct ObservationTests {
    TestSettings settings;
    TestWeights weights = TestWeights::kGiven;
    bool defined = false;           // false for n = u: nothing can be tested
    double criticalValue = 0.0;     // z(1 - alpha / 2)
    double delta0 = 0.0;            // z(1 - alpha / 2) + z(power)
    double tQuantile = 0.0;         // t(n - u, (1 + confidence) / 2)
    double redundancySum = 0.0;     // sum r_i
    GlobalTest global;
    std::vector<ConfidenceInterval> intervals; // u; empty when not defined
    int flaggedCount = 0;
    int uncontrolledCount = 0;
};

// The tests of a run. None when the run has no redundancy shares, or is
// not certified: a failed run is not tested. The figures of each
// observation are not kept (they would take more memory than the results
// themselves) but computed when asked for, in O(1).
std::optional<ObservationTests> TestObservations(const AdjustmentResults& results, const TestSettings& settings,
                                                 bool certified);
// The figures of observation i (from 0) of results tested as tests.
ObservationTest TestOfObservation(const AdjustmentResults& results, const ObservationTests& tests, int i);
