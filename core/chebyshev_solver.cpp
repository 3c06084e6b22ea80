#include "core/chebyshev_solver.h"

#include "core/irls_pass.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

namespace {

// A reduced cost counts as positive only beyond this share of the size of
// the terms it is summed from; below that it is rounding noise. The size
// can be far above the residuals (coordinates of 1e7 with residuals of
// 1e-3), so the share is kept a few hundred roundings small.
constexpr double kCostTolerance = 1e-13;
// Entries of a transformed column below this share of its largest entry
// are taken as zero and never pivoted on.
constexpr double kPivotTolerance = 1e-10;
// The artificial variables start summing to 1; after the first phase what
// is left of them must be rounding noise.
constexpr double kFeasibilityTolerance = 1e-9;
// The final vertex counts as optimal only when the minimax value its dual
// solution proves lies this close, relative to the size of the terms of the
// residuals, to the largest residual of x: a hundred times the pricing
// tolerance, far below any true improvement.
constexpr double kCertificateTolerance = 1e-11;
// Degenerate exchanges in a row before Bland's rule takes over; Bland's
// smallest-index choice cannot cycle.
constexpr int kDegenerateRunLimit = 30;
// The basis inverse is rebuilt from its columns this often, so that the
// rounding of the product-form updates does not accumulate.
constexpr int kRefactorInterval = 40;

enum class Phase { kFeasibility, kOptimality };

// Gauss-Jordan inversion of the m x m row-major matrix a with partial
// pivoting; false when a pivot vanishes.
bool InvertDense(std::vector<double> a, int m, std::vector<double>& inverse)
{
    inverse.assign(static_cast<std::size_t>(m) * m, 0.0);
    for (int i = 0; i < m; ++i)
        inverse[static_cast<std::size_t>(i) * m + i] = 1.0;
    double largest = 0.0;
    for (double value : a)
        largest = std::fmax(largest, std::fabs(value));
    for (int col = 0; col < m; ++col) {
        int pivotRow = col;
        for (int r = col + 1; r < m; ++r)
            if (std::fabs(a[static_cast<std::size_t>(r) * m + col]) > std::fabs(a[static_cast<std::size_t>(pivotRow) * m + col]))
                pivotRow = r;
        const double pivot = a[static_cast<std::size_t>(pivotRow) * m + col];
        if (!(std::fabs(pivot) > 1e-14 * largest))
            return false;
        for (int c = 0; c < m; ++c) {
            std::swap(a[static_cast<std::size_t>(pivotRow) * m + c], a[static_cast<std::size_t>(col) * m + c]);
            std::swap(inverse[static_cast<std::size_t>(pivotRow) * m + c], inverse[static_cast<std::size_t>(col) * m + c]);
        }
        for (int c = 0; c < m; ++c) {
            a[static_cast<std::size_t>(col) * m + c] /= pivot;
            inverse[static_cast<std::size_t>(col) * m + c] /= pivot;
        }
        for (int r = 0; r < m; ++r) {
            const double factor = a[static_cast<std::size_t>(r) * m + col];
            if (r == col || factor == 0.0)
                continue;
            for (int c = 0; c < m; ++c) {
                a[static_cast<std::size_t>(r) * m + c] -= factor * a[static_cast<std::size_t>(col) * m + c];
                inverse[static_cast<std::size_t>(r) * m + c] -= factor * inverse[static_cast<std::size_t>(col) * m + c];
            }
        }
    }
    return true;
}

// Solves a y = rhs for the m x m row-major matrix a by Gaussian elimination
// with partial pivoting; false when a pivot vanishes. Unlike multiplying by
// an explicit inverse, this is backward stable: the equations hold to
// rounding even when a is ill-conditioned (large coordinates, nearly equal
// columns), which is what makes the basic residuals equal in size.
bool SolveDense(std::vector<double> a, int m, std::vector<double> rhs, std::vector<double>& y)
{
    double largest = 0.0;
    for (double value : a)
        largest = std::fmax(largest, std::fabs(value));
    const auto at = [&a, m](int r, int c) -> double& { return a[static_cast<std::size_t>(r) * m + c]; };
    for (int col = 0; col < m; ++col) {
        int pivotRow = col;
        for (int r = col + 1; r < m; ++r)
            if (std::fabs(at(r, col)) > std::fabs(at(pivotRow, col)))
                pivotRow = r;
        if (!(std::fabs(at(pivotRow, col)) > 1e-14 * largest))
            return false;
        if (pivotRow != col) {
            for (int c = 0; c < m; ++c)
                std::swap(at(pivotRow, c), at(col, c));
            std::swap(rhs[pivotRow], rhs[col]);
        }
        for (int r = col + 1; r < m; ++r) {
            const double factor = at(r, col) / at(col, col);
            if (factor == 0.0)
                continue;
            for (int c = col; c < m; ++c)
                at(r, c) -= factor * at(col, c);
            rhs[r] -= factor * rhs[col];
        }
    }
    y.assign(m, 0.0);
    for (int r = m - 1; r >= 0; --r) {
        double sum = rhs[r];
        for (int c = r + 1; c < m; ++c)
            sum -= at(r, c) * y[c];
        y[r] = sum / at(r, r);
    }
    return true;
}

// Revised simplex on the dual of the minimax programme (see the header).
// Columns: 2i is observation i with sign +1, i.e. (a_i, 1) with cost b_i;
// 2i + 1 is observation i with sign -1, (-a_i, 1) with cost -b_i; 2n + k is
// the artificial variable of row k, used only to find a first basis.
class DualSimplex {
public:
    DualSimplex(const Matrix& A, const Matrix& b);

    // Both phases; the status of the solution.
    int Solve();
    // The simplex multipliers (x, t) of the current basis, solved afresh.
    std::vector<double> Multipliers() const;
    int Pivots() const { return pivots; }
    // True when the dual solution of the basis proves that no x' has a
    // smaller largest residual than x (see the definition).
    bool CertifiesOptimum(const Matrix& x, const Matrix& residuals, double largest) const;

private:
    bool IsArtificial(int column) const { return column >= 2 * n; }
    void ColumnVector(int column, double* out) const;
    double Cost(int column) const;
    void ComputeMultipliers(std::vector<double>& pi) const;
    double TermSize(int i, const std::vector<double>& pi) const;
    double BasisTermSize(const std::vector<double>& pi) const;
    int ChooseEntering(const std::vector<double>& pi, bool bland) const;
    int ChooseLeaving(const std::vector<double>& alpha, bool bland) const;
    void TransformColumn(int column, std::vector<double>& alpha) const;
    bool Pivot(int row, int column, const std::vector<double>& alpha);
    void Refactor();
    bool RunPhase();
    double ArtificialSum() const;
    void DriveOutArtificials();
    int BestColumnForRow(int row) const;
    bool DualValues(std::vector<double>& y) const;
    std::vector<double> BasisMatrix(bool transposed) const;

    const Matrix& A;
    const Matrix& b;
    int n;
    int u;
    int m; // u + 1 rows of the dual
    Phase phase = Phase::kFeasibility;
    std::vector<double> inverse; // basis inverse, m x m row-major
    std::vector<double> values;  // values of the basic variables
    std::vector<int> basis;      // column of each basic position
    std::vector<char> inBasis;   // per column
    std::vector<double> columnSize; // max_i |a_ik| per unknown k
    int pivots = 0;
    int pivotLimit;
    int pivotsSinceRefactor = 0;
    int degenerateRun = 0;
};

DualSimplex::DualSimplex(const Matrix& A, const Matrix& b)
    : A(A), b(b), n(A.Rows()), u(A.Columns()), m(A.Columns() + 1)
{
    // Start from the artificial basis: B = I, values = right-hand side (0, ..., 0, 1).
    inverse.assign(static_cast<std::size_t>(m) * m, 0.0);
    values.assign(m, 0.0);
    basis.resize(m);
    inBasis.assign(static_cast<std::size_t>(2) * n + m, 0);
    for (int k = 0; k < m; ++k) {
        inverse[static_cast<std::size_t>(k) * m + k] = 1.0;
        basis[k] = 2 * n + k;
        inBasis[basis[k]] = 1;
    }
    values[m - 1] = 1.0;
    columnSize.assign(u, 0.0);
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < u; ++k)
            columnSize[k] = std::max(columnSize[k], std::fabs(A[i][k])); // finite here
    // Far above what the exchange needs in practice; only rounding trouble reaches it.
    const long long limit = 1000LL + 20LL * (static_cast<long long>(n) + m);
    pivotLimit = limit > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : static_cast<int>(limit);
}

void DualSimplex::ColumnVector(int column, double* out) const
{
    if (IsArtificial(column)) {
        for (int k = 0; k < m; ++k)
            out[k] = 0.0;
        out[column - 2 * n] = 1.0;
        return;
    }
    const double sign = (column & 1) ? -1.0 : 1.0;
    const double* row = A[column >> 1];
    for (int k = 0; k < u; ++k)
        out[k] = sign * row[k];
    out[u] = 1.0;
}

double DualSimplex::Cost(int column) const
{
    if (phase == Phase::kFeasibility)
        return IsArtificial(column) ? -1.0 : 0.0;
    if (IsArtificial(column))
        return 0.0;
    const double sign = (column & 1) ? -1.0 : 1.0;
    return sign * b[column >> 1][0];
}

// pi = c_B^T B^-1.
void DualSimplex::ComputeMultipliers(std::vector<double>& pi) const
{
    pi.assign(m, 0.0);
    for (int r = 0; r < m; ++r) {
        const double cost = Cost(basis[r]);
        if (cost == 0.0)
            continue;
        const double* row = &inverse[static_cast<std::size_t>(r) * m];
        for (int c = 0; c < m; ++c)
            pi[c] += cost * row[c];
    }
}

// The size of the terms of an observation's equation s (a_i x - b_i) = -t
// (without b_i in the first phase): the scale of its rounding.
double DualSimplex::TermSize(int i, const std::vector<double>& pi) const
{
    double size = std::fabs(pi[u]);
    for (int k = 0; k < u; ++k)
        size += std::fabs(A[i][k] * pi[k]);
    if (phase == Phase::kOptimality)
        size += std::fabs(b[i][0]);
    return size;
}

// The largest term size among the equations of the basis, which pi solves.
// The rounding of pi is relative to that, so no reduced cost is trusted
// below it, also where an observation's own terms are tiny: a zero row, or
// the unknowns of a dual row that rank deficiency leaves to an artificial
// variable (pi_k = -1 in the first phase), whose other pi_k are noise.
double DualSimplex::BasisTermSize(const std::vector<double>& pi) const
{
    double largest = 0.0;
    for (int r = 0; r < m; ++r) {
        const int column = basis[r];
        const double size = IsArtificial(column) ? std::fabs(pi[column - 2 * n]) : TermSize(column >> 1, pi);
        largest = std::fmax(largest, size);
    }
    return largest;
}

// The reduced cost of column (i, s) is cost - pi . column = -s q_i - t with
// q_i = a_i x - b_i (second phase; without b_i in the first), so the better
// sign of an observation is s = -sign(q_i) and its reduced cost |q_i| - t:
// the observation whose residual exceeds t the most enters.
int DualSimplex::ChooseEntering(const std::vector<double>& pi, bool bland) const
{
    const double t = pi[u];
    const bool withObservations = phase == Phase::kOptimality;
    const double basisSize = BasisTermSize(pi);
    int best = -1;
    double bestCost = 0.0;
    for (int i = 0; i < n; ++i) {
        const double* row = A[i];
        double q = 0.0;
        double size = std::fabs(t);
        for (int k = 0; k < u; ++k) {
            const double term = row[k] * pi[k];
            q += term;
            size += std::fabs(term);
        }
        if (withObservations) {
            q -= b[i][0];
            size += std::fabs(b[i][0]);
        }
        const double reducedCost = std::fabs(q) - t;
        if (!(reducedCost > kCostTolerance * (size > basisSize ? size : basisSize)))
            continue;
        const int column = 2 * i + (q > 0.0 ? 1 : 0);
        if (inBasis[column])
            continue;
        if (bland)
            return column;
        if (reducedCost > bestCost) {
            bestCost = reducedCost;
            best = column;
        }
    }
    return best;
}

void DualSimplex::TransformColumn(int column, std::vector<double>& alpha) const
{
    std::vector<double> vector(m);
    ColumnVector(column, vector.data());
    alpha.assign(m, 0.0);
    for (int r = 0; r < m; ++r) {
        const double* row = &inverse[static_cast<std::size_t>(r) * m];
        double sum = 0.0;
        for (int c = 0; c < m; ++c)
            sum += row[c] * vector[c];
        alpha[r] = sum;
    }
}

// Ratio test. An artificial variable still basic in the second phase holds
// a redundant row (see DriveOutArtificials): every column is zero there but
// for rounding, so it never leaves and stays at zero.
int DualSimplex::ChooseLeaving(const std::vector<double>& alpha, bool bland) const
{
    double largest = 0.0;
    for (double a : alpha)
        largest = std::fmax(largest, std::fabs(a));
    const double tolerance = kPivotTolerance * largest;
    const double tie = 1e-14;
    int bestRow = -1;
    double bestRatio = 0.0;
    for (int r = 0; r < m; ++r) {
        const double a = alpha[r];
        if (!(a > tolerance) || (phase == Phase::kOptimality && IsArtificial(basis[r])))
            continue;
        const double ratio = std::fmax(values[r], 0.0) / a;
        bool better = bestRow < 0 || ratio < bestRatio - tie;
        if (!better && ratio <= bestRatio + tie)
            better = bland ? basis[r] < basis[bestRow] : std::fabs(a) > std::fabs(alpha[bestRow]);
        if (better) {
            bestRow = r;
            bestRatio = ratio;
        }
    }
    return bestRow;
}

// Exchanges the basic variable of row for column; true when the step was
// degenerate (the entering variable stays at zero).
bool DualSimplex::Pivot(int row, int column, const std::vector<double>& alpha)
{
    const double pivot = alpha[row];
    const double theta = pivot > 0.0 ? std::fmax(values[row], 0.0) / pivot : 0.0;
    for (int r = 0; r < m; ++r)
        if (r != row)
            values[r] -= theta * alpha[r];
    values[row] = theta;

    double* pivotRow = &inverse[static_cast<std::size_t>(row) * m];
    for (int c = 0; c < m; ++c)
        pivotRow[c] /= pivot;
    for (int r = 0; r < m; ++r) {
        if (r == row || alpha[r] == 0.0)
            continue;
        double* target = &inverse[static_cast<std::size_t>(r) * m];
        for (int c = 0; c < m; ++c)
            target[c] -= alpha[r] * pivotRow[c];
    }
    inBasis[basis[row]] = 0;
    basis[row] = column;
    inBasis[column] = 1;
    ++pivots;
    ++pivotsSinceRefactor;
    return theta <= 0.0;
}

// B, or its transpose, row-major: column r of B is the basic column of row r.
std::vector<double> DualSimplex::BasisMatrix(bool transposed) const
{
    std::vector<double> matrix(static_cast<std::size_t>(m) * m);
    std::vector<double> column(m);
    for (int r = 0; r < m; ++r) {
        ColumnVector(basis[r], column.data());
        for (int k = 0; k < m; ++k)
            matrix[transposed ? static_cast<std::size_t>(r) * m + k : static_cast<std::size_t>(k) * m + r] = column[k];
    }
    return matrix;
}

// Rebuilds B^-1 from the basic columns and the values from B^-1 (0, ..., 0, 1).
void DualSimplex::Refactor()
{
    pivotsSinceRefactor = 0;
    std::vector<double> fresh;
    if (!InvertDense(BasisMatrix(false), m, fresh))
        return; // keep the updated inverse; the next rebuild may succeed
    inverse = std::move(fresh);
    for (int r = 0; r < m; ++r)
        values[r] = inverse[static_cast<std::size_t>(r) * m + (m - 1)];
}

// One simplex phase; false when it had to stop before the optimum.
bool DualSimplex::RunPhase()
{
    std::vector<double> pi;
    std::vector<double> alpha;
    degenerateRun = 0;
    while (pivots < pivotLimit) {
        if (pivotsSinceRefactor >= kRefactorInterval)
            Refactor();
        // Priced with multipliers solved afresh: those of the updated
        // inverse carry its rounding, which hides improvements of large
        // coordinates' small residuals.
        pi = Multipliers();
        const bool bland = degenerateRun >= kDegenerateRunLimit;
        const int entering = ChooseEntering(pi, bland);
        if (entering < 0)
            return true;
        TransformColumn(entering, alpha);
        const int leaving = ChooseLeaving(alpha, bland);
        if (leaving < 0)
            return false; // unbounded: impossible while the y sum to 1
        degenerateRun = Pivot(leaving, entering, alpha) ? degenerateRun + 1 : 0;
    }
    return false;
}

double DualSimplex::ArtificialSum() const
{
    double sum = 0.0;
    for (int r = 0; r < m; ++r)
        if (IsArtificial(basis[r]))
            sum += std::fabs(values[r]);
    return sum;
}

// The observation column with the largest entry in row of B^-1 A, or -1
// when the row is zero there (a redundant row: A is rank deficient, has
// zero rows, or fewer rows than u + 1).
//
// An entry is zero when it is below the rounding that the row of B^-1
// carries: that is relative to the whole row weighted by the size of each
// coordinate over all observations, not to the entry's own terms. A zero
// row of A has the entry rho_u alone, and rho_u can be pure rounding of an
// otherwise large row; pivoting on it would make the basis singular.
int DualSimplex::BestColumnForRow(int row) const
{
    const double* rho = &inverse[static_cast<std::size_t>(row) * m];
    double rowSize = std::fabs(rho[u]);
    for (int k = 0; k < u; ++k)
        rowSize += std::fabs(rho[k]) * columnSize[k];
    const double tolerance = kPivotTolerance * rowSize;
    int best = -1;
    double bestEntry = 0.0;
    for (int i = 0; i < n; ++i) {
        const double* a = A[i];
        double dot = 0.0;
        for (int k = 0; k < u; ++k)
            dot += a[k] * rho[k];
        // Entries of the columns (a_i, 1) and (-a_i, 1) in this row.
        const double entries[2] = {dot + rho[u], -dot + rho[u]};
        for (int s = 0; s < 2; ++s) {
            const int column = 2 * i + s;
            const double entry = std::fabs(entries[s]);
            if (inBasis[column] || !(entry > tolerance) || entry <= bestEntry)
                continue;
            best = column;
            bestEntry = entry;
        }
    }
    return best;
}

// After the first phase the artificial variables still basic are zero;
// each is exchanged, degenerately, for an observation column where one
// exists. Those left mark redundant rows and stay at zero.
void DualSimplex::DriveOutArtificials()
{
    std::vector<double> alpha;
    for (int r = 0; r < m; ++r) {
        if (!IsArtificial(basis[r]))
            continue;
        const int column = BestColumnForRow(r);
        if (column < 0)
            continue;
        values[r] = 0.0;
        TransformColumn(column, alpha);
        Pivot(r, column, alpha);
    }
}

int DualSimplex::Solve()
{
    phase = Phase::kFeasibility;
    if (!RunPhase() || ArtificialSum() > kFeasibilityTolerance)
        return kChebyshevNoConvergence;
    DriveOutArtificials();
    Refactor();
    phase = Phase::kOptimality;
    return RunPhase() ? kChebyshevOptimal : kChebyshevNoConvergence;
}

// Solves B^T pi = c_B afresh: for every basic observation column
// s (a_i x - b_i) = -t, the equioscillation equations of the vertex.
std::vector<double> DualSimplex::Multipliers() const
{
    std::vector<double> costs(m);
    for (int r = 0; r < m; ++r)
        costs[r] = Cost(basis[r]);
    std::vector<double> pi;
    if (!SolveDense(BasisMatrix(true), m, std::move(costs), pi))
        ComputeMultipliers(pi);
    return pi;
}

// Solves B y = (0, ..., 0, 1) afresh: the weights of the basic columns.
bool DualSimplex::DualValues(std::vector<double>& y) const
{
    std::vector<double> unit(m, 0.0);
    unit[u] = 1.0;
    return SolveDense(BasisMatrix(false), m, std::move(unit), y);
}

// Weak duality: for weights z_i (here s_i y_i of the basic observation
// columns) with sum_i z_i a_i = 0, every x' satisfies
//     sum_i |z_i| * max_i |a_i x' - b_i|  >=  sum_i z_i (b_i - a_i x'),
// and the right side does not depend on x'. Evaluated at x it proves a
// lower bound for the optimum; x is optimal when its largest residual meets
// that bound. An artificial variable still basic relaxes its row of
// sum z_i a_i = 0, which is harmless only while it is zero: x' may then be
// taken with that unknown 0, as x has it. A rank-deficient design left
// with a singular basis, or a vertex that rounding kept from the optimum,
// fails here instead of being reported optimal.
bool DualSimplex::CertifiesOptimum(const Matrix& x, const Matrix& residuals, double largest) const
{
    std::vector<double> y;
    if (!DualValues(y))
        return false;
    double proved = 0.0;
    double weight = 0.0;
    for (int r = 0; r < m; ++r) {
        const int column = basis[r];
        if (IsArtificial(column)) {
            const int k = column - 2 * n;
            const double rowSize = k < u ? columnSize[k] : 1.0;
            if (std::fabs(y[r]) > kFeasibilityTolerance * rowSize)
                return false;
            continue;
        }
        const double z = (column & 1) ? -y[r] : y[r];
        proved -= z * residuals[column >> 1][0];
        weight += std::fabs(y[r]);
    }
    const double bound = weight > 0.0 ? proved / weight : 0.0;
    double size = 0.0;
    for (int i = 0; i < n; ++i) {
        double terms = std::fabs(b[i][0]);
        for (int k = 0; k < u; ++k)
            terms += std::fabs(A[i][k] * x[k][0]);
        size = std::max(size, terms);
    }
    return largest - bound <= kCertificateTolerance * size;
}

// residuals = A x - b; returns the largest magnitude among them.
double SetResiduals(const Matrix& A, const Matrix& b, const Matrix& x, Matrix& residuals)
{
    ComputeResiduals(A.Data(), x.Data(), b.Data(), residuals.Data(), A.Rows(), A.Columns());
    double largest = 0.0;
    for (int i = 0; i < A.Rows(); ++i)
        largest = std::fmax(largest, std::fabs(residuals[i][0]));
    return largest;
}

} // namespace

ChebyshevSolution SolveChebyshev(const Matrix& A, const Matrix& b, Matrix& x, Matrix& residuals)
{
    ChebyshevSolution solution;
    const int n = A.Rows();
    const int u = A.Columns();
    if (x.Resize(u, 1, 0.0) != 0 || residuals.Resize(n, 1, 0.0) != 0) {
        solution.status = kChebyshevOutOfMemory;
        return solution;
    }
    if (!AllFinite(A) || !AllFinite(b)) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        x.Resize(u, 1, nan);
        residuals.Resize(n, 1, nan);
        solution.status = kChebyshevNotFinite;
        solution.maxResidual = nan;
        return solution;
    }
    if (n == 0)
        return solution;

    DualSimplex simplex(A, b);
    solution.status = simplex.Solve();
    solution.pivots = simplex.Pivots();
    const std::vector<double> pi = simplex.Multipliers();
    for (int k = 0; k < u; ++k)
        x[k][0] = pi[k];
    solution.maxResidual = SetResiduals(A, b, x, residuals);
    if (solution.status == kChebyshevOptimal && !simplex.CertifiesOptimum(x, residuals, solution.maxResidual))
        solution.status = kChebyshevNoConvergence;
    return solution;
}
