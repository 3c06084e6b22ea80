#include "core/solution_check.h"

#include "res/string_table.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numeric>
#include <utility>

namespace {

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The gradient of the Lp objective may exceed its rounding by this many
// units and still count as zero: Newton's method stops when its step no
// longer changes the unknowns by 1e-10 of their size, about 1e6 roundings.
constexpr double kProvedRoundings = 1e7;
constexpr double kApproximateRoundings = 1e10;
// A gradient within this many units is zero by its rounding alone.
constexpr double kPlainRoundings = 1e2;
// L1 multipliers: |lambda| <= 1 + this is within rounding.
constexpr double kMultiplierRounding = 1e-8;
constexpr double kMultiplierApproximate = 1e-4;

std::size_t At(int row, int column, int columns)
{
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(column);
}

bool PositiveFinite(double value)
{
    return value > 0.0 && std::isfinite(value);
}

// |b_i| + sum_j |a_ij x_j|: the size the rounding of residual i scales with.
double ResidualSize(const Matrix& A, const Matrix& b, const Matrix& x, int i)
{
    double size = std::fabs(b(i, 0));
    for (int j = 0; j < A.Columns(); ++j)
        size += std::fabs(A(i, j) * x(j, 0));
    return size;
}

// Row i of A times y.
double RowTimes(const Matrix& A, int i, const std::vector<double>& y)
{
    double sum = 0.0;
    for (int j = 0; j < A.Columns(); ++j)
        sum += A(i, j) * y[static_cast<std::size_t>(j)];
    return sum;
}

} // namespace

SolutionCheck FailedCheck(int causeId)
{
    SolutionCheck check;
    check.optimality = Optimality::kFailed;
    check.causeId = causeId;
    return check;
}

SolutionCheck ApproximateCheck()
{
    SolutionCheck check;
    check.optimality = Optimality::kApproximate;
    check.causeId = kStringOptimalityApproximate;
    return check;
}

double LargestResidual(const Matrix& r)
{
    double largest = 0.0;
    for (int i = 0; i < r.Rows(); ++i)
        largest = std::max(largest, std::fabs(r(i, 0)));
    return largest;
}

const char* OptimalityName(Optimality optimality)
{
    switch (optimality) {
    case Optimality::kProved:
        return "proved";
    case Optimality::kApproximate:
        return "approximate";
    case Optimality::kFailed:
        return "failed";
    }
    return "";
}

double ScaledConditionNumber(const std::vector<double>& N, const Matrix& Q)
{
    const int u = Q.Rows();
    std::vector<double> root(static_cast<std::size_t>(u)); // sqrt(N_jj) = 1 / D_jj
    for (int j = 0; j < u; ++j) {
        const double n = N[At(j, j, u)];
        if (!PositiveFinite(n) || !PositiveFinite(Q(j, j)))
            return kInfinity;
        root[static_cast<std::size_t>(j)] = std::sqrt(n);
    }
    double normN = 0.0;
    double normQ = 0.0;
    for (int j = 0; j < u; ++j) {
        double columnN = 0.0;
        double columnQ = 0.0;
        const double rj = root[static_cast<std::size_t>(j)];
        for (int i = 0; i < u; ++i) {
            const double ri = root[static_cast<std::size_t>(i)];
            columnN += std::fabs(N[At(i, j, u)]) / (ri * rj);
            columnQ += std::fabs(Q(i, j)) * (ri * rj);
        }
        normN = std::max(normN, columnN);
        normQ = std::max(normQ, columnQ);
    }
    const double cond = normN * normQ;
    return std::isnan(cond) ? kInfinity : cond;
}

SolutionCheck NormalEquationsCheck(const std::vector<double>& N, const Matrix& Q)
{
    const double cond = ScaledConditionNumber(N, Q);
    const double digits = -std::log10(cond * kEpsilon);
    if (!(digits >= kFailingDigits)) {
        SolutionCheck check = FailedCheck(kStringSingularNormals);
        if (std::isfinite(cond))
            check.conditionNumber = cond;
        check.estimatedDigits = 0;
        return check;
    }
    SolutionCheck check;
    check.conditionNumber = cond;
    check.estimatedDigits = static_cast<int>(std::floor(digits));
    if (*check.estimatedDigits < kWarningDigits)
        check.causeId = kStringFewDigits;
    return check;
}

namespace {

// Solves the u x k system M lambda = rhs (M row-major, u >= k rows) by
// Gaussian elimination with partial pivoting; the u - k rows left over must
// hold up to rounding. False when a pivot vanishes or they do not hold.
bool SolveTall(std::vector<double> M, int u, int k, std::vector<double> rhs, std::vector<double>& lambda)
{
    double largest = 0.0;
    for (double value : M)
        largest = std::max(largest, std::fabs(value));
    const double tiny = largest * kEpsilon * u;
    for (int c = 0; c < k; ++c) {
        int pivot = c;
        for (int row = c + 1; row < u; ++row)
            if (std::fabs(M[At(row, c, k)]) > std::fabs(M[At(pivot, c, k)]))
                pivot = row;
        if (!(std::fabs(M[At(pivot, c, k)]) > tiny))
            return false;
        for (int j = 0; j < k; ++j)
            std::swap(M[At(c, j, k)], M[At(pivot, j, k)]);
        std::swap(rhs[static_cast<std::size_t>(c)], rhs[static_cast<std::size_t>(pivot)]);
        for (int row = c + 1; row < u; ++row) {
            const double factor = M[At(row, c, k)] / M[At(c, c, k)];
            for (int j = c; j < k; ++j)
                M[At(row, j, k)] -= factor * M[At(c, j, k)];
            rhs[static_cast<std::size_t>(row)] -= factor * rhs[static_cast<std::size_t>(c)];
        }
    }
    double rhsSize = 0.0;
    for (double value : rhs)
        rhsSize = std::max(rhsSize, std::fabs(value));
    for (int row = k; row < u; ++row)
        if (std::fabs(rhs[static_cast<std::size_t>(row)]) > 1e-8 * std::max(rhsSize, 1.0))
            return false;
    lambda.assign(static_cast<std::size_t>(k), 0.0);
    for (int c = k - 1; c >= 0; --c) {
        double sum = rhs[static_cast<std::size_t>(c)];
        for (int j = c + 1; j < k; ++j)
            sum -= M[At(c, j, k)] * lambda[static_cast<std::size_t>(j)];
        lambda[static_cast<std::size_t>(c)] = sum / M[At(c, c, k)];
    }
    return true;
}

// A^T diag(w2) A (u x u, row-major), the rows of weight 0 left out.
std::vector<double> WeightedNormalMatrix(const Matrix& A, const std::vector<double>& w2)
{
    const int u = A.Columns();
    std::vector<double> M(static_cast<std::size_t>(u) * static_cast<std::size_t>(u), 0.0);
    std::vector<int> used;
    used.reserve(static_cast<std::size_t>(u));
    for (int i = 0; i < A.Rows(); ++i) {
        const double weight = w2[static_cast<std::size_t>(i)];
        if (weight == 0.0)
            continue;
        // A zero entry adds +-0 to its sums, which leaves them as they are
        // (they start at +0): only the entries that are not zero are used
        // (two in a row of a levelling network), unless a product with a
        // zero could be a NaN.
        used.clear();
        bool finite = true;
        for (int j = 0; j < u; ++j) {
            finite = finite && std::isfinite(A(i, j) * weight);
            if (A(i, j) != 0.0)
                used.push_back(j);
        }
        if (!finite) {
            used.resize(static_cast<std::size_t>(u));
            std::iota(used.begin(), used.end(), 0);
        }
        for (const int j : used)
            for (const int k : used)
                M[At(j, k, u)] += A(i, j) * weight * A(i, k);
    }
    return M;
}

// The change of psi that makes every column of the gradient vanish at
// once, in units of each row's rounding rho: the change of least weighted
// 2-norm, dpsi = R A y with (A^T R A) y = -g, R = diag(rho^2), bounds the
// smallest such change from above. Infinite where A^T R A is singular: no
// change within the rows' rounding zeroes every column together, however
// large each column's own allowance.
double JointRoundings(const Matrix& A, const std::vector<double>& rho, const std::vector<double>& gradient)
{
    const int n = A.Rows();
    const int u = A.Columns();
    double largest = 0.0;
    for (double value : rho)
        largest = std::max(largest, value);
    // R scaled by the largest rho (the change does not depend on R's scale);
    // rows of infinite rounding absorb any change alone.
    std::vector<double> weight(rho.size(), 0.0);
    std::vector<double> w2(rho.size(), 0.0);
    for (std::size_t i = 0; i < rho.size(); ++i) {
        weight[i] = std::isinf(largest) ? (std::isinf(rho[i]) ? 1.0 : 0.0) : rho[i] / largest;
        w2[i] = weight[i] * weight[i];
    }
    std::vector<double> M = WeightedNormalMatrix(A, w2);
    std::vector<double> minusG(gradient.size());
    for (std::size_t j = 0; j < gradient.size(); ++j)
        minusG[j] = -gradient[j];
    std::vector<double> y;
    if (!SolveTall(std::move(M), u, u, std::move(minusG), y))
        return kInfinity;
    double units = 0.0;
    for (int i = 0; i < n; ++i) {
        const double w = weight[static_cast<std::size_t>(i)];
        if (w == 0.0 || std::isinf(rho[static_cast<std::size_t>(i)]))
            continue;
        const double ratio = std::fabs(w * w * RowTimes(A, i, y)) / rho[static_cast<std::size_t>(i)];
        units = std::isnan(ratio) ? kInfinity : std::max(units, ratio);
    }
    return units;
}

// How far the largest multiplier lies beyond 1; infinite for none.
double Beyond(const std::vector<double>& lambda)
{
    double beyond = lambda.empty() ? kInfinity : 0.0;
    for (double value : lambda)
        beyond = std::isnan(value) ? kInfinity : std::max(beyond, std::fabs(value) - 1.0);
    return beyond;
}

// A residual outside the basis that is zero up to rounding: its multiplier
// may be anything in [-1, 1].
bool IsZeroResidual(double v, double largest)
{
    return std::fabs(v) <= largest * kEpsilon * 64;
}

// The basic rows and g = -(sum of sign(v_i) a_i over the other rows):
// their multipliers solve sum_basic lambda_i a_i = g. A zero residual
// outside the basis takes the sign of its side where sides are given, else
// it is left out and the vertex counts as degenerate (its multiplier may be
// anything in [-1, 1]).
struct DualParts {
    std::vector<int> rows;
    std::vector<double> g;
    bool degenerate = false;
    bool sided = false; // a zero residual took the sign of its side
};

DualParts GatherDual(const Matrix& A, const Matrix& r, const std::vector<bool>& basic, double largest,
                     const std::vector<signed char>* sides)
{
    const int u = A.Columns();
    DualParts parts;
    parts.g.assign(static_cast<std::size_t>(u), 0.0);
    for (int i = 0; i < A.Rows(); ++i) {
        if (basic[static_cast<std::size_t>(i)]) {
            parts.rows.push_back(i);
            continue;
        }
        const double v = r(i, 0);
        double sign = v > 0.0 ? 1.0 : -1.0;
        if (IsZeroResidual(v, largest)) {
            const int side = sides != nullptr ? (*sides)[static_cast<std::size_t>(i)] : 0;
            if (side == 0) {
                parts.degenerate = true;
                continue;
            }
            sign = side;
            parts.sided = true;
        }
        for (int j = 0; j < u; ++j)
            parts.g[static_cast<std::size_t>(j)] -= sign * A(i, j);
    }
    return parts;
}

// The multipliers of the basic rows; false where they are not determined.
bool BasicMultipliers(const Matrix& A, const DualParts& parts, std::vector<double>& lambda)
{
    const int u = A.Columns();
    const int k = static_cast<int>(parts.rows.size());
    if (k > u)
        return false;
    std::vector<double> M(static_cast<std::size_t>(u) * static_cast<std::size_t>(k));
    for (int c = 0; c < k; ++c)
        for (int j = 0; j < u; ++j)
            M[At(j, c, k)] = A(parts.rows[static_cast<std::size_t>(c)], j);
    return SolveTall(std::move(M), u, k, parts.g, lambda);
}

// With zero residuals outside the basis, every zero row may carry a
// multiplier: the ones of least 2-norm, lambda = A_Z y with
// (A_Z^T A_Z) y = g, often lie in [-1, 1] where the basic rows alone do not.
std::vector<double> MinimumNormMultipliers(const Matrix& A, const Matrix& r, const std::vector<bool>& basic,
                                           double largest, const std::vector<double>& g)
{
    const int u = A.Columns();
    std::vector<int> zeros;
    std::vector<double> isZero(static_cast<std::size_t>(A.Rows()), 0.0);
    for (int i = 0; i < A.Rows(); ++i)
        if (basic[static_cast<std::size_t>(i)] || IsZeroResidual(r(i, 0), largest)) {
            zeros.push_back(i);
            isZero[static_cast<std::size_t>(i)] = 1.0;
        }
    std::vector<double> y;
    if (!SolveTall(WeightedNormalMatrix(A, isZero), u, u, g, y))
        return {};
    std::vector<double> lambda;
    for (int i : zeros)
        lambda.push_back(RowTimes(A, i, y));
    return lambda;
}

} // namespace

SolutionCheck LpFirstOrderCheck(const Matrix& A, const Matrix& b, const Matrix& x, const Matrix& r, double p)
{
    const int n = A.Rows();
    const int u = A.Columns();
    const double scale = LargestResidual(r);
    if (!std::isfinite(scale))
        return FailedCheck(kStringNotOptimal);
    if (scale == 0.0) // an exact fit is a minimum of every norm
        return SolutionCheck{};
    std::vector<double> gradient(static_cast<std::size_t>(u), 0.0);
    std::vector<double> terms(static_cast<std::size_t>(u), 0.0);
    std::vector<double> rounding(static_cast<std::size_t>(u), 0.0);
    std::vector<double> psiRoundings(static_cast<std::size_t>(n), 0.0);
    for (int i = 0; i < n; ++i) {
        const double q = r(i, 0) / scale;
        const double magnitude = std::fabs(q);
        const double psi = std::copysign(std::pow(magnitude, p - 1.0), q);
        // The residual's own rounding, carried through psi's slope.
        const double size = ResidualSize(A, b, x, i);
        // The largest residuals have q = +-1 exactly whatever their rounding;
        // the scale's rounding scales every psi alike and makes no gradient.
        const bool exact = magnitude == 1.0 || magnitude == 0.0;
        const double slope = exact ? 0.0 : (p - 1.0) * std::pow(magnitude, p - 2.0);
        const double psiRounding = std::fabs(psi) * kEpsilon + slope * (u + 1) * kEpsilon * size / scale;
        psiRoundings[static_cast<std::size_t>(i)] = psiRounding;
        for (int j = 0; j < u; ++j) {
            const double a = A(i, j);
            gradient[static_cast<std::size_t>(j)] += a * psi;
            terms[static_cast<std::size_t>(j)] += std::fabs(a * psi);
            rounding[static_cast<std::size_t>(j)] += std::fabs(a) * psiRounding;
        }
    }
    double units = 0.0; // the largest gradient element in units of its rounding
    for (std::size_t j = 0; j < gradient.size(); ++j) {
        const double unit = std::max(rounding[j], terms[j] * kEpsilon);
        const double ratio = unit > 0.0 ? std::fabs(gradient[j]) / unit : 0.0;
        units = std::isnan(ratio) ? kInfinity : std::max(units, ratio);
    }
    // Each column alone may be zeroed by a change of psi that another column
    // forbids: at large p the largest residuals' psi swings by their whole
    // size within Newton's stop, and any point whose largest residuals sit
    // in two rows would pass column by column.
    if (units > kPlainRoundings && units <= kApproximateRoundings)
        units = std::max(units, JointRoundings(A, psiRoundings, gradient));
    if (units <= kProvedRoundings)
        return SolutionCheck{};
    if (units <= kApproximateRoundings)
        return ApproximateCheck();
    return FailedCheck(kStringNotOptimal);
}

bool LpCheckIsCoarse(const Matrix& A, const Matrix& b, const Matrix& x, const Matrix& r, double p)
{
    constexpr double kSwing = 1e-2;
    const int u = A.Columns();
    const double scale = LargestResidual(r);
    // Rows below half the largest residual carry psi below 2^-(p-1): they
    // matter only where p is small, and there they swing little.
    double largestSwing = 0.0;
    for (int i = 0; i < r.Rows(); ++i) {
        const double magnitude = std::fabs(r(i, 0));
        if (!(magnitude >= 0.5 * scale) || magnitude == 0.0)
            continue;
        const double swing = (p - 1.0) * kProvedRoundings * (u + 1) * kEpsilon * ResidualSize(A, b, x, i) / magnitude;
        largestSwing = std::max(largestSwing, swing);
    }
    return !(largestSwing < kSwing);
}

SolutionCheck L1DualCheck(const Matrix& A, const Matrix& r, const std::vector<bool>& basic,
                          const std::vector<signed char>* sides)
{
    const int n = A.Rows();
    if (static_cast<int>(basic.size()) != n || (sides != nullptr && static_cast<int>(sides->size()) != n))
        return FailedCheck(kStringNotOptimal);
    const double largest = LargestResidual(r);
    if (!std::isfinite(largest))
        return FailedCheck(kStringNotOptimal);
    DualParts parts = GatherDual(A, r, basic, largest, sides);
    if (parts.sided) {
        std::vector<double> lambda;
        if (!parts.rows.empty() && BasicMultipliers(A, parts, lambda) && Beyond(lambda) <= kMultiplierRounding)
            return SolutionCheck{};
        parts = GatherDual(A, r, basic, largest, nullptr);
    }
    if (parts.rows.empty()) // no basic row: g itself must vanish
        return largest == 0.0 ? SolutionCheck{} : ApproximateCheck();
    std::vector<double> lambda;
    if (!BasicMultipliers(A, parts, lambda))
        return ApproximateCheck();
    const bool degenerate = parts.degenerate;
    double beyond = Beyond(lambda);
    if (beyond > kMultiplierRounding && degenerate)
        beyond = std::min(beyond, Beyond(MinimumNormMultipliers(A, r, basic, largest, parts.g)));
    if (beyond <= kMultiplierRounding)
        return SolutionCheck{};
    if (beyond <= kMultiplierApproximate || degenerate)
        return ApproximateCheck();
    return FailedCheck(kStringNotOptimal);
}

SolutionCheck CombinedCheck(const SolutionCheck& condition, const SolutionCheck& optimality)
{
    SolutionCheck check = condition;
    check.optimality = std::max(condition.optimality, optimality.optimality);
    if (condition.Failed())
        return check;
    if (optimality.Failed() || condition.causeId == 0)
        check.causeId = optimality.causeId;
    return check;
}

std::string CheckCauseText(const SolutionCheck& check)
{
    if (check.causeId == 0)
        return {};
    const char* text = LoadString(check.causeId);
    if (check.causeId != kStringFewDigits)
        return text;
    std::string formatted = text;
    const std::size_t at = formatted.find("%d");
    if (at != std::string::npos)
        formatted.replace(at, 2, std::to_string(check.estimatedDigits.value_or(0)));
    return formatted;
}
