#pragma once

// Two brute-force oracles for the minimax (Chebyshev) problem.
//
// BruteForceMinimax: a primal oracle for small systems for the minimax (Chebyshev) problem of small systems in
// general position: an optimal point is a vertex where u + 1 observations
// reach the extreme with some signs, so it is among the solutions (x, h) of
//     a_i x - sigma_i h = b_i
// for every (u + 1)-subset and sign pattern; each such x is feasible for the
// minimax problem, so the least max |A x - b| among them is the optimum.
//
// CircuitMinimax: an exact dual oracle for designs of small integers of any
// rank, zero rows and fewer rows than unknowns included. By duality
//     min_x max_i |a_i x - b_i| = max { b . z : A^T z = 0, sum_i |z_i| <= 1 },
// and the vertices of that set are the dependencies lambda of the minimal
// linearly dependent sets of rows (circuits; a zero row alone is one),
// scaled to sum |lambda_i| = 1. So the optimum is the largest
// |lambda . b| / sum |lambda_i| over all circuits, and 0 when the rows are
// independent (an exact fit exists). The dependencies are integers,
// computed without rounding.

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace test_support {

using Rows = std::vector<std::vector<double>>;

inline double MaxAbsResidual(const Rows& A, const std::vector<double>& b, const std::vector<double>& x)
{
    double largest = 0.0;
    for (std::size_t i = 0; i < A.size(); ++i) {
        double sum = -b[i];
        for (std::size_t k = 0; k < x.size(); ++k)
            sum += A[i][k] * x[k];
        largest = std::max(largest, std::fabs(sum));
    }
    return largest;
}

// Gaussian elimination with partial pivoting on the augmented matrix
// m = [N | r] (u rows of u + 1), in place: out = N^-1 r. False, out
// untouched, when a pivot is below tiny in magnitude.
template <class Number>
bool SolveAugmentedInPlace(std::vector<std::vector<Number>>& m, Number tiny, std::vector<Number>& out)
{
    const std::size_t size = m.size();
    for (std::size_t col = 0; col < size; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < size; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col]))
                pivot = r;
        if (std::fabs(m[pivot][col]) < tiny)
            return false;
        std::swap(m[pivot], m[col]);
        for (std::size_t r = col + 1; r < size; ++r) {
            const Number f = m[r][col] / m[col][col];
            for (std::size_t c = col; c <= size; ++c)
                m[r][c] -= f * m[col][c];
        }
    }
    out.assign(size, Number(0));
    for (std::size_t r = size; r-- > 0;) {
        Number sum = m[r][size];
        for (std::size_t c = r + 1; c < size; ++c)
            sum -= m[r][c] * out[c];
        out[r] = sum / m[r][r];
    }
    return true;
}

// m x = rhs; false when singular.
inline bool SolveSquare(Rows m, const std::vector<double>& rhs, std::vector<double>& out)
{
    for (std::size_t r = 0; r < m.size(); ++r)
        m[r].push_back(rhs[r]);
    return SolveAugmentedInPlace(m, 1e-12, out);
}

inline double BruteForceMinimax(const Rows& A, const std::vector<double>& b)
{
    const int n = static_cast<int>(A.size());
    const int u = static_cast<int>(A.front().size());
    double best = std::numeric_limits<double>::infinity();
    std::vector<bool> chosen(static_cast<std::size_t>(n), false);
    std::fill(chosen.end() - (u + 1), chosen.end(), true);
    do {
        std::vector<int> subset;
        for (int i = 0; i < n; ++i)
            if (chosen[static_cast<std::size_t>(i)])
                subset.push_back(i);
        for (int signs = 0; signs < (1 << u); ++signs) { // sigma_0 = +1: h takes either sign
            Rows m;
            std::vector<double> rhs;
            for (int r = 0; r <= u; ++r) {
                const int i = subset[static_cast<std::size_t>(r)];
                const double sigma = r == 0 ? 1.0 : (((signs >> (r - 1)) & 1) ? -1.0 : 1.0);
                std::vector<double> equation = A[static_cast<std::size_t>(i)];
                equation.push_back(-sigma);
                m.push_back(equation);
                rhs.push_back(b[static_cast<std::size_t>(i)]);
            }
            std::vector<double> solution;
            if (!SolveSquare(m, rhs, solution))
                continue;
            solution.pop_back();
            best = std::min(best, MaxAbsResidual(A, b, solution));
        }
    } while (std::next_permutation(chosen.begin(), chosen.end()));
    return best;
}

// n abscissas drawn from uniform, in increasing order: the points of a
// polynomial fit, a Haar system.
template <class Generator, class Distribution>
std::vector<double> SortedAbscissas(Generator& generator, Distribution& uniform, int n)
{
    std::vector<double> abscissas(static_cast<std::size_t>(n));
    for (double& t : abscissas)
        t = uniform(generator);
    std::sort(abscissas.begin(), abscissas.end());
    return abscissas;
}

// The number of sign changes, plus one, along the residuals whose magnitude
// reaches largest - tolerance, in their order: a minimax fit of a Haar
// system (a polynomial in abscissa order) reaches at least u + 1.
inline int AlternatingExtremes(const std::vector<double>& residuals, double largest, double tolerance)
{
    int run = 0;
    double lastSign = 0.0;
    for (double residual : residuals) {
        if (std::fabs(residual) < largest - tolerance)
            continue;
        const double sign = residual > 0.0 ? 1.0 : -1.0;
        run += sign != lastSign ? 1 : 0;
        lastSign = sign;
    }
    return run;
}

using IntegerRows = std::vector<std::vector<long long>>;

// Determinant of a square integer matrix by fraction-free (Bareiss)
// elimination: every intermediate value is itself a minor, so it stays exact
// for small entries.
inline long long IntegerDeterminant(IntegerRows m)
{
    const std::size_t size = m.size();
    long long sign = 1;
    long long previous = 1;
    for (std::size_t k = 0; k < size; ++k) {
        std::size_t pivot = k;
        while (pivot < size && m[pivot][k] == 0)
            ++pivot;
        if (pivot == size)
            return 0;
        if (pivot != k) {
            std::swap(m[pivot], m[k]);
            sign = -sign;
        }
        for (std::size_t i = k + 1; i < size; ++i)
            for (std::size_t j = k + 1; j < size; ++j)
                m[i][j] = static_cast<long long>((static_cast<__int128>(m[i][j]) * m[k][k] -
                                                  static_cast<__int128>(m[i][k]) * m[k][j]) /
                                                 previous);
        previous = m[k][k];
    }
    return sign * (size == 0 ? 1 : m[size - 1][size - 1]);
}

// Rank of an integer matrix (rows of equal length), exactly: fraction-free
// elimination to echelon form, whose entries stay minors of the matrix.
inline int IntegerRank(IntegerRows m)
{
    const std::size_t rows = m.size();
    const std::size_t columns = rows == 0 ? 0 : m.front().size();
    std::size_t rank = 0;
    long long previous = 1;
    for (std::size_t c = 0; c < columns && rank < rows; ++c) {
        std::size_t pivot = rank;
        while (pivot < rows && m[pivot][c] == 0)
            ++pivot;
        if (pivot == rows)
            continue;
        std::swap(m[pivot], m[rank]);
        for (std::size_t i = rank + 1; i < rows; ++i) {
            for (std::size_t j = c + 1; j < columns; ++j)
                m[i][j] = static_cast<long long>((static_cast<__int128>(m[i][j]) * m[rank][c] -
                                                  static_cast<__int128>(m[i][c]) * m[rank][j]) /
                                                 previous);
            m[i][c] = 0;
        }
        previous = m[rank][c];
        ++rank;
    }
    return static_cast<int>(rank);
}

// The dependency lambda (sum_j lambda_j rows_j = 0) of rows that form a
// circuit: s rows of rank s - 1 whose dependency involves every row. False
// when they do not form one. lambda_j is (-1)^j times the minor of the
// u x s matrix of the rows as columns, restricted to s - 1 independent
// coordinates and with column j left out.
inline bool CircuitDependency(const IntegerRows& rows, std::vector<long long>& lambda)
{
    const std::size_t s = rows.size();
    const std::size_t u = rows.front().size();
    IntegerRows coordinates; // chosen rows of the u x s matrix
    for (std::size_t k = 0; k < u && coordinates.size() + 1 < s; ++k) {
        std::vector<long long> coordinate(s);
        for (std::size_t j = 0; j < s; ++j)
            coordinate[j] = rows[j][k];
        IntegerRows trial = coordinates;
        trial.push_back(coordinate);
        if (IntegerRank(trial) == static_cast<int>(trial.size()))
            coordinates = trial;
    }
    if (coordinates.size() + 1 != s || IntegerRank(rows) != static_cast<int>(s) - 1)
        return false;
    lambda.assign(s, 0);
    for (std::size_t j = 0; j < s; ++j) {
        IntegerRows minor;
        for (const auto& coordinate : coordinates) {
            std::vector<long long> entries;
            for (std::size_t c = 0; c < s; ++c)
                if (c != j)
                    entries.push_back(coordinate[c]);
            minor.push_back(entries);
        }
        lambda[j] = (j % 2 == 0 ? 1 : -1) * IntegerDeterminant(minor);
        if (lambda[j] == 0)
            return false; // a smaller set is already dependent
    }
    return true;
}

// The minimax value of the system with rows scaled, s_i a_i x ~ s_i b_i
// (s_i > 0; the Lp library scales by the square roots of the weights): its
// circuits are those of A with the dependencies lambda_i / s_i.
inline double CircuitMinimax(const IntegerRows& A, const std::vector<double>& b,
                             const std::vector<double>& rowScale = {})
{
    const int n = static_cast<int>(A.size());
    const int u = static_cast<int>(A.front().size());
    long double best = 0.0L;
    for (unsigned mask = 1; mask < (1u << n); ++mask) {
        const int size = __builtin_popcount(mask);
        if (size > u + 1)
            continue; // u + 2 rows are never minimally dependent
        IntegerRows rows;
        std::vector<double> values;
        std::vector<long double> scales;
        for (int i = 0; i < n; ++i) {
            if (mask & (1u << i)) {
                const std::size_t row = static_cast<std::size_t>(i);
                rows.push_back(A[row]);
                values.push_back(b[row]);
                scales.push_back(rowScale.empty() ? 1.0L : rowScale[row]);
            }
        }
        std::vector<long long> lambda;
        if (!CircuitDependency(rows, lambda))
            continue;
        long double dot = 0.0L;
        long double norm = 0.0L;
        for (std::size_t j = 0; j < lambda.size(); ++j) {
            dot += static_cast<long double>(lambda[j]) * values[j]; // (lambda_j / s_j) (s_j b_j)
            norm += std::fabs(static_cast<long double>(lambda[j])) / scales[j];
        }
        best = std::max(best, std::fabs(dot) / norm);
    }
    return static_cast<double>(best);
}


} // namespace test_support
