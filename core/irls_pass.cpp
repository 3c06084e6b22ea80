#include "core/irls_pass.h"

#include <cstddef>
#include <new>
#include <utility>

namespace {

constexpr int kBlockRows = 4;

// Adds the rows [first, first + count) of the weighted system to N and rhs,
// four rows at a time so that each element of N is loaded and stored once
// per block; within the block the terms are still added row after row.
// Cloned for AVX2: without contraction into FMA both clones give the same bits.
__attribute__((target_clones("avx2", "default"))) void AccumulateRows(double* N, double* rhs, const double* Abar,
                                                                      const double* w, const double* lbar,
                                                                      std::size_t n, int u, double* t)
{
    const std::size_t width = static_cast<std::size_t>(u);
    std::size_t i = 0;
    for (; i + kBlockRows <= n; i += kBlockRows) {
        const double* r0 = Abar + i * width;
        const double* r1 = r0 + width;
        const double* r2 = r1 + width;
        const double* r3 = r2 + width;
        double* t0 = t;
        double* t1 = t + width;
        double* t2 = t1 + width;
        double* t3 = t2 + width;
        for (int a = 0; a < u; ++a) {
            t0[a] = r0[a] * w[i];
            t1[a] = r1[a] * w[i + 1];
            t2[a] = r2[a] * w[i + 2];
            t3[a] = r3[a] * w[i + 3];
        }
        for (int a = 0; a < u; ++a) {
            double* Na = N + static_cast<std::size_t>(a) * width;
            const double a0 = t0[a], a1 = t1[a], a2 = t2[a], a3 = t3[a];
            for (int b = 0; b < u; ++b) {
                double sum = Na[b];
                sum += a0 * r0[b];
                sum += a1 * r1[b];
                sum += a2 * r2[b];
                sum += a3 * r3[b];
                Na[b] = sum;
            }
            double right = rhs[a];
            right += a0 * lbar[i];
            right += a1 * lbar[i + 1];
            right += a2 * lbar[i + 2];
            right += a3 * lbar[i + 3];
            rhs[a] = right;
        }
    }
    for (; i < n; ++i) {
        const double* row = Abar + i * width;
        for (int a = 0; a < u; ++a)
            t[a] = row[a] * w[i];
        for (int a = 0; a < u; ++a) {
            double* Na = N + static_cast<std::size_t>(a) * width;
            for (int b = 0; b < u; ++b)
                Na[b] += t[a] * row[b];
            rhs[a] += t[a] * lbar[i];
        }
    }
}

} // namespace

NormalEquations FormNormalEquations(const Matrix& Abar, const std::vector<double>& w, const std::vector<double>& lbar)
{
    const int u = Abar.Columns();
    const std::size_t width = static_cast<std::size_t>(u);
    // u x u elements beyond what a vector can count are storage not obtained.
    if (width > 0 && width > std::vector<double>().max_size() / width)
        throw std::bad_alloc();
    NormalEquations equations{std::vector<double>(width * width, 0.0), std::vector<double>(width, 0.0)};
    std::vector<double> t(width * kBlockRows);
    AccumulateRows(equations.matrix.data(), equations.rightHandSide.data(), Abar.Data(), w.data(), lbar.data(),
                   static_cast<std::size_t>(Abar.Rows()), u, t.data());
    return equations;
}

Matrix SolveNormalEquations(const NormalEquations& equations, int u, Matrix* inverse)
{
    Matrix N(u, u, 0.0);
    Matrix rhs(u, 1, 0.0);
    for (int a = 0; a < u; ++a) {
        for (int b = 0; b < u; ++b)
            N(a, b) = equations.matrix[static_cast<std::size_t>(a) * static_cast<std::size_t>(u) + b];
        rhs(a, 0) = equations.rightHandSide[static_cast<std::size_t>(a)];
    }
    N.Invert();
    Matrix x = N * rhs;
    if (!x.IsValid())
        throw std::bad_alloc();
    if (inverse != nullptr)
        *inverse = std::move(N);
    return x;
}

__attribute__((target_clones("avx2", "default"))) void ComputeResiduals(const double* Abar, const double* x,
                                                                        const double* lbar, double* v, int n, int u)
{
    const std::size_t width = static_cast<std::size_t>(u);
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
        const double* row = Abar + i * width;
        double sum = 0.0;
        for (int j = 0; j < u; ++j)
            sum += row[j] * x[j];
        v[i] = sum - lbar[i];
    }
}
