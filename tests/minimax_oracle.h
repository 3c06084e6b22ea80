#pragma once

// Brute-force oracle for the minimax (Chebyshev) problem of small systems in
// general position: an optimal point is a vertex where u + 1 observations
// reach the extreme with some signs, so it is among the solutions (x, h) of
//     a_i x - sigma_i h = b_i
// for every (u + 1)-subset and sign pattern; each such x is feasible for the
// minimax problem, so the least max |A x - b| among them is the optimum.

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

// Gaussian elimination with partial pivoting; false when singular.
inline bool SolveSquare(Rows m, std::vector<double> rhs, std::vector<double>& out)
{
    const std::size_t size = rhs.size();
    for (std::size_t col = 0; col < size; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < size; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col]))
                pivot = r;
        if (std::fabs(m[pivot][col]) < 1e-12)
            return false;
        std::swap(m[pivot], m[col]);
        std::swap(rhs[pivot], rhs[col]);
        for (std::size_t r = col + 1; r < size; ++r) {
            const double f = m[r][col] / m[col][col];
            for (std::size_t c = col; c < size; ++c)
                m[r][c] -= f * m[col][c];
            rhs[r] -= f * rhs[col];
        }
    }
    out.assign(size, 0.0);
    for (std::size_t r = size; r-- > 0;) {
        double sum = rhs[r];
        for (std::size_t c = r + 1; c < size; ++c)
            sum -= m[r][c] * out[c];
        out[r] = sum / m[r][r];
    }
    return true;
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

} // namespace test_support
