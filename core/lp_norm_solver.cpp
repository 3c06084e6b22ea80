#include "core/lp_norm_solver.h"

#include "core/cholesky.h"
#include "core/irls_pass.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <new>
#include <optional>
#include <utility>
#include <vector>

namespace {

// For p < 2 the weight |q|^(p-2) grows without bound as a residual
// vanishes; below this share of the largest residual, about the rounding of
// a residual, it is held at kWeightCap^(p-2).
constexpr double kWeightCap = 1e-15;
// The line search ends at a step length t with phi'(t) <= 0 and
// |phi'(t)| <= kCurvature |phi'(0)|, close to the minimum along the line.
constexpr double kCurvature = 0.1;
constexpr int kMaxEvaluations = 60;
// The Newton step is negligible when it changes no unknown by more than
// kStepTolerance of the largest unknown, or no residual by more than
// kResidualTolerance of the largest residual.
constexpr double kStepTolerance = 1e-10;
constexpr double kResidualTolerance = 1e-12;
// Rounding sets a floor below which the Newton step does not shrink. A run
// that stays on it for kStallLimit passes, or whose step is lost in the
// rounding of x, ends at the minimiser when the step is within
// kFloorFactor times the tolerances above, and short of it otherwise.
constexpr double kFloorFactor = 1000.0;
constexpr int kStallLimit = 3;

using Vector = std::vector<double>;

std::size_t Size(int count)
{
    return static_cast<std::size_t>(count);
}

double LargestMagnitude(const Vector& values)
{
    double largest = 0.0;
    for (double value : values) {
        const double magnitude = std::fabs(value);
        if (!(magnitude <= largest)) // a NaN is kept
            largest = magnitude;
    }
    return largest;
}

// sign(q) |q|^(p-1), the derivative of |q|^p divided by p.
double Psi(double q, double p)
{
    return std::copysign(std::pow(std::fabs(q), p - 1.0), q);
}

// A point of the search. psi is taken of the residuals divided by scale,
// the largest residual of the point where the search stands, so that it
// lies in [-1, 1] there whatever p is.
struct Point {
    Vector x;
    Vector r; // a_i x - b_i
    Vector psi;
    double scale = 0.0;
};

void SetPsi(double p, double scale, Point& point)
{
    point.psi.resize(point.r.size());
    point.scale = scale;
    for (std::size_t i = 0; i < point.r.size(); ++i)
        point.psi[i] = Psi(point.r[i] / scale, p);
}

// The residuals at point.x and psi of them divided by scale.
void Evaluate(const Matrix& A, const Vector& b, double p, double scale, Point& point)
{
    const int n = A.Rows();
    point.r.resize(Size(n));
    ComputeResiduals(A.Data(), point.x.data(), b.data(), point.r.data(), n, A.Columns());
    SetPsi(p, scale, point);
}

// Takes the point's own largest residual as its scale: psi grows by
// (scale / largest)^(p-1), computed afresh when that factor would lose psi
// to underflow.
void Rescale(double p, Point& point)
{
    const double largest = LargestMagnitude(point.r);
    if (largest == 0.0) // an exact fit: every psi is 0
        return;
    const double factor = std::pow(point.scale / largest, p - 1.0);
    if (!(factor < 1e250)) {
        SetPsi(p, largest, point);
        return;
    }
    for (double& value : point.psi)
        value *= factor;
    point.scale = largest;
}

// Solves N z = rhs for the symmetric positive definite u x u row-major N by
// Cholesky's method; false when a pivot is not positive (N singular).
bool SolveCholesky(const Vector& N, int u, Vector rhs, Vector& z)
{
    const std::optional<Vector> factor = CholeskyFactor(N.data(), Size(u));
    if (!factor.has_value())
        return false;
    const auto at = [&factor, u](int r, int c) { return (*factor)[Size(r) * Size(u) + Size(c)]; };
    for (int i = 0; i < u; ++i) { // L y = rhs
        for (int k = 0; k < i; ++k)
            rhs[Size(i)] -= at(i, k) * rhs[Size(k)];
        rhs[Size(i)] /= at(i, i);
    }
    for (int i = u - 1; i >= 0; --i) { // L^T z = y
        for (int k = i + 1; k < u; ++k)
            rhs[Size(i)] -= at(k, i) * rhs[Size(k)];
        rhs[Size(i)] /= at(i, i);
    }
    z = std::move(rhs);
    return true;
}

// N + damping * diag(N).
Vector Damped(const Vector& N, int u, double damping)
{
    Vector damped = N;
    for (int k = 0; k < u; ++k)
        damped[Size(k) * Size(u) + Size(k)] *= 1.0 + damping;
    return damped;
}

// Weights W_i = |q_i|^(p-2) = psi_i / q_i and right-hand sides y_i with
// W_i y_i = psi_i, so that A^T W y is the scaled gradient A^T psi.
void NewtonWeights(const Point& point, double p, Vector& w, Vector& y)
{
    const double cappedWeight = std::pow(kWeightCap, p - 2.0);
    w.resize(point.r.size());
    y.resize(point.r.size());
    for (std::size_t i = 0; i < point.r.size(); ++i) {
        const double q = point.r[i] / point.scale;
        if (p < 2.0 && std::fabs(q) < kWeightCap) {
            w[i] = cappedWeight;
            y[i] = point.psi[i] / cappedWeight;
        } else {
            w[i] = q != 0.0 ? point.psi[i] / q : 0.0;
            y[i] = q;
        }
    }
}

// The step s to the reweighted least-squares solution, (p - 1) times the
// Newton step. N is damped when rounding leaves it not positive definite
// (at large p few observations carry weight).
bool NewtonDirection(const Matrix& A, const Point& point, double p, Vector& step)
{
    Vector w;
    Vector y;
    NewtonWeights(point, p, w, y);
    const NormalEquations equations = FormNormalEquations(A, w, y);
    const int u = A.Columns();
    for (double damping = 0.0; damping <= 1e4; damping = damping == 0.0 ? 1e-12 : damping * 100.0) {
        Vector z;
        if (!SolveCholesky(Damped(equations.matrix, u, damping), u, equations.rightHandSide, z))
            continue;
        step.resize(z.size());
        bool finite = true;
        for (std::size_t k = 0; k < z.size(); ++k) {
            step[k] = -point.scale * z[k];
            finite = finite && std::isfinite(step[k]);
        }
        if (finite)
            return true;
    }
    return false;
}

// phi'(t) / (p scale^(p-1)) for phi(t) = F(x + t s), with delta = A s:
// sum_i psi_i delta_i. NaN when a residual has overflowed.
double Slope(const Point& point, const Vector& delta)
{
    double slope = 0.0;
    for (std::size_t i = 0; i < delta.size(); ++i)
        slope += point.psi[i] * delta[i];
    return slope;
}

// The search for the root of phi' along the line. While no step length has
// shown phi' > 0, it goes beyond the last one by the secant through the two
// last points, at most four times as far. Once [lo, hi] brackets the root it
// takes the Illinois variant of regula falsi (the slope kept at an end that
// stays twice in a row is halved) and bisects when two steps did not halve
// the bracket, as where phi' climbs steeply at large p.
class RootSearch {
public:
    explicit RootSearch(double slopeAtZero) : slopeBefore(slopeAtZero), slopeLo(slopeAtZero) {}

    void Add(double t, double slope)
    {
        if (slope <= 0.0) {
            before = lo;
            slopeBefore = slopeLo;
            lo = t;
            slopeLo = slope;
            slopeHi *= lastSide == Side::kLow ? 0.5 : 1.0;
            lastSide = Side::kLow;
        } else {
            hi = t;
            slopeHi = slope; // NaN when a residual has overflowed
            slopeLo *= lastSide == Side::kHigh ? 0.5 : 1.0;
            lastSide = Side::kHigh;
        }
        widthBefore = width;
        width = hi - lo;
    }

    double Next() const
    {
        if (std::isinf(hi)) {
            const double secant = lo + slopeLo * (lo - before) / (slopeBefore - slopeLo);
            return secant > lo ? std::fmin(secant, 4.0 * lo) : 4.0 * lo;
        }
        if (!(width <= 0.5 * widthBefore))
            return 0.5 * (lo + hi);
        const double falsi = lo - slopeLo * (hi - lo) / (slopeHi - slopeLo);
        return falsi > lo && falsi < hi ? falsi : 0.5 * (lo + hi);
    }

private:
    double before = 0.0;
    double slopeBefore;
    double lo = 0.0;
    double slopeLo;
    double hi = std::numeric_limits<double>::infinity();
    double slopeHi = 0.0;
    enum class Side { kNone, kLow, kHigh };
    Side lastSide = Side::kNone;
    double width = std::numeric_limits<double>::infinity();
    double widthBefore = std::numeric_limits<double>::infinity();
};

// One pass's search along x + t s. Every point it keeps has phi'(t) <= 0,
// so F has not risen there (phi is convex).
class LineSearch {
public:
    LineSearch(const Matrix& A, const Vector& b, double p, const Point& current, const Vector& step)
        : A(A), b(b), p(p), current(current), step(step), delta(b.size())
    {
        const Vector zeros(b.size(), 0.0);
        ComputeResiduals(A.Data(), step.data(), zeros.data(), delta.data(), A.Rows(), A.Columns());
        slopeAtZero = Slope(current, delta);
    }

    const Vector& Delta() const { return delta; }
    double SlopeAtZero() const { return slopeAtZero; }

    // phi' at t; a point with phi' <= 0 is kept as the best so far.
    double SlopeAt(double t)
    {
        trial.x.resize(current.x.size());
        for (std::size_t k = 0; k < current.x.size(); ++k)
            trial.x[k] = current.x[k] + t * step[k];
        Evaluate(A, b, p, current.scale, trial);
        const double slope = Slope(trial, delta);
        if (slope <= 0.0) {
            std::swap(best, trial);
            found = true;
        }
        return slope;
    }

    // From the slope at the first length tried, on to a length close to the
    // minimum along the line; false when no point with phi' <= 0 was found.
    bool Run(double t, double slope)
    {
        RootSearch search(slopeAtZero);
        for (int evaluation = 1; !IsCloseToMinimum(slope); ++evaluation) {
            if (evaluation == kMaxEvaluations)
                return found;
            search.Add(t, slope);
            t = search.Next();
            slope = SlopeAt(t);
        }
        return true;
    }

    bool IsCloseToMinimum(double slope) const { return slope <= 0.0 && slope >= kCurvature * slopeAtZero; }

    // The last point kept, which becomes the current one.
    Point& Best() { return best; }

private:
    const Matrix& A;
    const Vector& b;
    double p;
    const Point& current;
    const Vector& step;
    Vector delta;
    double slopeAtZero = 0.0;
    Point trial;
    Point best;
    bool found = false;
};

// How far the Newton step is from negligible: 1 at the tolerances.
double NewtonStepSize(const Point& current, const Vector& step, const Vector& delta, double newton)
{
    const double unknowns = newton * LargestMagnitude(step) / (kStepTolerance * LargestMagnitude(current.x));
    const double residuals = newton * LargestMagnitude(delta) / (kResidualTolerance * current.scale);
    return std::fmin(unknowns, residuals);
}

void SetOutput(const Point& point, Matrix& x, Matrix& residuals)
{
    x = Matrix(static_cast<int>(point.x.size()), 1, 0.0);
    residuals = Matrix(static_cast<int>(point.r.size()), 1, 0.0);
    if (!x.IsValid() || !residuals.IsValid())
        throw std::bad_alloc();
    for (std::size_t k = 0; k < point.x.size(); ++k)
        x[static_cast<int>(k)][0] = point.x[k];
    for (std::size_t i = 0; i < point.r.size(); ++i)
        residuals[static_cast<int>(i)][0] = point.r[i];
}

void ReportPass(const LpNormProgress& progress, int pass, const Point& point)
{
    if (progress)
        progress(pass, point.x);
}

// Counts the passes in a row whose Newton step is within the floor and has
// not shrunk to half the one before.
class StallCounter {
public:
    bool Stalled(double size)
    {
        stalls = size <= kFloorFactor && size > 0.5 * lastSize ? stalls + 1 : 0;
        lastSize = size;
        return stalls == kStallLimit;
    }

private:
    double lastSize = std::numeric_limits<double>::infinity();
    int stalls = 0;
};

// The status of a run that can get no further.
int FloorStatus(double size)
{
    return size <= kFloorFactor ? kLpNormMinimum : kLpNormNoConvergence;
}

void Accept(double p, Point& point, Point& current)
{
    Rescale(p, point);
    std::swap(current, point);
}

// At large p, |q|^(p-1) underflows to 0 for all but the residuals nearest
// the largest: with fewer than u of them left, Newton's normal matrix is
// singular and its step meaningless.
bool WeightsVanish(const Point& point, int u)
{
    int carrying = 0;
    for (double value : point.psi)
        carrying += value != 0.0 ? 1 : 0;
    return carrying < u;
}

// The Newton passes from the least-squares start; the status of the run.
int Minimise(const Matrix& A, const Vector& b, double p, int maxPasses, Point& current, int& passes,
             const LpNormProgress& progress)
{
    const double newton = 1.0 / (p - 1.0);
    Vector step;
    StallCounter stall;
    while (passes < maxPasses) {
        if (LargestMagnitude(current.r) == 0.0) // an exact fit
            return kLpNormMinimum;
        ReportPass(progress, ++passes, current);
        if (!NewtonDirection(A, current, p, step))
            return kLpNormNoConvergence;
        LineSearch search(A, b, p, current, step);
        const double size = NewtonStepSize(current, step, search.Delta(), newton);
        const double slopeAtNewton = search.SlopeAt(newton);
        if (size <= 1.0 && slopeAtNewton >= 0.5 * search.SlopeAtZero()) {
            if (slopeAtNewton <= 0.0)
                Accept(p, search.Best(), current);
            return kLpNormMinimum;
        }
        if (stall.Stalled(size) || !(search.SlopeAtZero() < 0.0) || !search.Run(newton, slopeAtNewton) ||
            search.Best().x == current.x)
            return FloorStatus(size);
        Accept(p, search.Best(), current);
    }
    return kLpNormNoConvergence;
}

} // namespace

LpNormSolution SolveLpNorm(const Matrix& A, const Matrix& b, double p, int maxPasses, Matrix& x,
                           Matrix& residuals, const LpNormProgress& progress, const Matrix* start)
{
    const int n = A.Rows();
    const int u = A.Columns();
    const Vector observations(b.Data(), b.Data() + n);
    LpNormSolution solution;
    Point current;

    ReportPass(progress, ++solution.passes, current);
    const NormalEquations leastSquares =
        start != nullptr ? NormalEquations{} : FormNormalEquations(A, Vector(Size(n), 1.0), observations);
    if (start != nullptr)
        current.x.assign(start->Data(), start->Data() + u);
    else if (!SolveCholesky(leastSquares.matrix, u, leastSquares.rightHandSide, current.x)) {
        current.x.assign(Size(u), std::numeric_limits<double>::quiet_NaN());
        current.r.assign(Size(n), std::numeric_limits<double>::quiet_NaN());
        SetOutput(current, x, residuals);
        solution.status = kLpNormNotFinite;
        return solution;
    }
    current.r.resize(Size(n));
    ComputeResiduals(A.Data(), current.x.data(), observations.data(), current.r.data(), n, u);
    const double largest = LargestMagnitude(current.r);
    if (!std::isfinite(largest))
        solution.status = kLpNormNotFinite;
    else if (p != 2.0 && largest > 0.0) {
        SetPsi(p, largest, current);
        solution.status = WeightsVanish(current, u)
                              ? kLpNormNoConvergence
                              : Minimise(A, observations, p, maxPasses, current, solution.passes, progress);
    }
    SetOutput(current, x, residuals);
    return solution;
}
