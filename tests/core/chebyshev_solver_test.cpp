#include "core/chebyshev_solver.h"
#include "minimax_oracle.h"

#include <gtest/gtest.h>

#include "stack_loss.h"
#include "test_support.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using test_support::FromRows;
using test_support::Column;

test_support::Rows ToRows(const Matrix& A)
{
    test_support::Rows rows(static_cast<std::size_t>(A.Rows()));
    for (int i = 0; i < A.Rows(); ++i)
        rows[static_cast<std::size_t>(i)].assign(A[i], A[i] + A.Columns());
    return rows;
}

std::vector<double> ToVector(const Matrix& x)
{
    std::vector<double> values;
    for (int k = 0; k < x.Rows(); ++k)
        values.push_back(x[k][0]);
    return values;
}

double MaxAbsResidual(const Matrix& A, const Matrix& b, const std::vector<double>& x)
{
    return test_support::MaxAbsResidual(ToRows(A), ToVector(b), x);
}

double BruteForceMinimax(const Matrix& A, const Matrix& b)
{
    return test_support::BruteForceMinimax(ToRows(A), ToVector(b));
}

struct Problem {
    Matrix A;
    Matrix b;
};

Problem RandomProblem(int n, int u, unsigned seed)
{
    std::mt19937 generator(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    Problem problem{Matrix(n, u, 0.0), Matrix(n, 1, 0.0)};
    for (int i = 0; i < n; ++i) {
        problem.A[i][0] = 1.0;
        for (int k = 1; k < u; ++k)
            problem.A[i][k] = normal(generator);
        problem.b[i][0] = 3.0 * normal(generator);
    }
    return problem;
}

} // namespace

TEST(ChebyshevSolver, StackLossMatchesCertifiedSolution)
{
    const test_support::StackLossProblem data = test_support::ReadStackLoss();
    const Matrix& A = data.A;
    const Matrix& b = data.l;
    Matrix x;
    Matrix v;
    const ChebyshevSolution solution = SolveChebyshev(A, b, x, v);

    ASSERT_EQ(solution.status, kChebyshevOptimal);
    ASSERT_EQ(x.Rows(), 4);
    ASSERT_EQ(v.Rows(), 21);
    const std::vector<double>& expected = test_support::kStackLossMinimax;
    for (int k = 0; k < 4; ++k)
        EXPECT_NEAR(x[k][0], expected[k], 1e-11 * std::max(1.0, std::fabs(expected[k]))) << "unknown " << k;
    EXPECT_NEAR(solution.maxResidual, test_support::kStackLossMinimaxValue, 1e-11);
    for (int i = 0; i < 21; ++i) {
        double fitted = 0.0;
        for (int k = 0; k < 4; ++k)
            fitted += A[i][k] * x[k][0];
        EXPECT_NEAR(v[i][0], fitted - b[i][0], 1e-12) << "residual " << i;
    }
}

// For a polynomial (a Haar system) the minimax residual equioscillates:
// u + 1 observations in increasing abscissa reach the extreme with
// alternating signs, and no x beats it (checked against the oracle).
TEST(ChebyshevSolver, PolynomialFitEquioscillates)
{
    for (unsigned seed = 1; seed <= 5; ++seed) {
        std::mt19937 generator(seed);
        std::uniform_real_distribution<double> uniform(-1.0, 1.0);
        const int n = 9;
        const int u = 3;
        const std::vector<double> abscissa = test_support::SortedAbscissas(generator, uniform, n);
        Matrix A(n, u, 0.0);
        Matrix b(n, 1, 0.0);
        for (int i = 0; i < n; ++i) {
            const double t = abscissa[static_cast<std::size_t>(i)];
            A[i][0] = 1.0;
            A[i][1] = t;
            A[i][2] = t * t;
            b[i][0] = std::exp(2.0 * t) + 0.3 * uniform(generator);
        }
        Matrix x;
        Matrix v;
        const ChebyshevSolution solution = SolveChebyshev(A, b, x, v);
        ASSERT_EQ(solution.status, kChebyshevOptimal);

        const double tolerance = solution.maxResidual * 1e-9;
        EXPECT_GE(test_support::AlternatingExtremes(ToVector(v), solution.maxResidual, tolerance), u + 1)
            << "seed " << seed;
        EXPECT_NEAR(solution.maxResidual, BruteForceMinimax(A, b), 1e-10) << "seed " << seed;
    }
}

TEST(ChebyshevSolver, RandomSmallProblemsMatchBruteForce)
{
    struct Size {
        int n;
        int u;
    };
    for (const Size size : {Size{5, 1}, Size{7, 2}, Size{8, 3}, Size{9, 4}}) {
        for (unsigned seed = 10; seed < 22; ++seed) {
            const Problem problem = RandomProblem(size.n, size.u, seed);
            Matrix x;
            Matrix v;
            const ChebyshevSolution solution = SolveChebyshev(problem.A, problem.b, x, v);
            ASSERT_EQ(solution.status, kChebyshevOptimal);
            const double oracle = BruteForceMinimax(problem.A, problem.b);
            EXPECT_NEAR(solution.maxResidual, oracle, 1e-10 * std::max(1.0, oracle))
                << "n " << size.n << " u " << size.u << " seed " << seed;
            EXPECT_NEAR(MaxAbsResidual(problem.A, problem.b, ToVector(x)), solution.maxResidual, 1e-12);
        }
    }
}

// Small integer data: many ties and degenerate vertices, where a careless
// ratio test cycles or stops early.
TEST(ChebyshevSolver, TiedIntegerDataMatchesBruteForce)
{
    for (unsigned seed = 0; seed < 300; ++seed) {
        std::mt19937 generator(seed);
        std::uniform_int_distribution<int> digit(0, 3);
        const int u = 1 + static_cast<int>(seed % 4);
        const int n = u + 2 + static_cast<int>(seed % 6);
        Matrix A(n, u, 0.0);
        Matrix b(n, 1, 0.0);
        for (int i = 0; i < n; ++i) {
            A[i][0] = 1.0;
            for (int k = 1; k < u; ++k)
                A[i][k] = digit(generator);
            b[i][0] = digit(generator);
        }
        const double oracle = BruteForceMinimax(A, b);
        if (std::isinf(oracle))
            continue; // A without full column rank: no vertex to enumerate
        Matrix x;
        Matrix v;
        const ChebyshevSolution solution = SolveChebyshev(A, b, x, v);
        ASSERT_EQ(solution.status, kChebyshevOptimal) << "seed " << seed;
        EXPECT_NEAR(solution.maxResidual, oracle, 1e-12) << "seed " << seed;
    }
}

// Larger problems: optimality via the dual certificate. At the optimum, some
// u + 1 extremal observations with signs s_i admit y >= 0 with
// sum y_i s_i a_i = 0; any x' then has max |r'| >= t. We check that no
// random perturbation of x improves the minimax value, and that enough
// observations sit on the extreme.
TEST(ChebyshevSolver, LargerProblemIsLocallyUnbeatable)
{
    const Problem problem = RandomProblem(400, 6, 99);
    Matrix x;
    Matrix v;
    const ChebyshevSolution solution = SolveChebyshev(problem.A, problem.b, x, v);
    ASSERT_EQ(solution.status, kChebyshevOptimal);
    int extremal = 0;
    for (int i = 0; i < v.Rows(); ++i)
        if (std::fabs(v[i][0]) >= solution.maxResidual * (1.0 - 1e-9))
            ++extremal;
    EXPECT_GE(extremal, 7);

    std::mt19937 generator(5);
    std::normal_distribution<double> normal(0.0, 1.0);
    const std::vector<double> best = ToVector(x);
    for (int trial = 0; trial < 2000; ++trial) {
        std::vector<double> moved = best;
        const double step = trial < 1000 ? 1e-3 : 1e-6;
        for (double& value : moved)
            value += step * normal(generator);
        EXPECT_GE(MaxAbsResidual(problem.A, problem.b, moved), solution.maxResidual * (1.0 - 1e-12));
    }
}

// Surveying data: coordinates of millions of metres whose residuals are
// centimetres or metres. The columns are nearly parallel and every term is
// far larger than the residual it cancels to, yet the minimax value must be
// that of the oracle to far better than the residuals' size, and the
// extreme residuals equal in size.
TEST(ChebyshevSolver, LargeCoordinatesWithSmallResiduals)
{
    for (const double offset : {1e6, 5e6, 3e7}) {
        for (const double scale : {0.01, 1.0}) {
            for (unsigned seed = 0; seed < 10; ++seed) {
                std::mt19937 generator(seed);
                std::normal_distribution<double> normal(0.0, 1.0);
                const int n = 8;
                Matrix A(n, 3, 0.0);
                Matrix b(n, 1, 0.0);
                for (int i = 0; i < n; ++i) {
                    A[i][0] = 1.0;
                    A[i][1] = offset + 100.0 * normal(generator);
                    A[i][2] = offset + 100.0 * normal(generator);
                    b[i][0] = 2.0 * offset + 0.5 * A[i][1] - 0.3 * A[i][2] + scale * normal(generator);
                }
                Matrix x;
                Matrix v;
                const ChebyshevSolution solution = SolveChebyshev(A, b, x, v);
                ASSERT_EQ(solution.status, kChebyshevOptimal);
                EXPECT_NEAR(solution.maxResidual, BruteForceMinimax(A, b), 1e-4 * scale)
                    << "offset " << offset << " scale " << scale << " seed " << seed;
                double smallestExtreme = solution.maxResidual;
                int extremal = 0;
                for (int i = 0; i < n; ++i) {
                    if (std::fabs(v[i][0]) < solution.maxResidual - 1e-3 * scale)
                        continue;
                    ++extremal;
                    smallestExtreme = std::min(smallestExtreme, std::fabs(v[i][0]));
                }
                EXPECT_GE(extremal, 4) << "offset " << offset << " scale " << scale << " seed " << seed;
                EXPECT_NEAR(smallestExtreme, solution.maxResidual, 1e-5 * scale)
                    << "offset " << offset << " scale " << scale << " seed " << seed;
            }
        }
    }
}

TEST(ChebyshevSolver, DegenerateAndRankDeficientSystems)
{
    // Data exactly on a line: minimax value 0, the line itself.
    {
        const Matrix A = FromRows({{1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}});
        const Matrix b = Column({1, 3, 5, 7, 9});
        Matrix x;
        Matrix v;
        const ChebyshevSolution solution = SolveChebyshev(A, b, x, v);
        ASSERT_EQ(solution.status, kChebyshevOptimal);
        EXPECT_NEAR(solution.maxResidual, 0.0, 1e-13);
        EXPECT_NEAR(x[0][0], 1.0, 1e-13);
        EXPECT_NEAR(x[1][0], 2.0, 1e-13);
    }
    // A column repeated: the minimax value is that of the reduced system,
    // whatever split between the two equal columns is chosen.
    {
        const Problem reduced = RandomProblem(7, 2, 3);
        Matrix A(7, 3, 0.0);
        for (int i = 0; i < 7; ++i) {
            A[i][0] = reduced.A[i][0];
            A[i][1] = reduced.A[i][1];
            A[i][2] = reduced.A[i][1];
        }
        Matrix x;
        Matrix v;
        const ChebyshevSolution solution = SolveChebyshev(A, reduced.b, x, v);
        EXPECT_EQ(solution.status, kChebyshevOptimal);
        EXPECT_NEAR(solution.maxResidual, BruteForceMinimax(reduced.A, reduced.b), 1e-10);
    }
    // Fewer observations than unknowns + 1: an exact fit exists.
    {
        const Matrix A = FromRows({{1, 2, 3}, {4, 5, 7}});
        const Matrix b = Column({1, -2});
        Matrix x;
        Matrix v;
        const ChebyshevSolution solution = SolveChebyshev(A, b, x, v);
        EXPECT_EQ(solution.status, kChebyshevOptimal);
        EXPECT_NEAR(solution.maxResidual, 0.0, 1e-12);
    }
    // Repeated observations with ties: u = 1, the midrange is the minimax point.
    {
        const Matrix A = FromRows({{1}, {1}, {1}, {1}, {1}, {1}});
        const Matrix b = Column({2, 2, 2, 10, 10, 6});
        Matrix x;
        Matrix v;
        const ChebyshevSolution solution = SolveChebyshev(A, b, x, v);
        EXPECT_EQ(solution.status, kChebyshevOptimal);
        EXPECT_DOUBLE_EQ(x[0][0], 6.0);
        EXPECT_DOUBLE_EQ(solution.maxResidual, 4.0);
    }
}

// Designs where rounding used to let an all-zero row, or a row of the dual
// that only rank deficiency makes redundant, into the basis: the basis went
// singular and a wrong vertex came out marked optimal. Both have an exact
// fit, so every residual must vanish.
TEST(ChebyshevSolver, ZeroRowsAndTooFewObservationsReachTheExactFit)
{
    struct Case {
        const char* name;
        std::vector<std::vector<double>> design;
        std::vector<double> observations;
    };
    const Case cases[] = {
        {"zero rows", {{1.25, -26.25}, {0, 0}, {0, 0}}, {-46, 0, 0}},
        {"n = 3, u = 4", {{1, 80, 271, 881}, {1, 1, 0, 0}, {1, 2, 0, 0}}, {10.1, 2.9, 5.2}},
    };
    for (const Case& c : cases) {
        const Matrix A = FromRows(c.design);
        const Matrix b = Column(c.observations);
        Matrix x;
        Matrix v;
        const ChebyshevSolution solution = SolveChebyshev(A, b, x, v);
        EXPECT_EQ(solution.status, kChebyshevOptimal) << c.name;
        EXPECT_LE(solution.maxResidual, 1e-12) << c.name;
        EXPECT_LE(MaxAbsResidual(A, b, ToVector(x)), 1e-12) << c.name;
    }
}

// Found by fuzzing: columns 2 and 3 are non-zero in one row only, so one row
// of the dual is redundant and keeps its artificial variable. The first
// phase used to price the rounding noise of the other multipliers and swap
// two columns back and forth until the pivot limit. Rows scaled by the
// roots of the weights (1, 2, 1, 1, 1), as the Lp library scales them.
TEST(ChebyshevSolver, RedundantDualRowDoesNotMakeTheFirstPhaseCycle)
{
    const test_support::IntegerRows design = {{1, 80, 27, 5}, {1, 1, 0, 0}, {3, 1, 0, 0}, {5, 1, 0, 0}, {71, 862, 0, 0}};
    const std::vector<double> observations = {1, 1, 1, 2.9, 5.2};
    const std::vector<double> scale = {1, std::sqrt(2.0), 1, 1, 1};
    Matrix A(5, 4, 0.0);
    Matrix b(5, 1, 0.0);
    for (int i = 0; i < 5; ++i) {
        for (int k = 0; k < 4; ++k)
            A[i][k] = scale[static_cast<std::size_t>(i)] * static_cast<double>(design[static_cast<std::size_t>(i)][k]);
        b[i][0] = scale[static_cast<std::size_t>(i)] * observations[static_cast<std::size_t>(i)];
    }
    Matrix x;
    Matrix v;
    const ChebyshevSolution solution = SolveChebyshev(A, b, x, v);
    ASSERT_EQ(solution.status, kChebyshevOptimal);
    EXPECT_LT(solution.pivots, 50);
    EXPECT_NEAR(solution.maxResidual, test_support::CircuitMinimax(design, observations, scale), 1e-12);
}

namespace {

// A small integer design of a kind the vertex oracle cannot handle: zero
// rows, repeated rows, a column that depends exactly on two others, or
// fewer rows than u + 1.
// kind: 1 zero rows, 2 a dependent column, 4 a repeated row, 8 a column
// zero in most rows, 16 entries up to 1000 instead of 3.
test_support::IntegerRows RankDeficientDesign(std::mt19937& generator, int n, int u, unsigned kind)
{
    const int largest = (kind & 16u) ? 1000 : 3;
    std::uniform_int_distribution<int> entry(-largest, largest);
    test_support::IntegerRows A(static_cast<std::size_t>(n), std::vector<long long>(static_cast<std::size_t>(u)));
    for (auto& row : A)
        for (long long& value : row)
            value = entry(generator);
    if (kind & 1u)
        for (auto& row : A)
            if (generator() % 3 == 0)
                std::fill(row.begin(), row.end(), 0);
    if ((kind & 2u) && u > 1)
        for (auto& row : A)
            row.back() = 2 * row[0] - (u > 2 ? row[1] : 0);
    if ((kind & 4u) && n > 1)
        A.back() = A.front();
    if (kind & 8u)
        for (std::size_t i = 1; i < A.size(); ++i)
            A[i][static_cast<std::size_t>(u - 1)] = 0;
    return A;
}

Matrix ScaledRows(const test_support::IntegerRows& rows, const std::vector<double>& scale)
{
    Matrix m(static_cast<int>(rows.size()), static_cast<int>(rows.front().size()), 0.0);
    for (int i = 0; i < m.Rows(); ++i)
        for (int k = 0; k < m.Columns(); ++k)
            m[i][k] = scale[static_cast<std::size_t>(i)] * static_cast<double>(rows[static_cast<std::size_t>(i)][k]);
    return m;
}

} // namespace

// Every small rank-deficient problem reaches the value of the exact circuit
// oracle, also with its rows scaled by the roots of uneven weights as the Lp
// library scales them (which makes the dependencies inexact in doubles).
TEST(ChebyshevSolver, RankDeficientProblemsMatchCircuitOracle)
{
    for (unsigned seed = 0; seed < 8000; ++seed) {
        std::mt19937 generator(seed);
        const int n = 1 + static_cast<int>(generator() % 8);
        const int u = 1 + static_cast<int>(generator() % 4);
        const test_support::IntegerRows design = RankDeficientDesign(generator, n, u, seed % 32);
        std::vector<double> observations(static_cast<std::size_t>(n));
        std::vector<double> scale(static_cast<std::size_t>(n), 1.0);
        for (std::size_t i = 0; i < observations.size(); ++i) {
            observations[i] = static_cast<double>(static_cast<int>(generator() % 9) - 4);
            if (seed % 64 >= 32)
                scale[i] = std::sqrt(0.5 + static_cast<double>(generator() % 100) / 7.0);
        }
        const Matrix A = ScaledRows(design, scale);
        Matrix b(n, 1, 0.0);
        for (int i = 0; i < n; ++i)
            b[i][0] = scale[static_cast<std::size_t>(i)] * observations[static_cast<std::size_t>(i)];
        Matrix x;
        Matrix v;
        const ChebyshevSolution solution = SolveChebyshev(A, b, x, v);
        ASSERT_EQ(solution.status, kChebyshevOptimal) << "seed " << seed;
        const double oracle = test_support::CircuitMinimax(design, observations, scale);
        EXPECT_NEAR(solution.maxResidual, oracle, 1e-12 * (1.0 + oracle) * (seed % 32 >= 16 ? 1000.0 : 1.0))
            << "seed " << seed;
        EXPECT_NEAR(MaxAbsResidual(A, b, ToVector(x)), solution.maxResidual, 1e-12 * (1.0 + oracle));
    }
}

// The circuit oracle is checked against the independent vertex oracle where
// both apply (full column rank, n >= u + 1), with small and large entries.
TEST(ChebyshevSolver, CircuitOracleAgreesWithVertexOracle)
{
    int compared = 0;
    for (unsigned seed = 0; seed < 400; ++seed) {
        std::mt19937 generator(seed);
        const int u = 1 + static_cast<int>(seed % 4);
        const int n = u + 1 + static_cast<int>(generator() % 4);
        const test_support::IntegerRows design = RankDeficientDesign(generator, n, u, (seed % 2) * 16);
        std::vector<double> observations(static_cast<std::size_t>(n));
        for (double& value : observations)
            value = static_cast<double>(static_cast<int>(generator() % 9) - 4);
        const Matrix A = ScaledRows(design, std::vector<double>(static_cast<std::size_t>(n), 1.0));
        const double vertex = BruteForceMinimax(A, Column(observations));
        if (std::isinf(vertex))
            continue;
        ++compared;
        EXPECT_NEAR(test_support::CircuitMinimax(design, observations), vertex, 1e-10 * (1.0 + vertex)) << "seed " << seed;
    }
    EXPECT_GT(compared, 300);
}

// Large problems with all-zero rows among them and two columns that repeat
// others exactly (scaled by 2 and -1): the same value as the full-rank
// problem without those columns and rows, or the largest |b_i| of a zero
// row if that is larger.
TEST(ChebyshevSolver, LargeProblemsWithZeroRowsAndRepeatedColumns)
{
    for (unsigned seed = 0; seed < 40; ++seed) {
        std::mt19937 generator(seed);
        std::normal_distribution<double> normal(0.0, 1.0);
        const int n = 50 + static_cast<int>(generator() % 2000);
        const int u = 2 + static_cast<int>(seed % 4);
        const double spread = seed % 3 == 0 ? 1e6 : 1.0;
        Matrix A(n, u + 2, 0.0);
        Matrix b(n, 1, 0.0);
        std::vector<std::vector<double>> reducedRows;
        std::vector<double> reducedObservations;
        double zeroRowValue = 0.0;
        for (int i = 0; i < n; ++i) {
            b[i][0] = 3.0 * normal(generator);
            if (generator() % 10 == 0) {
                zeroRowValue = std::max(zeroRowValue, std::fabs(b[i][0]));
                continue;
            }
            A[i][0] = 1.0;
            for (int k = 1; k < u; ++k)
                A[i][k] = spread * normal(generator);
            A[i][u] = 2.0 * A[i][1];
            A[i][u + 1] = -A[i][0];
            reducedRows.emplace_back(A[i], A[i] + u);
            reducedObservations.push_back(b[i][0]);
        }
        Matrix x;
        Matrix v;
        const ChebyshevSolution solution = SolveChebyshev(A, b, x, v);
        Matrix reducedX;
        Matrix reducedV;
        const ChebyshevSolution reduced =
            SolveChebyshev(FromRows(reducedRows), Column(reducedObservations), reducedX, reducedV);
        ASSERT_EQ(solution.status, kChebyshevOptimal) << "seed " << seed;
        ASSERT_EQ(reduced.status, kChebyshevOptimal) << "seed " << seed;
        const double expected = std::max(reduced.maxResidual, zeroRowValue);
        EXPECT_NEAR(solution.maxResidual, expected, 1e-9 * (1.0 + expected)) << "seed " << seed;
    }
}

TEST(ChebyshevSolver, NonFiniteInputGivesNaNSolution)
{
    const Matrix A = FromRows({{1, 0}, {1, std::numeric_limits<double>::infinity()}, {1, 2}});
    const Matrix b = Column({1, 2, std::nan("")});
    Matrix x;
    Matrix v;
    const ChebyshevSolution solution = SolveChebyshev(A, b, x, v);
    EXPECT_EQ(solution.status, kChebyshevNotFinite);
    ASSERT_EQ(x.Rows(), 2);
    EXPECT_TRUE(std::isnan(x[0][0]));
    ASSERT_EQ(v.Rows(), 3);
    EXPECT_TRUE(std::isnan(v[2][0]));
}
