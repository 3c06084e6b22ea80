// The engine and the solvers on small problems that the reader accepts.
// Input: a method byte (code = byte % 10; (byte / 10) odd: the scale
// re-estimated before every pass), a settings byte, then the text of an
// input file.
//
// Checks: the engine refuses fewer observations than unknowns, writes a
// whole report otherwise and calls a run successful only when its unknowns
// are finite and its check holds (verified again from the published
// numbers); the Lp library, with norm factors from 1 to 1e300, succeeds
// only with a first-order condition that holds and an objective no worse
// than the minimax solution's; on the weighted system the L1 and
// the Chebyshev solution bound each other (the minimax value is at most the
// L1 solution's largest residual, the L1 sum at most the minimax
// solution's sum); and the minimax value of a tiny integer design equals
// the exact circuit oracle's.

#include "fuzz/fuzz_support.h"

#include "minimax_oracle.h"
#include "core/l1_reference.h"

#include "core/chebyshev_solver.h"
#include "core/estimator.h"
#include "core/irls_pass.h"
#include "core/matrix.h"
#include "core/report.h"
#include "core/solution_check.h"
#include "core/weighted_system.h"
#include "io/input_file.h"
#include "normex/lp_solution.h"
#include "normex/normex.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kMaxObservations = 40;
constexpr int kMaxUnknowns = 8;
// Tuning constants (codes 2 to 9) and norm factors (code 0) to choose from.
constexpr double kConstants[8] = {0.5, 1.205, 1.5, 2.795, 4.685, 0.0, 1e-3, 100.0};
constexpr double kNormFactors[8] = {1.0, 1.5, 2.0, 3.0, 25.0, 1.1, 4.0, 10.0};

struct Problem {
    Matrix A;
    Matrix l;
    Matrix p;
};

bool EndsWithClosingRule(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string rule = std::string(60, '=') + "\r\n";
    return text.size() >= rule.size() && text.compare(text.size() - rule.size(), rule.size(), rule) == 0;
}

bool Moderate(const Problem& problem);

// The weighted residuals of the published corrections.
Matrix WeightedCorrections(const Problem& problem, const AdjustmentResults& results)
{
    Matrix v = results.corrections;
    for (int i = 0; i < v.Rows(); ++i)
        v(i, 0) *= std::sqrt(problem.p(i, 0));
    return v;
}

// A success's check, made again from the numbers the run published: the
// L1 dual from its corrections and basis, the condition of least squares
// from the normal equations formed afresh.
void CheckSuccess(const Problem& problem, int method, double factor, const AdjustmentResults& results)
{
    FUZZ_CHECK(!results.check.Failed());
    const WeightedSystem weighted = FormWeightedSystem(problem.A, problem.l, problem.p);
    if (method == kMethodL1)
        FUZZ_CHECK(!L1DualCheck(weighted.Abar, WeightedCorrections(problem, results), results.basic).Failed());
    if (method == kMethodLpNorm && factor == 2.0) {
        const std::vector<double> ones(static_cast<std::size_t>(problem.A.Rows()), 1.0);
        const NormalEquations equations = FormNormalEquations(weighted.Abar, ones, {weighted.lbar.Data(), ones.size()});
        Matrix Q;
        SolveNormalEquations(equations, problem.A.Columns(), &Q);
        FUZZ_CHECK(!NormalEquationsCheck(equations.matrix, Q).Failed());
    }
}

// ||r||_p / ||s||_p without overflow or underflow at any p; by the largest
// magnitudes where both sums vanish.
double NormRatio(const Matrix& r, const Matrix& s, double p)
{
    double largest = 0.0;
    double largestR = 0.0;
    double largestS = 0.0;
    for (int i = 0; i < r.Rows(); ++i) {
        largestR = std::max(largestR, std::fabs(r(i, 0)));
        largestS = std::max(largestS, std::fabs(s(i, 0)));
    }
    largest = std::max(largestR, largestS);
    if (largest == 0.0)
        return 1.0;
    double sumR = 0.0;
    double sumS = 0.0;
    for (int i = 0; i < r.Rows(); ++i) {
        sumR += std::pow(std::fabs(r(i, 0)) / largest, p);
        sumS += std::pow(std::fabs(s(i, 0)) / largest, p);
    }
    if (sumS == 0.0)
        return largestR / largestS;
    return std::pow(sumR / sumS, 1.0 / p);
}

// The Lp library with a factor between 1 and 1e300: a success is no worse
// than the minimax solution in the Lp objective and satisfies its
// first-order condition (or, where the minimax solution attains the Lp
// minimum, is within n^(1/p) of the minimax value).
void CheckLpLibrary(const Problem& problem, const std::string& input, std::uint8_t settings)
{
    LpRequest request;
    request.inputFile = input;
    request.outputFile = fuzz::ScratchPath("lp.AUS");
    request.normFactor = std::pow(10.0, 300.0 * settings / 255.0);
    request.maxPasses = 200;
    const LpOutcome outcome = RunLpSolution(request);
    FUZZ_CHECK((outcome.result == NORMEX_TOO_FEW_OBSERVATIONS) == (problem.A.Rows() < problem.A.Columns()));
    if (outcome.result != NORMEX_SUCCESS || !Moderate(problem) || request.normFactor == 1.0)
        return;
    FUZZ_CHECK(!outcome.results.check.Failed());
    const WeightedSystem weighted = FormWeightedSystem(problem.A, problem.l, problem.p);
    Matrix x;
    Matrix minimaxResiduals;
    if (SolveChebyshev(weighted.Abar, weighted.lbar, x, minimaxResiduals).status != kChebyshevOptimal)
        return;
    const Matrix r = WeightedCorrections(problem, outcome.results);
    const double p = request.normFactor;
    double size = 0.0;
    for (int i = 0; i < r.Rows(); ++i)
        size = std::max(size, std::fabs(weighted.lbar(i, 0)) + std::fabs(r(i, 0)));
    double largest = 0.0;
    double minimax = 0.0;
    for (int i = 0; i < r.Rows(); ++i) {
        largest = std::max(largest, std::fabs(r(i, 0)));
        minimax = std::max(minimax, std::fabs(minimaxResiduals(i, 0)));
    }
    // A minimiser of ||r||_p is no worse than the minimax point, and its
    // largest residual lies between t* and n^(1/p) t*, each up to what
    // the two solvers' rounding may take from it (n times 1e-9 of the
    // residuals' size: the minimax value of an ill-conditioned design is
    // itself that far from exact).
    const double rounding = 1e-9 * std::max(size, 1e-300);
    FUZZ_CHECK(largest >= minimax - rounding * r.Rows());
    FUZZ_CHECK(largest <= minimax * std::pow(r.Rows(), 1.0 / p) + rounding * r.Rows());
    // Residuals at the level of their rounding (an exact fit) have no ratio
    // to speak of.
    if (p <= 1e3)
        FUZZ_CHECK(NormRatio(r, minimaxResiduals, p) <= 1.0 + 1e-6 + rounding * r.Rows() / minimax);
}

void CheckEngine(const Problem& problem, int method, bool scaleEachPass, std::uint8_t settings)
{
    const int maxPasses = settings >> 3;
    const std::string report = fuzz::ScratchPath("engine.AUS");
    CEstimator engine;
    engine.SetOutputFile(report);
    engine.TuningConstant = kConstants[settings & 7];
    engine.ScaleEachPass = scaleEachPass;
    const int result = engine.RunWithWeightVector(problem.A, problem.l, problem.p, method, kNormFactors[settings & 7],
                                                  maxPasses, 1e-5);
    FUZZ_CHECK((result == kRunTooFewObservations) == (problem.A.Rows() < problem.A.Columns()));
    if (result == kRunTooFewObservations)
        return;
    FUZZ_CHECK(result == kRunSuccess || result == kRunNotFinite);
    if (result == kRunSuccess)
        CheckSuccess(problem, method, kNormFactors[settings & 7], engine.Results());
    FUZZ_CHECK(engine.Solution().Rows() == problem.A.Columns() && engine.Solution().Columns() == 1);
    FUZZ_CHECK(engine.Corrections().Rows() == problem.A.Rows() && engine.Corrections().Columns() == 1);
    FUZZ_CHECK(result != kRunSuccess || ResultsAreFinite(engine.Solution(), problem.l, engine.Corrections()));
    FUZZ_CHECK(result == kRunSuccess || !ResultsAreFinite(engine.Solution(), problem.l, engine.Corrections()) ||
               engine.Results().check.Failed());
    if (method == kMethodL1)
        FUZZ_CHECK(engine.PassCount() == 0);
    else
        FUZZ_CHECK(engine.PassCount() >= 1 && engine.PassCount() <= maxPasses + 1);
    FUZZ_CHECK(EndsWithClosingRule(report));
    const std::optional<TuningScale>& scale = engine.Results().tuningScale;
    FUZZ_CHECK(scale.has_value() == (scaleEachPass && method >= kFirstEstimator));
    if (scale.has_value())
        FUZZ_CHECK((engine.Results().end == RunEnd::kScaleZero) == (scale->scale == 0.0));
}

struct Residuals {
    double largest = 0.0;
    double sum = 0.0;
    double size = 0.0; // largest |b_i| + sum_k |a_ik x_k|: the scale of their rounding
};

Residuals ResidualsOf(const Matrix& A, const Matrix& b, const Matrix& x)
{
    Residuals r;
    for (int i = 0; i < A.Rows(); ++i) {
        double value = 0.0;
        double size = std::fabs(b(i, 0));
        for (int k = 0; k < A.Columns(); ++k) {
            value += A(i, k) * x(k, 0);
            size += std::fabs(A(i, k) * x(k, 0));
        }
        value -= b(i, 0);
        r.largest = std::max(r.largest, std::fabs(value));
        r.sum += std::fabs(value);
        r.size = std::max(r.size, size);
    }
    return r;
}

// Data of a moderate scale, where the solvers' fixed tolerances apply.
bool Moderate(const Problem& problem)
{
    const auto fits = [](double value, double low, double high) {
        return value == 0.0 || (std::fabs(value) >= low && std::fabs(value) <= high);
    };
    for (int i = 0; i < problem.A.Rows(); ++i) {
        for (int k = 0; k < problem.A.Columns(); ++k)
            if (!fits(problem.A(i, k), 1e-3, 1e6))
                return false;
        if (!fits(problem.l(i, 0), 1e-3, 1e6) || !fits(problem.p(i, 0), 1e-3, 1e3))
            return false;
    }
    return true;
}

// A design of small integers with few rows, as the circuit oracle takes it.
bool TinyIntegerDesign(const Problem& problem, test_support::IntegerRows& rows)
{
    if (problem.A.Rows() > 8 || problem.A.Columns() > 4)
        return false;
    rows.assign(static_cast<std::size_t>(problem.A.Rows()), {});
    for (int i = 0; i < problem.A.Rows(); ++i) {
        for (int k = 0; k < problem.A.Columns(); ++k) {
            const double value = problem.A(i, k);
            if (!(std::fabs(value) <= 1000.0) || value != std::trunc(value))
                return false;
            rows[static_cast<std::size_t>(i)].push_back(static_cast<long long>(value));
        }
    }
    return true;
}

// The L1 solver (entries with a zero factor left alone, columns of small
// whole numbers as bytes) against the literal method: the same pivots, so
// the same numbers.
void CheckL1AgainstLiteral(const Matrix& Abar, const Matrix& lbar, const Matrix& x, const Matrix& v,
                           const std::vector<bool>& basic)
{
    Matrix xLiteral;
    Matrix vLiteral;
    test_support::SolveL1Literal(Abar, lbar, xLiteral, vLiteral);
    FUZZ_CHECK(test_support::FirstDifferenceButSignsOfZero(x, xLiteral) < 0);
    FUZZ_CHECK(test_support::FirstDifferenceButSignsOfZero(v, vLiteral, &basic) < 0);
}

void CheckSolvers(const Problem& problem)
{
    // The system the Lp library solves.
    const WeightedSystem weighted = FormWeightedSystem(problem.A, problem.l, problem.p);
    const Matrix& Abar = weighted.Abar;
    const Matrix& lbar = weighted.lbar;
    Matrix x;
    Matrix v;
    const ChebyshevSolution minimax = SolveChebyshev(Abar, lbar, x, v);
    const bool finite = AllFinite(Abar) && AllFinite(lbar);
    FUZZ_CHECK((minimax.status == kChebyshevNotFinite) == !finite);
    Matrix x1;
    Matrix v1;
    std::vector<bool> basic;
    x1.SolveL1(Abar, lbar, v1, &basic);
    CheckL1AgainstLiteral(Abar, lbar, x1, v1, basic);
    if (!finite || !Moderate(problem))
        return;
    FUZZ_CHECK(minimax.status == kChebyshevOptimal || minimax.status == kChebyshevNoConvergence);
    const Residuals r = ResidualsOf(Abar, lbar, x);
    FUZZ_CHECK(r.largest == minimax.maxResidual);

    test_support::IntegerRows rows;
    if (TinyIntegerDesign(problem, rows)) {
        FUZZ_CHECK(minimax.status == kChebyshevOptimal);
        std::vector<double> observations(static_cast<std::size_t>(problem.l.Rows()));
        std::vector<double> scale(observations.size());
        for (int i = 0; i < problem.l.Rows(); ++i) {
            observations[static_cast<std::size_t>(i)] = problem.l(i, 0);
            scale[static_cast<std::size_t>(i)] = std::sqrt(problem.p(i, 0));
        }
        const double oracle = test_support::CircuitMinimax(rows, observations, scale);
        FUZZ_CHECK(std::fabs(minimax.maxResidual - oracle) <= 1e-9 * (1.0 + oracle + r.size));
    }
    if (minimax.status != kChebyshevOptimal)
        return;
    const Residuals r1 = ResidualsOf(Abar, lbar, x1);
    if (!std::isfinite(r1.sum))
        return;
    const double tolerance = 1e-9 * Abar.Rows() * std::max({r.size, r1.size, 1e-300});
    FUZZ_CHECK(r1.largest >= minimax.maxResidual - tolerance);
    FUZZ_CHECK(r1.sum <= r.sum + tolerance);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int method = data[0] % 10;
    const bool scaleEachPass = (data[0] / 10) % 2 == 1;
    const std::uint8_t settings = data[1];
    const std::string path = fuzz::ScratchPath("engine.EIN");
    fuzz::WriteBytes(path, data + 2, size - 2);
    Problem problem;
    if (ReadInputFileWeightVector(path, problem.A, problem.l, problem.p) != 0)
        return 0;
    if (problem.A.Rows() > kMaxObservations || problem.A.Columns() > kMaxUnknowns)
        return 0;
    CheckEngine(problem, method, scaleEachPass, settings);
    CheckLpLibrary(problem, path, settings);
    if (problem.A.Rows() >= problem.A.Columns())
        CheckSolvers(problem);
    return 0;
}
