// The tests of the observations. An independent computation in long double
// straight from A, P and the final robust weights (its own normal matrix,
// inverse and sums, nothing of the engine's) is the oracle for every figure.

#include "core/distributions.h"
#include "core/estimator.h"
#include "core/observation_tests.h"
#include "core/weighted_system.h"
#include "io/input_file.h"
#include "stack_loss.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using LongRows = std::vector<std::vector<long double>>;

struct Problem {
    Matrix A;
    Matrix l;
    Matrix weights;
};

Problem ReadExample(const std::string& name)
{
    Problem problem;
    EXPECT_EQ(ReadInputFileWeightVector(test_support::ExampleFile(name), problem.A, problem.l, problem.weights), 0);
    return problem;
}

AdjustmentResults RunOn(const Problem& problem, int code, double c, double p, int maxPasses)
{
    test_support::TempFolder folder;
    CEstimator engine;
    engine.SetOutputFile(folder.Path("out.AUS"));
    engine.TuningConstant = c;
    engine.KeepTestShares = true;
    engine.RunWithWeightVector(problem.A, problem.l, problem.weights, code, p, maxPasses, 1e-5);
    return engine.TakeResults();
}

// The inverse by Gauss-Jordan with partial pivoting.
LongRows Inverse(LongRows m)
{
    const std::size_t u = m.size();
    LongRows inverse(u, std::vector<long double>(u, 0.0L));
    for (std::size_t j = 0; j < u; ++j)
        inverse[j][j] = 1.0L;
    for (std::size_t col = 0; col < u; ++col) {
        std::size_t pivot = col;
        for (std::size_t row = col + 1; row < u; ++row)
            if (std::fabs(m[row][col]) > std::fabs(m[pivot][col]))
                pivot = row;
        std::swap(m[col], m[pivot]);
        std::swap(inverse[col], inverse[pivot]);
        const long double d = m[col][col];
        for (std::size_t k = 0; k < u; ++k) {
            m[col][k] /= d;
            inverse[col][k] /= d;
        }
        for (std::size_t row = 0; row < u; ++row) {
            if (row == col)
                continue;
            const long double f = m[row][col];
            for (std::size_t k = 0; k < u; ++k) {
                m[row][k] -= f * m[col][k];
                inverse[row][k] -= f * inverse[col][k];
            }
        }
    }
    return inverse;
}

// Every figure of the tests, in long double from A, p, the final robust
// weights w and the corrections v.
struct Oracle {
    std::vector<long double> r, standardized, studentized, mdb, lower, upper;
    long double s0 = 0.0L, statistic = 0.0L;
};

Oracle ComputeOracle(const AdjustmentResults& results, const Matrix& A, const TestSettings& settings,
                     bool robustWeights)
{
    const int n = A.Rows();
    const int u = A.Columns();
    const auto weight = [&](int i) {
        const long double w = robustWeights ? results.robustWeights[static_cast<std::size_t>(i)] : 1.0L;
        return static_cast<long double>(results.weights(i, 0)) * w;
    };
    LongRows N(static_cast<std::size_t>(u), std::vector<long double>(static_cast<std::size_t>(u), 0.0L));
    long double sum = 0.0L;
    for (int i = 0; i < n; ++i) {
        for (int a = 0; a < u; ++a)
            for (int b = 0; b < u; ++b)
                N[a][b] += weight(i) * A(i, a) * A(i, b);
        sum += weight(i) * results.corrections(i, 0) * results.corrections(i, 0);
    }
    const LongRows Q = Inverse(N);
    Oracle oracle;
    const int f = n - u;
    oracle.s0 = std::sqrt(sum / f);
    oracle.statistic = f * oracle.s0 * oracle.s0 / (settings.sigma0 * settings.sigma0);
    const long double delta0 = NormalQuantile(1.0 - settings.alpha / 2) + NormalQuantile(settings.power);
    for (int i = 0; i < n; ++i) {
        long double h = 0.0L;
        for (int a = 0; a < u; ++a)
            for (int b = 0; b < u; ++b)
                h += A(i, a) * Q[a][b] * A(i, b);
        const long double r = 1.0L - weight(i) * h;
        const long double qvv = r / weight(i);
        oracle.r.push_back(r);
        oracle.standardized.push_back(results.corrections(i, 0) / (settings.sigma0 * std::sqrt(qvv)));
        oracle.studentized.push_back(results.corrections(i, 0) / (oracle.s0 * std::sqrt(qvv)));
        oracle.mdb.push_back(settings.sigma0 * delta0 / std::sqrt(weight(i) * r));
    }
    const long double t = StudentTQuantile(0.5 + settings.confidence / 2, f);
    for (int j = 0; j < u; ++j) {
        const long double half = t * oracle.s0 * std::sqrt(Q[j][j]);
        oracle.lower.push_back(results.unknowns(j, 0) - half);
        oracle.upper.push_back(results.unknowns(j, 0) + half);
    }
    return oracle;
}

void ExpectRelative(double actual, long double expected, const std::string& what)
{
    EXPECT_NEAR(actual, static_cast<double>(expected), 1e-10 * std::fabs(static_cast<double>(expected))) << what;
}

struct OracleCase {
    const char* example;
    int code;
    double c;
    double p;
    int maxPasses;
    bool robustWeights;
};

} // namespace

// Least squares, converged and pass-limited M-estimators (whose last
// inverse does not belong to the final weights), L1 with the given weights.
TEST(ObservationTests, EveryFigureAgreesWithTheIndependentComputation)
{
    const OracleCase cases[] = {
        {"stackloss.EIN", kMethodLpNorm, 0.0, 2.0, 50, false},  {"stackloss.EIN", kMethodHuber, 1.5, 0.0, 1000, true},
        {"stackloss.EIN", kMethodWelsch, 2.985, 0.0, 2, true},  {"stackloss.EIN", kMethodL1, 0.0, 0.0, 50, false},
        {"levelling_network.EIN", kMethodLpNorm, 0.0, 2.0, 50, false},
        {"levelling_network.EIN", kMethodHuber, 0.01, 0.0, 1000, true},
        {"levelling_network.EIN", kMethodLpNorm, 0.0, 1.5, 3, false},
    };
    const TestSettings settings{0.02, 0.01, 0.9, 0.99};
    for (const OracleCase& example : cases) {
        const std::string name = std::string(example.example) + " " + kMethods[example.code].commandLineName;
        const Problem problem = ReadExample(example.example);
        const AdjustmentResults results = RunOn(problem, example.code, example.c, example.p, example.maxPasses);
        const std::optional<ObservationTests> tests = TestObservations(results, settings, true);
        ASSERT_TRUE(tests.has_value()) << name;
        ASSERT_TRUE(tests->defined) << name;
        EXPECT_EQ(tests->weights, example.robustWeights ? TestWeights::kRobust : TestWeights::kGiven) << name;
        const Oracle oracle = ComputeOracle(results, problem.A, settings, example.robustWeights);
        ExpectRelative(results.s0, oracle.s0, name + " s0");
        ExpectRelative(tests->global.statistic, oracle.statistic, name + " global test");
        EXPECT_EQ(tests->global.passed, tests->global.statistic <= ChiSquareQuantile(0.99, results.Redundancy()));
        for (int j = 0; j < results.Unknowns(); ++j) {
            ExpectRelative(tests->intervals[j].lower, oracle.lower[j], name + " lower " + std::to_string(j));
            ExpectRelative(tests->intervals[j].upper, oracle.upper[j], name + " upper " + std::to_string(j));
        }
        for (int i = 0; i < results.Observations(); ++i) {
            const ObservationTest test = TestOfObservation(results, *tests, i);
            const std::string at = name + " observation " + std::to_string(i + 1);
            ExpectRelative(test.r, oracle.r[i], at + " r");
            ASSERT_TRUE(test.standardized.has_value()) << at;
            ExpectRelative(*test.standardized, oracle.standardized[i], at + " w");
            ExpectRelative(*test.studentized, oracle.studentized[i], at + " studentized");
            ExpectRelative(*test.mdb, oracle.mdb[i], at + " MDB");
            EXPECT_EQ(test.flagged, std::fabs(*test.standardized) > NormalQuantile(0.995) && test.r >= 0.01) << at;
        }
    }
}

// Random problems of every shape: the redundancy numbers are the diagonal
// of a projector's complement, so they lie in [0, 1] and sum to n - u.
TEST(ObservationTests, RedundancyNumbersSumToTheRedundancy)
{
    std::mt19937_64 random(26);
    std::uniform_int_distribution<int> unknowns(1, 8);
    std::uniform_real_distribution<double> uniform(-3.0, 3.0);
    std::uniform_real_distribution<double> positive(0.05, 20.0);
    std::uniform_real_distribution<double> share(0.01, 1.0);
    for (int problem = 0; problem < 1000; ++problem) {
        const int u = unknowns(random);
        const int n = 2 * u + problem % 40;
        Matrix A(n, u, 0.0);
        Matrix l(n, 1, 0.0);
        Matrix p(n, 1, 0.0);
        std::vector<double> w(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < u; ++j)
                A(i, j) = uniform(random);
            l(i, 0) = uniform(random);
            p(i, 0) = positive(random);
            // Some rejected observations, never so many that N is singular.
            w[static_cast<std::size_t>(i)] = problem % 3 == 0 ? 1.0 : i % 9 == 4 ? 0.0 : share(random);
        }
        const WeightedSystem weighted = FormWeightedSystem(A, l, p);
        const std::optional<RedundancyShares> shares =
            ComputeRedundancy(weighted.Abar, std::span<const double>(weighted.lbar.Data(), n), w, nullptr,
                              TestWeights::kRobust);
        ASSERT_TRUE(shares.has_value()) << problem;
        long double sum = 0.0L;
        for (double r : shares->r) {
            EXPECT_GE(r, -1e-12) << problem;
            EXPECT_LE(r, 1.0 + 1e-12) << problem;
            sum += r;
        }
        EXPECT_NEAR(static_cast<double>(sum), n - u, 1e-12 * (n - u)) << problem << ": n " << n << ", u " << u;
    }
}

// The counts of the tests are those of the observations' own figures.
void ExpectCountsOfEveryObservation(const AdjustmentResults& results, const ObservationTests& tests,
                                    const std::string& label)
{
    int flagged = 0;
    int uncontrolled = 0;
    for (int i = 0; i < results.Observations(); ++i) {
        const ObservationTest test = TestOfObservation(results, tests, i);
        flagged += test.flagged ? 1 : 0;
        uncontrolled += test.uncontrolled ? 1 : 0;
    }
    EXPECT_EQ(tests.flaggedCount, flagged) << label;
    EXPECT_EQ(tests.uncontrolledCount, uncontrolled) << label;
}

// The levelling network with a blunder in one observation: least squares
// and data snooping flag exactly that one, and the global test fails;
// without the blunder nothing is flagged and the global test passes.
// (Observations 2 and 8 measure the same difference, so a blunder in one
// shows in both; 15 cm is about 1.4 times the MDBs of 1, 4 and 5.)
TEST(ObservationTests, DataSnoopingFindsTheBlunderInTheLevellingNetwork)
{
    const TestSettings settings{0.02, 0.001, 0.8, 0.95};
    for (int blunderAt : {-1, 0, 3, 4}) {
        Problem problem = ReadExample("levelling_network.EIN");
        if (blunderAt >= 0)
            problem.l(blunderAt, 0) += 0.15;
        const AdjustmentResults results = RunOn(problem, kMethodLpNorm, 0.0, 2.0, 50);
        const std::optional<ObservationTests> tests = TestObservations(results, settings, true);
        ASSERT_TRUE(tests.has_value());
        EXPECT_EQ(tests->global.passed, blunderAt < 0) << blunderAt;
        for (int i = 0; i < results.Observations(); ++i)
            EXPECT_EQ(TestOfObservation(results, *tests, i).flagged, i == blunderAt) << "blunder at " << blunderAt << ", " << i;
        ExpectCountsOfEveryObservation(results, *tests, "blunder at " + std::to_string(blunderAt));
    }
}

// n = u: every r_i is 0 and nothing is defined; an observation that alone
// determines an unknown (r_i = 0) gets no w_i and no MDB and is not
// flagged; a run that is not certified is not tested.
TEST(ObservationTests, DegenerateCasesGiveClearAnswers)
{
    Problem square{test_support::FromRows({{1, 0}, {1, 1}}), test_support::Column({1, 2}), test_support::Column({1, 1})};
    AdjustmentResults results = RunOn(square, kMethodLpNorm, 0.0, 2.0, 50);
    std::optional<ObservationTests> tests = TestObservations(results, TestSettings(), true);
    ASSERT_TRUE(tests.has_value());
    EXPECT_FALSE(tests->defined);
    EXPECT_TRUE(tests->intervals.empty());
    for (int i = 0; i < 2; ++i) {
        const ObservationTest test = TestOfObservation(results, *tests, i);
        EXPECT_NEAR(test.r, 0.0, 1e-12);
        EXPECT_TRUE(test.uncontrolled);
        EXPECT_FALSE(test.standardized.has_value() || test.mdb.has_value() || test.flagged);
    }
    EXPECT_FALSE(TestObservations(results, TestSettings(), false).has_value());
    // Nothing is kept for the tests unless asked for: a run does no more
    // than its report needs.
    test_support::TempFolder folder;
    CEstimator plain;
    plain.SetOutputFile(folder.Path("plain.AUS"));
    ASSERT_EQ(plain.RunWithWeightVector(square.A, square.l, square.weights, kMethodLpNorm, 2.0, 50, 1e-5), kRunSuccess);
    EXPECT_FALSE(plain.Results().redundancy.has_value());

    // The third unknown is measured once only; a large v elsewhere.
    Problem alone{test_support::FromRows({{1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 1, 0}, {0, 0, 1}}),
                  test_support::Column({1, 9, 2, 2.1, 5}), test_support::Column({1, 1, 1, 1, 1})};
    results = RunOn(alone, kMethodLpNorm, 0.0, 2.0, 50);
    tests = TestObservations(results, TestSettings{0.01, 0.001, 0.8, 0.95}, true);
    ASSERT_TRUE(tests.has_value() && tests->defined);
    const ObservationTest single = TestOfObservation(results, *tests, 4);
    EXPECT_NEAR(single.r, 0.0, 1e-12);
    EXPECT_TRUE(single.uncontrolled);
    EXPECT_FALSE(single.standardized.has_value() || single.mdb.has_value() || single.flagged);
    EXPECT_TRUE(TestOfObservation(results, *tests, 0).flagged);
    ExpectCountsOfEveryObservation(results, *tests, "measured once");

    // One unknown measured twice, the second 200 times as heavy: r = 1/201
    // and 200/201, and both |w_i| alike and large; the one below 0.01 is
    // uncontrolled and not flagged.
    Problem pair{test_support::FromRows({{1}, {1}}), test_support::Column({0, 1}), test_support::Column({1, 200})};
    results = RunOn(pair, kMethodLpNorm, 0.0, 2.0, 50);
    tests = TestObservations(results, TestSettings{0.01, 0.001, 0.8, 0.95}, true);
    ASSERT_TRUE(tests.has_value() && tests->defined);
    const ObservationTest heavy = TestOfObservation(results, *tests, 1);
    EXPECT_TRUE(heavy.uncontrolled);
    ASSERT_TRUE(heavy.standardized.has_value());
    EXPECT_GT(std::fabs(*heavy.standardized), tests->criticalValue);
    EXPECT_FALSE(heavy.flagged);
    EXPECT_TRUE(TestOfObservation(results, *tests, 0).flagged);
    ExpectCountsOfEveryObservation(results, *tests, "measured twice");
}
