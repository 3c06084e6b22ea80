#include "core/l1_solver_internal.h"
#include "core/matrix.h"
#include "l1_reference.h"

#include <gtest/gtest.h>

#include "stack_loss.h"
#include "test_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

using test_support::SameBits;

namespace {

using test_support::FromRows;
using test_support::Column;
using test_support::ExpectColumn;

struct L1Result {
    Matrix x;
    Matrix v;
};

L1Result Solve(const Matrix& A, const Matrix& b)
{
    L1Result result;
    result.x.SolveL1(A, b, result.v);
    return result;
}

// a(i) x - b(i), summed in the plain order: the residual the solver reports.
double ResidualOf(const Matrix& A, const Matrix& b, const Matrix& x, int i)
{
    double ax = 0.0;
    for (int j = 0; j < A.Columns(); ++j)
        ax += A(i, j) * x(j, 0);
    return ax - b(i, 0);
}

double SumAbs(const Matrix& v)
{
    double sum = 0.0;
    for (int i = 0; i < v.Rows(); ++i)
        sum += std::fabs(v(i, 0));
    return sum;
}

Matrix Ones(int rows)
{
    return Matrix(rows, 1, 1.0);
}

// The small worked problems: medians, lines and a basis of three equations.
TEST(SolveL1, MedianOfFiveIsTheMiddleValue)
{
    const L1Result r = Solve(Ones(5), Column({1, 2, 3, 4, 100}));
    ExpectColumn(r.x, {3}, 0.0);
    ExpectColumn(r.v, {2, 1, 0, -1, -97}, 0.0);
}

TEST(SolveL1, EvenCountGivesTheLowerEndOfTheOptimalInterval)
{
    // Every x in [2, 3] minimises the sum; the pivot order reaches 2.
    const L1Result r = Solve(Ones(4), Column({1, 2, 3, 4}));
    ExpectColumn(r.x, {2}, 0.0);
    ExpectColumn(r.v, {1, 0, -1, -2}, 0.0);
}

TEST(SolveL1, LineThroughFiveOfSixPointsIgnoresTheOutlier)
{
    Matrix A(6, 2, 1.0);
    Matrix b(6, 1, 0.0);
    for (int h = 0; h < 6; ++h) {
        A(h, 1) = h;
        b(h, 0) = 2 * h + 1;
    }
    b(5, 0) += 10;
    const L1Result r = Solve(A, b);
    ExpectColumn(r.x, {1, 2}, 1e-12);
    ExpectColumn(r.v, {0, 0, 0, 0, 0, -10}, 1e-12);
}

TEST(SolveL1, ThreeEquationsTwoUnknowns)
{
    const L1Result r = Solve(FromRows({{1, 0}, {0, 1}, {1, 1}}), Column({1, 2, 4}));
    ExpectColumn(r.x, {1, 2}, 1e-15);
    ExpectColumn(r.v, {0, 0, -1}, 1e-15);
}

TEST(SolveL1, ResidualOfAnEquationInTheBasisIsNegativeZero)
{
    const L1Result r = Solve(Ones(5), Column({1, 2, 3, 4, 100}));
    ASSERT_EQ(r.v(2, 0), 0.0);
    EXPECT_TRUE(std::signbit(r.v(2, 0)));
    char text[32];
    std::snprintf(text, sizeof text, "%15.5f", r.v(2, 0));
    EXPECT_EQ(std::string(text), "       -0.00000");
    // A residual that is really nonzero keeps its plain sign.
    EXPECT_FALSE(std::signbit(r.v(0, 0)));
}

TEST(SolveL1, RatiosBeyondTheStartValueOfTheRatioTestStillFindTheMedian)
{
    // Every ratio exceeds 1e20, where the ratio scan starts: the least one
    // is still taken, and the median comes out as for ordinary data.
    const L1Result r = Solve(Ones(5), Column({1e30, 2e30, 3e30, 4e30, 1e32}));
    ExpectColumn(r.x, {3e30}, 0.0);
    ExpectColumn(r.v, {2e30, 1e30, 0, -1e30, 3e30 - 1e32}, 1e16);
}

TEST(SolveL1, LeavesArgumentsAndRebuildsTheOutputs)
{
    const Matrix A = FromRows({{1, 0}, {1, 1}, {1, 2}, {1, 3}});
    const Matrix b = Column({-1, -3, 5, -7});
    const Matrix aBefore(A);
    const Matrix bBefore(b);
    Matrix x(7, 3, 42.0);
    Matrix v(1, 5, 42.0);
    x.SolveL1(A, b, v);
    EXPECT_TRUE(SameBits(A, aBefore));
    EXPECT_TRUE(SameBits(b, bBefore));
    EXPECT_EQ(x.Rows(), 2);
    EXPECT_EQ(x.Columns(), 1);
    EXPECT_EQ(v.Rows(), 4);
    EXPECT_EQ(v.Columns(), 1);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(v(i, 0), ResidualOf(A, b, x, i), 1e-12);
}

// The unique optimal vertex of the stack loss data has zero residuals at
// observations 2, 8, 16 and 18.
TEST(SolveL1, StackLossMatchesTheCertifiedVertex)
{
    const test_support::StackLossProblem data = test_support::ReadStackLoss();
    const Matrix& A = data.A;
    const Matrix& b = data.l;
    const L1Result r = Solve(A, b);
    ExpectColumn(r.x, test_support::kStackLossL1, 1e-10);
    EXPECT_NEAR(SumAbs(r.v), test_support::kStackLossL1Sum, 1e-10);
    for (int i = 0; i < 21; ++i) {
        const bool basic = i == 1 || i == 7 || i == 15 || i == 17;
        if (basic)
            EXPECT_EQ(r.v(i, 0), 0.0) << "observation " << i + 1;
        else
            EXPECT_NEAR(r.v(i, 0), ResidualOf(A, b, r.x, i), 1e-9) << "observation " << i + 1;
    }
}

TEST(SolveL1, DependentColumnsAreSetAsideWithUnknownZero)
{
    // Column 3 is zero, column 4 twice column 2: one unknown of each
    // dependent set stays exactly 0, and the fit is the one of (1, h).
    const int m = 7;
    Matrix A(m, 4, 1.0);
    Matrix b(m, 1, 0.0);
    for (int h = 0; h < m; ++h) {
        A(h, 1) = h;
        A(h, 2) = 0.0;
        A(h, 3) = 2.0 * h;
        b(h, 0) = 3.0 - 0.5 * h;
    }
    b(2, 0) += 4.0;
    const L1Result r = Solve(A, b);
    EXPECT_EQ(r.x(2, 0), 0.0);
    EXPECT_TRUE(r.x(1, 0) == 0.0 || r.x(3, 0) == 0.0);
    EXPECT_NEAR(r.x(0, 0), 3.0, 1e-12);
    EXPECT_NEAR(r.x(1, 0) + 2.0 * r.x(3, 0), -0.5, 1e-12);
    for (int i = 0; i < m; ++i)
        EXPECT_NEAR(r.v(i, 0), i == 2 ? -4.0 : 0.0, 1e-12);
}

// Solves the square system of the chosen rows by elimination with partial
// pivoting; false when it is (nearly) singular.
bool SolveChosenRows(const Matrix& A, const Matrix& b, const std::vector<int>& chosen, std::vector<double>& x)
{
    const int n = A.Columns();
    std::vector<std::vector<double>> a(n, std::vector<double>(n + 1));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j)
            a[i][j] = A(chosen[i], j);
        a[i][n] = b(chosen[i], 0);
    }
    for (int c = 0; c < n; ++c) {
        int pivot = c;
        for (int i = c + 1; i < n; ++i)
            if (std::fabs(a[i][c]) > std::fabs(a[pivot][c]))
                pivot = i;
        if (std::fabs(a[pivot][c]) < 1e-12)
            return false;
        std::swap(a[c], a[pivot]);
        for (int i = 0; i < n; ++i) {
            if (i == c)
                continue;
            const double f = a[i][c] / a[c][c];
            for (int j = c; j <= n; ++j)
                a[i][j] -= f * a[c][j];
        }
    }
    x.assign(n, 0.0);
    for (int i = 0; i < n; ++i)
        x[i] = a[i][n] / a[i][i];
    return true;
}

// An L1 optimum of a full-rank system lies on a vertex where N equations
// hold exactly: the least sum over all N-subsets of the rows is the optimum.
double LeastSumOverVertices(const Matrix& A, const Matrix& b)
{
    const int m = A.Rows();
    const int n = A.Columns();
    double least = std::numeric_limits<double>::infinity();
    std::vector<int> chosen(n);
    for (int i = 0; i < n; ++i)
        chosen[i] = i;
    std::vector<double> x;
    for (;;) {
        if (SolveChosenRows(A, b, chosen, x)) {
            double sum = 0.0;
            for (int i = 0; i < m; ++i) {
                double ax = 0.0;
                for (int j = 0; j < n; ++j)
                    ax += A(i, j) * x[j];
                sum += std::fabs(b(i, 0) - ax);
            }
            least = std::min(least, sum);
        }
        int k = n - 1;
        while (k >= 0 && chosen[k] == m - n + k)
            --k;
        if (k < 0)
            return least;
        ++chosen[k];
        for (int i = k + 1; i < n; ++i)
            chosen[i] = chosen[i - 1] + 1;
    }
}

TEST(SolveL1, ReachesTheLeastSumOfAllVertices)
{
    std::mt19937_64 random(31);
    std::normal_distribution<double> normal;
    for (int trial = 0; trial < 150; ++trial) {
        const int n = 1 + trial % 3;
        const int m = n + 2 + static_cast<int>(random() % 8);
        Matrix A(m, n, 1.0);
        Matrix b(m, 1, 0.0);
        for (int i = 0; i < m; ++i) {
            for (int j = 1; j < n; ++j)
                A(i, j) = normal(random);
            b(i, 0) = 2.0 * normal(random) + (random() % 4 == 0 ? 15.0 : 0.0);
        }
        const L1Result r = Solve(A, b);
        const double optimum = LeastSumOverVertices(A, b);
        EXPECT_NEAR(SumAbs(r.v), optimum, 1e-9 * (1.0 + optimum)) << "trial " << trial;
        for (int i = 0; i < m; ++i)
            EXPECT_NEAR(r.v(i, 0), ResidualOf(A, b, r.x, i), 1e-9) << "trial " << trial;
    }
}

// ---------------------------------------------------------------------------
// The ratio queue against the list procedure it replaces.

// Takes entries the way the list scan does: least ratio below 1e20, first
// position among equals; nothing below 1e20 means the least ratio that is a
// number, else the first entry. The last entry fills the hole.
std::vector<int> TakeAllByListScan(std::vector<double> ratios, std::vector<int> rows)
{
    std::vector<int> taken;
    while (!ratios.empty()) {
        int chosen = -1;
        double least = 1e20;
        for (std::size_t i = 0; i < ratios.size(); ++i)
            if (ratios[i] < least) {
                least = ratios[i];
                chosen = static_cast<int>(i);
            }
        if (chosen < 0) {
            chosen = 0;
            for (std::size_t i = 0; i < ratios.size(); ++i)
                if (!std::isnan(ratios[i]) && (std::isnan(ratios[chosen]) || ratios[i] < ratios[chosen]))
                    chosen = static_cast<int>(i);
        }
        taken.push_back(rows[chosen]);
        ratios[chosen] = ratios.back();
        rows[chosen] = rows.back();
        ratios.pop_back();
        rows.pop_back();
    }
    return taken;
}

// Batches of 1, 2 and 5 draw the heap many times per list and leave entries
// of equal ratio out of it, which may then move before entries inside.
TEST(RatioQueue, TakesEntriesInTheOrderOfTheListScan)
{
    std::mt19937_64 random(7);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> specials = {0.0, -0.0, 1e20, 2e20, inf, nan, -1.0};
    for (int batch : {1, 2, 5, 64}) {
        l1::RatioQueue queue(batch);
        ASSERT_TRUE(queue.Reserve(60));
        for (int trial = 0; trial < 400; ++trial) {
            const int count = 1 + static_cast<int>(random() % 60);
            const int distinct = 1 + static_cast<int>(random() % 6);  // few values: many ties
            std::vector<double> ratios;
            std::vector<int> rows;
            // Rows whose coefficient is at or below the tolerance (every
            // third one) are no candidates and leave no trace.
            std::vector<double> coefficients;
            std::vector<double> rhs;
            for (int i = 0; i < count; ++i) {
                double ratio = static_cast<double>(random() % distinct) * 0.25;
                if (trial % 3 == 0 && random() % 5 == 0)
                    ratio = specials[random() % specials.size()];
                const bool candidate = i % 3 != 1;
                coefficients.push_back(candidate ? 1.0 : (i % 2 == 0 ? 0.5 : -1.0));
                rhs.push_back(ratio);
                if (candidate) {
                    ratios.push_back(ratio);
                    rows.push_back(i);
                }
            }
            queue.Clear();
            queue.AddRatios(coefficients.data(), rhs.data(), 0, count, 0.75);
            std::vector<int> taken;
            while (queue.Count() > 0)
                taken.push_back(queue.TakeLeast());
            EXPECT_EQ(taken, TakeAllByListScan(ratios, rows)) << "batch " << batch << " trial " << trial;
        }
    }
}

// ---------------------------------------------------------------------------
// The fast solver against the literal transcription, bit for bit.

struct Problem {
    std::string kind;
    Matrix A;
    Matrix b;
};

Problem Gaussian(std::mt19937_64& random, int m, int n, double outlierShare)
{
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform;
    Problem p{"gaussian", Matrix(m, n, 1.0), Matrix(m, 1, 0.0)};
    for (int i = 0; i < m; ++i) {
        double value = normal(random);
        for (int j = 1; j < n; ++j) {
            p.A(i, j) = normal(random);
            value += (j + 1) * p.A(i, j);
        }
        if (uniform(random) < outlierShare)
            value += 20.0 + 10.0 * normal(random);
        p.b(i, 0) = value;
    }
    return p;
}

// Small integers: ties among ratios and costs, degenerate vertices.
Problem SmallIntegers(std::mt19937_64& random, int m, int n, int range)
{
    Problem p{"integers", Matrix(m, n, 1.0), Matrix(m, 1, 0.0)};
    auto draw = [&] { return static_cast<double>(static_cast<int>(random() % (2 * range + 1)) - range); };
    for (int i = 0; i < m; ++i) {
        for (int j = 1; j < n; ++j)
            p.A(i, j) = draw();
        p.b(i, 0) = draw();
    }
    return p;
}

Problem RepeatedRows(std::mt19937_64& random, int m, int n)
{
    Problem base = SmallIntegers(random, 3 + static_cast<int>(random() % 3), n, 4);
    Problem p{"repeated rows", Matrix(m, n, 0.0), Matrix(m, 1, 0.0)};
    for (int i = 0; i < m; ++i) {
        const int source = static_cast<int>(random() % base.A.Rows());
        for (int j = 0; j < n; ++j)
            p.A(i, j) = base.A(source, j);
        p.b(i, 0) = base.b(source, 0);
    }
    return p;
}

Problem ZeroRightHandSide(std::mt19937_64& random, int m, int n, bool partly)
{
    Problem p = Gaussian(random, m, n, 0.0);
    p.kind = partly ? "partly zero b" : "zero b";
    for (int i = 0; i < m; ++i)
        if (!partly || random() % 2 == 0)
            p.b(i, 0) = (random() % 2 == 0) ? 0.0 : -0.0;
    return p;
}

Problem DependentColumns(std::mt19937_64& random, int m, int n)
{
    Problem p = SmallIntegers(random, m, n, 3);
    p.kind = "dependent columns";
    const int target = 1 + static_cast<int>(random() % (n - 1));
    const int mode = static_cast<int>(random() % 3);
    for (int i = 0; i < m; ++i) {
        if (mode == 0)
            p.A(i, target) = 0.0;
        else if (mode == 1)
            p.A(i, target) = 3.0 * p.A(i, 0);
        else
            p.A(i, target) = p.A(i, 0) - p.A(i, (target + 1) % n);
    }
    return p;
}

// Tiny and huge magnitudes put entries near the 1e-9 tolerance.
Problem Scaled(std::mt19937_64& random, int m, int n)
{
    Problem p = Gaussian(random, m, n, 0.1);
    p.kind = "scaled";
    const double scale = std::pow(10.0, static_cast<double>(static_cast<int>(random() % 25)) - 12.0);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < n; ++j)
            p.A(i, j) *= (j % 2 == 0) ? scale : 1.0;
    return p;
}

// A levelling network: a point tied by a direct observation, then height
// differences between random pairs of points (+1 and -1), small integers
// with a few blunders. Most factors of every exchange step are zero.
Problem Network(std::mt19937_64& random, int m, int n)
{
    Problem p{"network", Matrix(m, n, 0.0), Matrix(m, 1, 0.0)};
    p.A(0, 0) = 1.0;
    p.b(0, 0) = static_cast<double>(random() % 5);
    for (int i = 1; i < m; ++i) {
        const int from = static_cast<int>(random() % n);
        const int to = n == 1 ? from : (from + 1 + static_cast<int>(random() % (n - 1))) % n;
        p.A(i, to) += 1.0;
        p.A(i, from) -= 1.0;
        p.b(i, 0) = static_cast<double>(static_cast<int>(random() % 7) - 3) + (random() % 10 == 0 ? 40.0 : 0.0);
    }
    return p;
}

// The same numbers, but a zero may have either sign (the shared rule).
testing::AssertionResult SameButSignsOfZero(const Matrix& actual, const Matrix& expected,
                                            const std::vector<bool>* basic = nullptr)
{
    const int i = test_support::FirstDifferenceButSignsOfZero(actual, expected, basic);
    if (i < 0)
        return testing::AssertionSuccess();
    if (actual.Rows() != expected.Rows() || actual.Columns() != expected.Columns())
        return testing::AssertionFailure() << "shapes differ";
    return testing::AssertionFailure() << "element " << i << ": " << actual(i, 0) << " against " << expected(i, 0);
}

void ExpectSameAsLiteral(const Problem& p, const std::string& label)
{
    Matrix xLiteral(1, 1, 0.0);
    Matrix vLiteral(1, 1, 0.0);
    test_support::SolveL1Literal(p.A, p.b, xLiteral, vLiteral);
    // Every entry updated at each exchange step, in one block or cut into
    // blocks of a few rows shared with a helper thread: the same bits.
    for (const l1::Schedule schedule : {l1::Schedule{512, false, false}, l1::Schedule{1, true, false},
                                        l1::Schedule{7, true, false}}) {
        L1Result full;
        l1::SolveL1(p.A, p.b, full.x, full.v, schedule);
        EXPECT_TRUE(SameBits(full.x, xLiteral)) << label << " blocks of " << schedule.blockRows;
        EXPECT_TRUE(SameBits(full.v, vLiteral)) << label << " blocks of " << schedule.blockRows;
    }
    // Entries with a zero factor left alone (as Matrix::SolveL1 does): the
    // same pivots and numbers, only zeros may change sign.
    const L1Result fast = Solve(p.A, p.b);
    EXPECT_TRUE(SameButSignsOfZero(fast.x, xLiteral)) << label;
    // Columns of small whole numbers as bytes (the default) or as doubles.
    for (const l1::Schedule schedule : {l1::Schedule{512, false}, l1::Schedule{1, true}, l1::Schedule{7, true},
                                        l1::Schedule{512, false, true, false}}) {
        L1Result skipping;
        std::vector<bool> basic;
        l1::SolveL1(p.A, p.b, skipping.x, skipping.v, schedule, &basic);
        const std::string how = " skipping, blocks of " + std::to_string(schedule.blockRows) +
                                (schedule.narrowIntegers ? "" : ", no bytes");
        EXPECT_TRUE(SameButSignsOfZero(skipping.x, xLiteral)) << label << how;
        EXPECT_TRUE(SameButSignsOfZero(skipping.v, vLiteral, &basic)) << label << how;
    }
}

TEST(SolveL1, MatchesTheLiteralMethodBitForBit)
{
    std::mt19937_64 random(20240611);
    for (int trial = 0; trial < 600; ++trial) {
        const int n = 1 + static_cast<int>(random() % 6);
        const int m = n + static_cast<int>(random() % 60);
        Problem p{"", Matrix(1, 1, 0.0), Matrix(1, 1, 0.0)};
        switch (trial % 8) {
        case 0: p = Gaussian(random, m, n, 0.1); break;
        case 1: p = SmallIntegers(random, m, n, 2); break;
        // Whole numbers up to 100: results that leave the bytes' range.
        case 2: p = SmallIntegers(random, m, n, trial % 16 == 2 ? 9 : 100); break;
        case 3: p = RepeatedRows(random, m, n); break;
        case 4: p = ZeroRightHandSide(random, m, n, trial % 16 == 4); break;
        case 5: p = n > 1 ? DependentColumns(random, m, n) : Gaussian(random, m, n, 0.3); break;
        case 6: p = trial % 16 == 6 ? Network(random, m, n) : Scaled(random, m, n); break;
        default:
            // As many equations as unknowns or fewer; or ratios beyond 1e20.
            if (trial % 16 == 7) {
                p = SmallIntegers(random, 1 + static_cast<int>(random() % (n + 1)), n, 3);
            } else {
                p = Gaussian(random, m, n, 0.2);
                p.kind = "huge b";
                for (int i = 0; i < m; ++i)
                    p.b(i, 0) *= 1e25;
            }
            break;
        }
        ExpectSameAsLiteral(p, p.kind + " trial " + std::to_string(trial));
    }
}

TEST(SolveL1, MatchesTheLiteralMethodOnLargerProblems)
{
    std::mt19937_64 random(99);
    for (int trial = 0; trial < 8; ++trial) {
        const int n = 2 + trial;
        Problem p = trial % 2 == 0 ? Gaussian(random, 400, n, 0.1) : SmallIntegers(random, 400, n, 3);
        if (trial == 7)
            p = ZeroRightHandSide(random, 300, 4, false);
        if (trial == 5 || trial == 6)
            p = Network(random, 400, 12 * trial);
        ExpectSameAsLiteral(p, p.kind + " large trial " + std::to_string(trial));
    }
}

TEST(SolveL1, NetworksMatchTheLiteralMethod)
{
    std::mt19937_64 random(2026);
    for (int trial = 0; trial < 40; ++trial) {
        const int n = 2 + static_cast<int>(random() % 30);
        const int m = n + static_cast<int>(random() % (8 * n));
        ExpectSameAsLiteral(Network(random, m, n), "network trial " + std::to_string(trial));
    }
}

// Whole numbers at the edge of what a byte holds, -0 entries, and networks
// with one column doubled (pivots of 2 among those of 1): the columns turn
// from bytes to doubles at different steps, the numbers stay those of the
// literal method.
TEST(SolveL1, ColumnsOfWholeNumbersMatchTheLiteralMethodAtTheirLimits)
{
    std::mt19937_64 random(127);
    for (int trial = 0; trial < 60; ++trial) {
        const int n = 2 + static_cast<int>(random() % 5);
        const int m = n + 3 + static_cast<int>(random() % 30);
        Problem p = trial % 3 == 2 ? Network(random, m, n) : SmallIntegers(random, m, n, 2);
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < n; ++j) {
                double& entry = p.A(i, j);
                if (trial % 3 == 0 && random() % 4 == 0)
                    entry = (random() % 2 == 0 ? 1.0 : -1.0) * (126.0 + static_cast<double>(random() % 4));
                else if (trial % 3 == 1 && entry == 0.0)
                    entry = -0.0;
                else if (trial % 3 == 2 && j == n - 1)
                    entry *= 2.0;
            }
        ExpectSameAsLiteral(p, "limits trial " + std::to_string(trial));
    }
}

TEST(SolveL1, NonFiniteDataEndsAndMatchesTheLiteralMethod)
{
    std::mt19937_64 random(5);
    const double specials[] = {std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(), 1e300};
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 1 + static_cast<int>(random() % 4);
        const int m = n + static_cast<int>(random() % 12);
        Problem p = Gaussian(random, m, n, 0.1);
        const int hits = 1 + static_cast<int>(random() % 3);
        for (int h = 0; h < hits; ++h) {
            const int i = static_cast<int>(random() % m);
            const int j = static_cast<int>(random() % (n + 1));
            (j == n ? p.b(i, 0) : p.A(i, j)) = specials[random() % 4];
        }
        ExpectSameAsLiteral(p, "non-finite trial " + std::to_string(trial));
    }
}

}  // namespace
