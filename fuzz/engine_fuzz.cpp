// The engine and the solvers on small problems that the reader accepts.
// Input: a method byte (code = byte % 10; (byte / 10) odd: the scale
// re-estimated before every pass), a settings byte, then the text of an
// input file.
//
// Checks: the engine writes a whole report and calls a run successful
// exactly when its unknowns are finite; on the weighted system the L1 and
// the Chebyshev solution bound each other (the minimax value is at most the
// L1 solution's largest residual, the L1 sum at most the minimax
// solution's sum); and the minimax value of a tiny integer design equals
// the exact circuit oracle's.

#include "fuzz/fuzz_support.h"

#include "minimax_oracle.h"

#include "core/chebyshev_solver.h"
#include "core/estimator.h"
#include "core/matrix.h"
#include "core/report.h"
#include "core/weighted_system.h"
#include "io/input_file.h"

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
    FUZZ_CHECK(result == kRunSuccess || result == kRunNotFinite);
    FUZZ_CHECK(engine.Solution().Rows() == problem.A.Columns() && engine.Solution().Columns() == 1);
    FUZZ_CHECK(engine.Corrections().Rows() == problem.A.Rows() && engine.Corrections().Columns() == 1);
    FUZZ_CHECK((result == kRunSuccess) == ResultsAreFinite(engine.Solution(), problem.l, engine.Corrections()));
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
    x1.SolveL1(Abar, lbar, v1);
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
    CheckSolvers(problem);
    return 0;
}
