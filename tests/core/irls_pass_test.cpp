#include "core/irls_pass.h"

#include "core/irls_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

// The pass loops of every instruction set this processor runs, on one thread
// or split between several, against the literal dense products
// (transpose(Abar) * W) * Abar, (transpose(Abar) * W) * lbar and
// Abar * x - lbar with the full n x n W. The shapes cross the register tiles'
// remainders (u + 1 not a multiple of the vector, rows of N not a multiple of
// the tile), the chunks of observations (300 rows is more than one chunk for
// every u) and the ends of the data (n = 0 and 1, u = 1).
struct Shape {
    int n;
    int u;
};

const Shape kShapes[] = {{0, 3}, {1, 1}, {1, 6}, {2, 1}, {5, 2},  {9, 3},   {300, 1},  {300, 4},
                         {300, 5}, {300, 7}, {61, 10}, {300, 10}, {40, 13}, {300, 24}, {130, 25}, {70, 50}};
const int kThreadCounts[] = {1, 2, 3};

struct WeightedSystem {
    Matrix Abar;
    std::vector<double> w;
    std::vector<double> lbar;
};

// Random finite data; weights include 0 (a rejected observation) and 1.
WeightedSystem RandomSystem(std::mt19937_64& random, int n, int u)
{
    std::normal_distribution<double> normal(0.0, 3.0);
    WeightedSystem system{Matrix(n, u, 0.0), std::vector<double>(static_cast<std::size_t>(n)),
                          std::vector<double>(static_cast<std::size_t>(n))};
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < u; ++j)
            system.Abar(i, j) = normal(random);
        system.lbar[static_cast<std::size_t>(i)] = normal(random);
        const double weight = std::fabs(normal(random));
        system.w[static_cast<std::size_t>(i)] = i % 5 == 1 ? 0.0 : (i % 5 == 2 ? 1.0 : weight);
    }
    return system;
}

Matrix Column(const std::vector<double>& values)
{
    Matrix column(static_cast<int>(values.size()), 1, 0.0);
    for (std::size_t i = 0; i < values.size(); ++i)
        column(static_cast<int>(i), 0) = values[i];
    return column;
}

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string Label(const IrlsKernels& kernels, const Shape& shape, int threads)
{
    return std::string(kernels.name) + " n=" + std::to_string(shape.n) + " u=" + std::to_string(shape.u) +
           " threads=" + std::to_string(threads);
}

void ExpectEquations(const NormalEquations& equations, const Matrix& N, const Matrix& rhs, int u,
                     const std::string& label)
{
    ASSERT_EQ(equations.matrix.size(), static_cast<std::size_t>(u * u)) << label;
    ASSERT_EQ(equations.rightHandSide.size(), static_cast<std::size_t>(u)) << label;
    for (int a = 0; a < u; ++a) {
        for (int b = 0; b < u; ++b)
            ASSERT_TRUE(SameBits(equations.matrix[static_cast<std::size_t>(a * u + b)], N(a, b)))
                << label << " N(" << a << ", " << b << ")";
        ASSERT_TRUE(SameBits(equations.rightHandSide[static_cast<std::size_t>(a)], rhs(a, 0)))
            << label << " rhs(" << a << ")";
    }
}

TEST(IrlsPass, NormalEquationsOfEveryVariantAreTheDenseProductsBitForBit)
{
    std::mt19937_64 random(2024);
    for (const Shape& shape : kShapes) {
        const WeightedSystem system = RandomSystem(random, shape.n, shape.u);
        Matrix W(shape.n, shape.n, 0.0);
        for (int i = 0; i < shape.n; ++i)
            W(i, i) = system.w[static_cast<std::size_t>(i)];
        const Matrix weightedTranspose = system.Abar.Transpose() * W;
        const Matrix N = weightedTranspose * system.Abar;
        const Matrix rhs = weightedTranspose * Column(system.lbar);
        for (const IrlsKernels* kernels : SupportedIrlsKernels()) {
            for (int threads : kThreadCounts) {
                const NormalEquations equations = FormNormalEquations(system.Abar, system.w, system.lbar, *kernels,
                                                                      threads);
                ExpectEquations(equations, N, rhs, shape.u, Label(*kernels, shape, threads));
            }
        }
    }
}

// Huber's weight with c = 1.5 written out, so that the sweep's weights have
// an independent check.
void WeighHuber(const void*, const double* v, double* w, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        w[i] = std::fabs(v[i]) < 1.5 ? 1.0 : 1.5 / std::fabs(v[i]);
}

// The sweep after a pass: its residuals and weights, and the next normal
// equations under those weights, whether the rows of N or the observations
// are split between the threads.
TEST(IrlsPass, SweepOfEveryVariantGivesTheDenseResidualsWeightsAndNextEquations)
{
    std::mt19937_64 random(77);
    std::normal_distribution<double> normal(0.0, 2.0);
    for (const Shape& shape : kShapes) {
        const WeightedSystem system = RandomSystem(random, shape.n, shape.u);
        Matrix x(shape.u, 1, 0.0);
        for (int j = 0; j < shape.u; ++j)
            x(j, 0) = normal(random);
        const Matrix dense = system.Abar * x - Column(system.lbar);
        Matrix W(shape.n, shape.n, 0.0);
        for (int i = 0; i < shape.n; ++i) {
            const double v = dense(i, 0);
            W(i, i) = std::fabs(v) < 1.5 ? 1.0 : 1.5 / std::fabs(v);
        }
        const Matrix weightedTranspose = system.Abar.Transpose() * W;
        const Matrix N = weightedTranspose * system.Abar;
        const Matrix rhs = weightedTranspose * Column(system.lbar);
        for (const IrlsKernels* kernels : SupportedIrlsKernels()) {
            for (int threads : kThreadCounts) {
                for (bool formNext : {false, true}) {
                    const std::string label = Label(*kernels, shape, threads) + (formNext ? " next" : " last");
                    std::vector<double> v(static_cast<std::size_t>(shape.n), -1.0);
                    std::vector<double> w(static_cast<std::size_t>(shape.n), -1.0);
                    const NormalEquations next = SweepPass(system.Abar, system.lbar, x.Data(), v.data(), w,
                                                           Reweighting{&WeighHuber, nullptr}, formNext, *kernels,
                                                           threads);
                    for (int i = 0; i < shape.n; ++i) {
                        ASSERT_TRUE(SameBits(v[static_cast<std::size_t>(i)], dense(i, 0))) << label << " v(" << i << ")";
                        ASSERT_TRUE(SameBits(w[static_cast<std::size_t>(i)], W(i, i))) << label << " w(" << i << ")";
                    }
                    if (!formNext) {
                        EXPECT_TRUE(next.matrix.empty()) << label;
                        continue;
                    }
                    ExpectEquations(next, N, rhs, shape.u, label);
                }
            }
        }
    }
}

// r = 1 - w |T a|^2 of one observation, written out in the order the
// loops promise.
double RedundancyOfRow(const std::vector<double>& T, const Matrix& Abar, int i, double w)
{
    const int u = Abar.Columns();
    double h = 0.0;
    for (int j = 0; j < u; ++j) {
        double z = 0.0;
        for (int k = 0; k <= j; ++k)
            z += T[static_cast<std::size_t>(j * u + k)] * Abar(i, k);
        h += z * z;
    }
    return w == 0.0 ? 1.0 : 1.0 - w * h;
}

// The redundancy numbers of every variant, on one thread or several, with
// and without weights, bit for bit as each observation summed alone: the
// shapes cross the groups of observations, the vectors of columns and the
// blocks the threads share. An infinite entry of Abar is told, wherever it is.
TEST(IrlsPass, RedundancyNumbersOfEveryVariantAreEachObservationsOwnSumsBitForBit)
{
    std::mt19937_64 random(31);
    std::normal_distribution<double> normal(0.0, 0.5);
    std::vector<Shape> shapes(std::begin(kShapes), std::end(kShapes));
    shapes.push_back({20011, 7});
    for (const Shape& shape : shapes) {
        const WeightedSystem system = RandomSystem(random, shape.n, shape.u);
        std::vector<double> T(static_cast<std::size_t>(shape.u * shape.u), 0.0);
        for (int j = 0; j < shape.u; ++j)
            for (int k = 0; k <= j; ++k)
                T[static_cast<std::size_t>(j * shape.u + k)] = normal(random);
        for (const std::vector<double>& w : {system.w, std::vector<double>()}) {
            for (const IrlsKernels* kernels : SupportedIrlsKernels()) {
                for (int threads : kThreadCounts) {
                    const std::string label = Label(*kernels, shape, threads) + (w.empty() ? " unweighted" : "");
                    std::vector<double> r;
                    EXPECT_TRUE(ComputeRedundancyNumbers(system.Abar, w, T, r, *kernels, threads)) << label;
                    ASSERT_EQ(r.size(), static_cast<std::size_t>(shape.n)) << label;
                    for (int i = 0; i < shape.n; ++i) {
                        const double weight = w.empty() ? 1.0 : w[static_cast<std::size_t>(i)];
                        ASSERT_TRUE(SameBits(r[static_cast<std::size_t>(i)], RedundancyOfRow(T, system.Abar, i, weight)))
                            << label << " r(" << i << ")";
                    }
                }
            }
        }
    }
    for (int infinite : {0, 5, 299, 15000, 20010}) {
        WeightedSystem system = RandomSystem(random, 20011, 10);
        system.Abar(infinite, 3) = INFINITY;
        const std::vector<double> T(100, 1.0);
        for (const IrlsKernels* kernels : SupportedIrlsKernels()) {
            std::vector<double> r;
            EXPECT_FALSE(ComputeRedundancyNumbers(system.Abar, {}, T, r, *kernels, 2))
                << kernels->name << " infinite in row " << infinite;
        }
    }
}

} // namespace

// $TOLVAR_KERNELS picks a variant this processor runs; anything else falls
// back to the fastest.
TEST(IrlsPass, RequestedVariantIsChosenWhereThisProcessorRunsIt)
{
    const std::vector<const IrlsKernels*> variants = SupportedIrlsKernels();
    for (const IrlsKernels* variant : variants)
        EXPECT_EQ(&ChooseIrlsKernels(variant->name), variant) << variant->name;
    for (const char* requested : {"portable", "avx2", "avx512", "sse9", "", static_cast<const char*>(nullptr)}) {
        const bool supported = requested != nullptr && std::any_of(variants.begin(), variants.end(), [&](auto v) {
                                   return std::string(v->name) == requested;
                               });
        const IrlsKernels& chosen = ChooseIrlsKernels(requested);
        EXPECT_EQ(std::string(chosen.name), supported ? std::string(requested) : std::string(variants.front()->name))
            << (requested != nullptr ? requested : "unset");
    }
}
