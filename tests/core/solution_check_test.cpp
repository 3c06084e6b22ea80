#include "core/solution_check.h"

#include "core/estimator.h"
#include "core/irls_pass.h"
#include "core/lp_norm_solver.h"
#include "core/memory_budget.h"
#include "core/methods.h"
#include "core/results_text.h"
#include "res/string_table.h"
#include "stack_loss.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <random>
#include <string>
#include <vector>

namespace {

using test_support::Column;
using test_support::FromRows;

// A polynomial fit of degree `degree` at 82 points between -9 and -3, the
// powers x^0 .. x^degree as the design columns (a classic test of certified
// least squares: the column-scaled normal matrix of degree 10 has a
// condition number near 1e16), observations a smooth curve plus a fixed
// ripple.
struct Problem {
    Matrix A;
    Matrix l;
    Matrix p;
};

Problem PolynomialFit(int degree)
{
    const int n = 82;
    Problem problem{Matrix(n, degree + 1, 0.0), Matrix(n, 1, 0.0), Matrix(n, 1, 1.0)};
    for (int i = 0; i < n; ++i) {
        const double x = -9.0 + 6.0 * i / (n - 1);
        for (int k = 0; k <= degree; ++k)
            problem.A(i, k) = std::pow(x, k);
        problem.l(i, 0) = (1.0 + x + x * x) / (1.0 + 0.01 * x * x) + 0.003 * std::sin(7.0 * i);
    }
    return problem;
}

struct EngineRun {
    int result;
    AdjustmentResults results;
};

EngineRun RunEngine(Problem problem, int code, double constant, double factor)
{
    test_support::TempFolder folder;
    CEstimator engine;
    engine.SetOutputFile(folder.Path("check.AUS"));
    engine.TuningConstant = constant;
    const int result = engine.RunWithWeightVector(std::move(problem.A), std::move(problem.l), std::move(problem.p),
                                                  code, factor, kDefaultMaxPasses, kDefaultStopCriterion);
    return {result, engine.TakeResults()};
}

// The engine's verdict on each case: the condition of the normal equations
// fails a run with no correct digit, warns below six, and the direct
// solutions answer to their own checks.
TEST(SolutionCheck, EngineRunsSucceedOnlyWithACertificate)
{
    const Problem rankDeficient{FromRows({{1, 0, 1}, {1, 1, 2}, {1, 2, 3}, {1, 3, 4}, {1, 4, 5}}),
                                Column({2, 5, 8, 11, 14}), Column({1, 1, 1, 1, 1})};
    const test_support::StackLossProblem stack = test_support::ReadStackLoss();
    const Problem stackLoss{stack.A, stack.l, stack.weights};
    struct Case {
        const char* name;
        Problem problem;
        int code;
        double constant;
        double factor;
        int result;
        Optimality optimality;
        int causeId;
    };
    const std::vector<Case> cases = {
        {"degree 10, least squares", PolynomialFit(10), kMethodLpNorm, 0.0, 2.0, kRunNotFinite, Optimality::kFailed,
         kStringSingularNormals},
        {"degree 10, huber 1e8", PolynomialFit(10), kMethodHuber, 1e8, 0.0, kRunNotFinite, Optimality::kFailed,
         kStringSingularNormals},
        {"degree 7, few digits", PolynomialFit(7), kMethodLpNorm, 0.0, 2.0, kRunSuccess, Optimality::kProved,
         kStringFewDigits},
        {"rank deficient", rankDeficient, kMethodLpNorm, 0.0, 2.0, kRunNotFinite, Optimality::kFailed,
         kStringSingularNormals},
        {"stack loss huber", stackLoss, kMethodHuber, 1.5, 0.0, kRunSuccess, Optimality::kProved, 0},
        {"stack loss l1", stackLoss, kMethodL1, 0.0, 0.0, kRunSuccess, Optimality::kProved, 0},
        {"n < u", Problem{FromRows({{1, 2, 3}, {2, 3, 5}}), Column({1, 2}), Column({1, 1})}, kMethodL1, 0.0, 0.0,
         kRunTooFewObservations, Optimality::kProved, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const EngineRun run = RunEngine(c.problem, c.code, c.constant, c.factor);
        EXPECT_EQ(run.result, c.result);
        EXPECT_EQ(run.results.check.optimality, c.optimality);
        EXPECT_EQ(run.results.check.causeId, c.causeId);
    }
}

TEST(SolutionCheck, ColumnScalingRemovesUnits)
{
    // N = diag(1e6, 1e-6) is perfectly conditioned once its columns are scaled.
    const std::vector<double> N = {1e6, 0.0, 0.0, 1e-6};
    Matrix Q = FromRows({{1e-6, 0.0}, {0.0, 1e6}});
    EXPECT_DOUBLE_EQ(ScaledConditionNumber(N, Q), 1.0);
    Q(1, 1) = -1.0; // a diagonal of Q that is not positive
    EXPECT_TRUE(std::isinf(ScaledConditionNumber(N, Q)));
    EXPECT_TRUE(NormalEquationsCheck(N, Q).Failed());
}

std::string Text(const AdjustmentResults& results, ResultsFormat format)
{
    std::string text;
    WriteResults(results, format, [&text](std::string_view piece) { text += piece; });
    return text;
}

// The check reaches the results files and the summary; with n = u, s0 and
// the standard deviations are null with a note, and the run succeeds.
TEST(SolutionCheck, ResultsCarryTheCheckAndTheNoteOfNEqualsU)
{
    const EngineRun square = RunEngine(Problem{FromRows({{1, 0}, {1, 1}}), Column({1, 3}), Column({1, 1})},
                                       kMethodLpNorm, 0.0, 2.0);
    EXPECT_EQ(square.result, kRunSuccess);
    // N = [[2, 1], [1, 1]]: ||D N D||_1 = 1 + 1/sqrt 2, ||D^-1 Q D^-1||_1 = 2 + sqrt 2.
    ASSERT_NEAR(square.results.check.conditionNumber.value_or(0.0), 3.0 + 2.0 * std::sqrt(2.0), 1e-12);
    const std::string digits = std::to_string(square.results.check.estimatedDigits.value_or(-1));
    EXPECT_EQ(digits, "14"); // -log10(5.83 * 2.2e-16) = 14.9
    const std::string json = Text(square.results, ResultsFormat::kJson);
    EXPECT_NE(json.find("\"s0\": null,\n  \"check\": { \"optimality\": \"proved\", \"estimatedDigits\": 14, "
                        "\"conditionNumber\": 5.828427124746"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"note\": \"n = u: s0 and standard deviations are not defined\" }"), std::string::npos);
    EXPECT_NE(json.find("\"standardDeviation\": null"), std::string::npos);
    const std::string csv = Text(square.results, ResultsFormat::kCsv);
    EXPECT_NE(csv.find("# s0,\n# optimality,proved\n# estimated_digits,14\n# condition_number,5.8284"),
              std::string::npos)
        << csv;
    EXPECT_NE(ResultsSummary(square.results).find("s0 und Standardabweichungen nicht definiert"), std::string::npos);

    // The degree-7 fit keeps a few digits, and says so.
    const EngineRun poor = RunEngine(PolynomialFit(7), kMethodLpNorm, 0.0, 2.0);
    ASSERT_TRUE(poor.results.check.estimatedDigits.has_value());
    EXPECT_GE(*poor.results.check.estimatedDigits, kFailingDigits);
    EXPECT_LT(*poor.results.check.estimatedDigits, kWarningDigits);
    EXPECT_NE(Text(poor.results, ResultsFormat::kJson).find("\"note\": null"), std::string::npos);
    EXPECT_NE(ResultsSummary(poor.results).find("Pr\u00fcfung: bestanden, etwa " +
                                                std::to_string(*poor.results.check.estimatedDigits) +
                                                " richtige Stellen (Konditionszahl "),
              std::string::npos)
        << ResultsSummary(poor.results);
}

// The first-order condition holds at the minimiser and fails at least
// squares for p != 2, however large p is.
TEST(SolutionCheck, LpFirstOrderConditionTellsTheMinimiser)
{
    const test_support::StackLossProblem stack = test_support::ReadStackLoss();
    Matrix leastSquares;
    Matrix leastSquaresResiduals;
    SolveLpNorm(stack.A, stack.l, 2.0, 1, leastSquares, leastSquaresResiduals);
    for (double p : {1.5, 3.0, 1e3, 1e6, 1e300}) {
        SCOPED_TRACE(p);
        EXPECT_TRUE(LpFirstOrderCheck(stack.A, stack.l, leastSquares, leastSquaresResiduals, p).Failed());
    }
    for (double p : {1.5, 2.0, 3.0}) {
        SCOPED_TRACE(p);
        Matrix x;
        Matrix r;
        ASSERT_EQ(SolveLpNorm(stack.A, stack.l, p, kDefaultMaxPasses, x, r).status, kLpNormMinimum);
        EXPECT_EQ(LpFirstOrderCheck(stack.A, stack.l, x, r, p).optimality, Optimality::kProved);
    }
}

// At large p Newton's method from least squares crawls to a point whose two
// largest residuals (+4, -4) sit in rows (1, 4) and (1, 5): each column of
// the gradient alone vanishes within what psi's rounding allows there, but
// no one change of psi zeroes both. The minimax value is 3.75, so that
// point is no Lp minimiser.
TEST(SolutionCheck, LpFirstOrderConditionNeedsOneChangeForAllColumns)
{
    const Matrix A = FromRows({{0, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}});
    const Matrix b = Column({1, 3, 5, 7, 9, 21});
    const double minimax = 3.75;
    for (double p : {1e7, 1e9, 2.58e9}) {
        SCOPED_TRACE(p);
        Matrix x;
        Matrix r;
        SolveLpNorm(A, b, p, 1000, x, r);
        double largest = 0.0;
        for (int i = 0; i < r.Rows(); ++i)
            largest = std::max(largest, std::fabs(r(i, 0)));
        ASSERT_GT(largest, minimax * std::pow(6.0, 1.0 / p) * (1.0 + 1e-6));
        EXPECT_NE(LpFirstOrderCheck(A, b, x, r, p).optimality, Optimality::kProved);
    }
}

// The L1 dual: the optimal vertex has multipliers in [-1, 1]; the vertex
// through the outlier has not.
TEST(SolutionCheck, L1DualProvesTheOptimalVertexOnly)
{
    const Matrix A = FromRows({{1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}});
    const Matrix b = Column({1, 3, 5, 7, 9, 21});
    Matrix x;
    Matrix r;
    std::vector<bool> basic;
    x.SolveL1(A, b, r, &basic);
    EXPECT_EQ(L1DualCheck(A, r, basic).optimality, Optimality::kProved);

    // Through observations 1 and 6: x = (1, 4).
    const Matrix wrong = Column({1, 4});
    Matrix wrongResiduals(6, 1, 0.0);
    ComputeResiduals(A.Data(), wrong.Data(), b.Data(), wrongResiduals.Data(), 6, 2);
    const std::vector<bool> wrongBasic = {true, false, false, false, false, true};
    const SolutionCheck check = L1DualCheck(A, wrongResiduals, wrongBasic);
    EXPECT_TRUE(check.Failed());
    EXPECT_EQ(check.causeId, kStringNotOptimal);
}

// Height differences rounded to whole units between random pairs of
// points, one point tied, a few blunders: many residuals outside the basis
// are exactly 0. Without the sides the simplex left those zeros on, the
// least-norm multipliers of the zero rows (formed from rows with two
// entries each) prove some of these vertices; with them, every one.
TEST(SolutionCheck, L1DualProvesLevellingNetworks)
{
    std::mt19937_64 random(7);
    std::normal_distribution<double> noise(0.0, 2.0);
    int provedOnlyWithSides = 0;
    for (int trial = 0; trial < 20; ++trial) {
        const int u = trial < 16 ? 3 + trial % 6 : 100;
        const int n = trial < 16 ? 4 * u + trial : 40 * u;
        std::vector<double> height(static_cast<std::size_t>(u));
        for (double& h : height)
            h = static_cast<double>(random() % 50000);
        Matrix A(n, u, 0.0);
        Matrix b(n, 1, 0.0);
        A(0, 0) = 1.0;
        b(0, 0) = height[0];
        for (int i = 1; i < n; ++i) {
            const int from = static_cast<int>(random() % u);
            const int to = (from + 1 + static_cast<int>(random() % (u - 1))) % u;
            A(i, to) = 1.0;
            A(i, from) = -1.0;
            const double blunder = random() % 20 == 0 ? 300.0 : 0.0;
            b(i, 0) = std::round(height[static_cast<std::size_t>(to)] - height[static_cast<std::size_t>(from)] +
                                 noise(random) + blunder);
        }
        Matrix x;
        Matrix r;
        std::vector<bool> basic;
        std::vector<signed char> sides;
        x.SolveL1(A, b, r, &basic, &sides);
        EXPECT_EQ(L1DualCheck(A, r, basic, &sides).optimality, Optimality::kProved) << "trial " << trial;
        const Optimality withoutSides = L1DualCheck(A, r, basic).optimality;
        EXPECT_NE(withoutSides, Optimality::kFailed) << "trial " << trial;
        provedOnlyWithSides += withoutSides == Optimality::kProved ? 0 : 1;
    }
    EXPECT_GT(provedOnlyWithSides, 0);
}

// Linux grants u x u before it is touched: the estimate refuses it first.
TEST(SolutionCheck, MemoryEstimateRefusesWhatCannotFit)
{
    EXPECT_GT(EstimatedRunBytes(kMethodHuber, 0.0, 50001, 50000), 5 * 2500000000ull * sizeof(double) - 1);
    EXPECT_GT(EstimatedRunBytes(kMethodL1, 0.0, 1000000, 2000), 1000000ull * 2000 * sizeof(double));
    EXPECT_LT(EstimatedRunBytes(kMethodHuber, 0.0, 21, 4), 100000u);
    EXPECT_GT(MemoryLimit(), 0u);
    EXPECT_THROW(RequireRunMemory(kMethodHuber, 0.0, 100000, 100000), std::bad_alloc);
    EXPECT_NO_THROW(RequireRunMemory(kMethodHuber, 0.0, 21, 4));
}

} // namespace
