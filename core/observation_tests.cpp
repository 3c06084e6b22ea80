#include "core/observation_tests.h"

#include "core/adjustment_results.h"
#include "core/cholesky.h"
#include "core/distributions.h"
#include "core/irls_pass.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

const char* TestWeightsName(TestWeights weights)
{
    return weights == TestWeights::kRobust ? "robust" : "given";
}

namespace {

// L^-1 of a lower triangular L, lower too.
std::vector<double> InverseLower(const std::vector<double>& L, std::size_t u)
{
    std::vector<double> inverse(u * u, 0.0);
    for (std::size_t j = 0; j < u; ++j) {
        inverse[j * u + j] = 1.0 / L[j * u + j];
        for (std::size_t i = j + 1; i < u; ++i) {
            double sum = 0.0;
            for (std::size_t k = j; k < i; ++k)
                sum -= L[i * u + k] * inverse[k * u + j];
            inverse[i * u + j] = sum / L[i * u + i];
        }
    }
    return inverse;
}

// The redundancy numbers need a lower triangular T (u x u, row-major) with
// a_i^T Q a_i = |T a_i|^2. Without the caller's Q: N formed here,
// N = L L^T, T = L^-1 and Q_jj = sum_i (L^-1)_ij^2.
std::optional<RedundancyShares> SharesFromNormalMatrix(const Matrix& Abar, std::span<const double> lbar,
                                                       const std::vector<double>& w, TestWeights weights)
{
    const std::size_t n = static_cast<std::size_t>(Abar.Rows());
    const std::size_t u = static_cast<std::size_t>(Abar.Columns());
    const std::vector<double> ones(w.empty() ? n : 0, 1.0);
    const NormalEquations N = FormNormalEquations(Abar, w.empty() ? ones : w, lbar);
    const std::optional<std::vector<double>> L = CholeskyFactor(N.matrix.data(), u);
    if (!L.has_value())
        return std::nullopt;
    const std::vector<double> T = InverseLower(*L, u);
    RedundancyShares shares;
    shares.weights = weights;
    shares.qx.assign(u, 0.0);
    for (std::size_t i = 0; i < u; ++i)
        for (std::size_t j = 0; j <= i; ++j)
            shares.qx[j] += T[i * u + j] * T[i * u + j];
    if (!ComputeRedundancyNumbers(Abar, w, T, shares.r))
        return std::nullopt;
    return shares;
}

// With the caller's Q, factored in reverse order of the unknowns: with the
// reversal J, J Q J = C C^T gives Q = U U^T for the upper U = J C J, and
// T = U^T = J C^T J is lower.
std::optional<RedundancyShares> SharesFromInverse(const Matrix& Abar, const std::vector<double>& w, const Matrix& Q,
                                                  TestWeights weights)
{
    const std::size_t u = static_cast<std::size_t>(Abar.Columns());
    std::vector<double> reversed(u * u);
    for (std::size_t j = 0; j < u; ++j)
        for (std::size_t k = 0; k < u; ++k)
            reversed[j * u + k] = Q(static_cast<int>(u - 1 - j), static_cast<int>(u - 1 - k));
    const std::optional<std::vector<double>> C = CholeskyFactor(reversed.data(), u);
    if (!C.has_value())
        return std::nullopt;
    std::vector<double> T(u * u, 0.0);
    RedundancyShares shares;
    shares.weights = weights;
    for (std::size_t j = 0; j < u; ++j) {
        shares.qx.push_back(Q(static_cast<int>(j), static_cast<int>(j)));
        for (std::size_t k = 0; k <= j; ++k)
            T[j * u + k] = (*C)[(u - 1 - k) * u + (u - 1 - j)];
    }
    if (!ComputeRedundancyNumbers(Abar, w, T, shares.r))
        return std::nullopt;
    return shares;
}

} // namespace

// A Q that is not positive definite by rounding is formed anew from N.
std::optional<RedundancyShares> ComputeRedundancy(const Matrix& Abar, std::span<const double> lbar,
                                                  const std::vector<double>& w, const Matrix* Q,
                                                  TestWeights weights)
{
    if (Q != nullptr)
        if (std::optional<RedundancyShares> shares = SharesFromInverse(Abar, w, *Q, weights))
            return shares;
    return SharesFromNormalMatrix(Abar, lbar, w, weights);
}

namespace {

double WeightOf(const AdjustmentResults& results, int i)
{
    return results.weights(i, 0) * results.robustWeights[static_cast<std::size_t>(i)];
}

// Whether observation i, with redundancy number r and weight p_i w_i, can be tested.
bool Testable(const ObservationTests& tests, double weight, double r)
{
    return tests.defined && weight > 0.0 && r > kZeroRedundancy;
}

// v_i / sqrt(q_vv,ii) with q_vv,ii = r_i / (p_i w_i), of a testable observation.
double NormalizedResidual(const AdjustmentResults& results, int i, double weight, double r)
{
    return results.corrections(i, 0) * std::sqrt(weight / r);
}

double Standardized(const ObservationTests& tests, double normalized)
{
    return normalized / tests.settings.sigma0;
}

bool Rejected(const ObservationTests& tests, double standardized)
{
    return std::fabs(standardized) > tests.criticalValue;
}

} // namespace

// Defined only with redundancy.
ObservationTest TestOfObservation(const AdjustmentResults& results, const ObservationTests& tests, int i)
{
    ObservationTest test;
    test.r = results.redundancy->r[static_cast<std::size_t>(i)];
    test.uncontrolled = test.r < kControlledRedundancy;
    const double weight = WeightOf(results, i);
    if (!Testable(tests, weight, test.r))
        return test;
    const double normalized = NormalizedResidual(results, i, weight, test.r);
    test.standardized = Standardized(tests, normalized);
    if (results.s0 > 0.0)
        test.studentized = normalized / results.s0;
    test.mdb = tests.settings.sigma0 * tests.delta0 / std::sqrt(weight * test.r);
    test.flagged = !test.uncontrolled && Rejected(tests, *test.standardized);
    return test;
}

namespace {

void TestModel(const AdjustmentResults& results, ObservationTests& tests)
{
    const int f = results.Redundancy();
    const TestSettings& settings = tests.settings;
    tests.global.degreesOfFreedom = f;
    tests.global.statistic = f * (results.s0 / settings.sigma0) * (results.s0 / settings.sigma0);
    tests.global.criticalValue = ChiSquareQuantile(1.0 - settings.alpha, f);
    tests.global.passed = tests.global.statistic <= tests.global.criticalValue;
    tests.tQuantile = StudentTQuantile(0.5 + 0.5 * settings.confidence, f);
    for (int j = 0; j < results.Unknowns(); ++j) {
        const double x = results.unknowns(j, 0);
        const double half = tests.tQuantile * results.s0 * std::sqrt(results.redundancy->qx[static_cast<std::size_t>(j)]);
        tests.intervals.push_back({x - half, x + half});
    }
}

} // namespace

std::optional<ObservationTests> TestObservations(const AdjustmentResults& results, const TestSettings& settings,
                                                 bool certified)
{
    if (!certified || !results.redundancy.has_value())
        return std::nullopt;
    ObservationTests tests;
    tests.settings = settings;
    tests.weights = results.redundancy->weights;
    tests.defined = results.Redundancy() > 0 && std::isfinite(results.s0);
    tests.criticalValue = NormalQuantile(1.0 - 0.5 * settings.alpha);
    tests.delta0 = tests.criticalValue + NormalQuantile(settings.power);
    if (tests.defined)
        TestModel(results, tests);
    // What TestOfObservation finds, without the figures that are not counted.
    const std::vector<double>& r = results.redundancy->r;
    for (int i = 0; i < results.Observations(); ++i) {
        const double ri = r[static_cast<std::size_t>(i)];
        tests.redundancySum += ri;
        if (ri < kControlledRedundancy) {
            ++tests.uncontrolledCount;
            continue;
        }
        const double weight = WeightOf(results, i);
        if (Testable(tests, weight, ri) &&
            Rejected(tests, Standardized(tests, NormalizedResidual(results, i, weight, ri))))
            ++tests.flaggedCount;
    }
    return tests;
}
