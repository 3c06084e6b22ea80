// What the engine leaves beyond its report: final weights, precision, how
// the run ended. Certified values are those of tests/stack_loss.h (R, MASS,
// quantreg, statsmodels); the least-squares precision is also recomputed
// here independently in long double.

#include "core/estimator.h"
#include "lp_oracle.h"
#include "stack_loss.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace {

using test_support::LongVector;
using test_support::ReadStackLoss;
using test_support::SolveAugmented;
using test_support::StackLossProblem;
using test_support::TempFolder;

AdjustmentResults RunOn(const StackLossProblem& problem, int code, double c, double p = 0.0, int maxPasses = 1000,
                        double stop = 1e-5)
{
    TempFolder folder;
    CEstimator engine;
    engine.SetOutputFile(folder.Path("out.AUS"));
    engine.TuningConstant = c;
    engine.RunWithWeightVector(problem.A, problem.l, problem.weights, code, p, maxPasses, stop);
    return engine.TakeResults();
}

// Observations (counted from 1) whose final weight passes the test.
template <class Test>
std::set<int> ObservationsWhere(const AdjustmentResults& results, Test test)
{
    std::set<int> numbers;
    for (int i = 0; i < results.Observations(); ++i)
        if (test(results, i))
            numbers.insert(i + 1);
    return numbers;
}

std::set<int> DownWeighted(const AdjustmentResults& results)
{
    return ObservationsWhere(results, [](const AdjustmentResults& r, int i) { return IsDownWeighted(r.robustWeights[i]); });
}

std::set<int> Rejected(const AdjustmentResults& results)
{
    return ObservationsWhere(results, [](const AdjustmentResults& r, int i) { return IsRejected(r.robustWeights[i]); });
}

std::set<int> Basic(const AdjustmentResults& results)
{
    return ObservationsWhere(results, [](const AdjustmentResults& r, int i) { return r.IsBasic(i); });
}

// Independent precision of a weighted least-squares fit under the weights
// w_i p_i, in long double with partial pivoting: the solution, s0 and
// s_j = s0 sqrt(Q_jj) with Q = (A^T diag(w p) A)^-1.
struct Precision {
    LongVector x;
    long double s0 = 0;
    LongVector deviations;
};

Precision IndependentPrecision(const Matrix& A, const Matrix& l, const std::vector<double>& weights)
{
    const std::size_t n = static_cast<std::size_t>(A.Rows());
    const std::size_t u = static_cast<std::size_t>(A.Columns());
    std::vector<LongVector> N(u, LongVector(u + 1, 0));
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t a = 0; a < u; ++a) {
            for (std::size_t b = 0; b < u; ++b)
                N[a][b] += static_cast<long double>(weights[i]) * A(int(i), int(a)) * A(int(i), int(b));
            N[a][u] += static_cast<long double>(weights[i]) * A(int(i), int(a)) * l(int(i), 0);
        }
    Precision precision;
    precision.x = SolveAugmented(N);
    long double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        long double v = -l(int(i), 0);
        for (std::size_t a = 0; a < u; ++a)
            v += A(int(i), int(a)) * precision.x[a];
        sum += weights[i] * v * v;
    }
    precision.s0 = std::sqrt(sum / static_cast<long double>(n - u));
    for (std::size_t j = 0; j < u; ++j) {
        std::vector<LongVector> unit = N;
        for (std::size_t a = 0; a < u; ++a)
            unit[a][u] = a == j ? 1 : 0;
        precision.deviations.push_back(precision.s0 * std::sqrt(SolveAugmented(unit)[j]));
    }
    return precision;
}

void ExpectRelative(double actual, long double expected, double tolerance, const std::string& what)
{
    EXPECT_NEAR(actual, static_cast<double>(expected), tolerance * std::fabs(static_cast<double>(expected))) << what;
}

// stackloss.md's least-squares line: s0 with 17 degrees of freedom and the
// standard deviations of lm(stack.loss ~ ., stackloss).
constexpr double kStackLossS0 = 3.243363918185222;
const std::vector<double> kStackLossDeviations = {11.895996850644138, 0.1348581853553714, 0.3680242652727004,
                                                  0.1562940432486198};

// Least squares by reweighting with factor 2, and an M-estimator whose
// constant is so large that every weight stays 1: both are the ordinary
// least-squares fit with its textbook precision.
TEST(AdjustmentResults, LeastSquaresPrecisionIsTheTextbooksOnStackLoss)
{
    const StackLossProblem problem = ReadStackLoss();
    const Precision independent =
        IndependentPrecision(problem.A, problem.l, std::vector<double>(static_cast<std::size_t>(problem.A.Rows()), 1.0));
    struct Case {
        const char* name;
        int code;
        double c;
        double p;
        RunEnd end;
        int passes;
    };
    for (const Case& run : {Case{"lp-irls 2", kMethodLpNorm, 0.0, 2.0, RunEnd::kSinglePass, 1},
                            Case{"huber 1e8", kMethodHuber, 1e8, 0.0, RunEnd::kCriterion, 2}}) {
        const AdjustmentResults results = RunOn(problem, run.code, run.c, run.p);
        EXPECT_EQ(results.end, run.end) << run.name;
        EXPECT_EQ(results.passes, run.passes) << run.name;
        EXPECT_EQ(Rejected(results).size() + DownWeighted(results).size(), 0u) << run.name;
        EXPECT_EQ(results.Redundancy(), 17);
        ExpectRelative(results.s0, kStackLossS0, 1e-12, std::string(run.name) + " s0");
        ExpectRelative(results.s0, independent.s0, 1e-12, std::string(run.name) + " s0, independent");
        ASSERT_EQ(results.standardDeviations.size(), 4u) << run.name;
        for (std::size_t j = 0; j < 4; ++j) {
            const std::string what = std::string(run.name) + " s_" + std::to_string(j + 1);
            ExpectRelative(results.standardDeviations[j], kStackLossDeviations[j], 1e-9, what);
            ExpectRelative(results.standardDeviations[j], independent.deviations[j], 1e-9, what + ", independent");
        }
    }
}

// The final weights are those of the reported corrections, and the
// standard deviations come from the normal matrix under exactly these
// weights (the last pass's), recomputed here independently.
TEST(AdjustmentResults, HuberMarksTheCertifiedObservationsAndItsPrecisionUsesTheFinalWeights)
{
    const StackLossProblem problem = ReadStackLoss();
    const AdjustmentResults results = RunOn(problem, kMethodHuber, 1.5);
    EXPECT_EQ(DownWeighted(results), (std::set<int>{1, 3, 4, 6, 9, 13, 15, 20, 21}));
    EXPECT_TRUE(Rejected(results).empty());
    EXPECT_EQ(results.end, RunEnd::kCriterion);
    ASSERT_TRUE(results.largestChange.has_value());
    EXPECT_LT(*results.largestChange, 1e-5);
    for (int i = 0; i < results.Observations(); ++i)
        EXPECT_EQ(results.robustWeights[i], MethodWeight(kMethodHuber, results.corrections(i, 0), 1.5, 0.0)) << i;

    const Precision independent = IndependentPrecision(problem.A, problem.l, results.robustWeights);
    long double sum = 0;
    for (int i = 0; i < results.Observations(); ++i)
        sum += results.robustWeights[i] * results.corrections(i, 0) * results.corrections(i, 0);
    ExpectRelative(results.s0, std::sqrt(sum / 17), 1e-14, "s0");
    for (std::size_t j = 0; j < 4; ++j)
        ExpectRelative(results.standardDeviations[j], results.s0 / independent.s0 * independent.deviations[j], 1e-9,
                       "s_" + std::to_string(j + 1));
}

// Zero weights of the hard-rejecting and redescending methods: the
// observations that stackloss.md lists for each fixed point.
TEST(AdjustmentResults, RejectingMethodsGiveZeroWeightToTheCertifiedObservations)
{
    const StackLossProblem problem = ReadStackLoss();
    struct Case {
        int code;
        std::set<int> rejected;
    };
    for (const Case& run : {Case{kMethodTalwar, {1, 3, 4, 21}}, Case{kMethodBiweight, {1, 3, 4, 21}},
                            Case{kMethodAndrews, {1, 3, 4, 13, 14, 20, 21}}}) {
        const AdjustmentResults results = RunOn(problem, run.code, kMethods[run.code].defaultTuningConstant);
        EXPECT_EQ(Rejected(results), run.rejected) << kMethods[run.code].commandLineName;
        EXPECT_TRUE(std::includes(DownWeighted(results).begin(), DownWeighted(results).end(), run.rejected.begin(),
                                  run.rejected.end()));
    }
}

TEST(AdjustmentResults, L1MarksItsBasicObservationsWithWeightOne)
{
    const StackLossProblem problem = ReadStackLoss();
    const AdjustmentResults results = RunOn(problem, kMethodL1, 0.0);
    EXPECT_EQ(Basic(results), (std::set<int>{2, 8, 16, 18}));
    for (int i : Basic(results))
        EXPECT_EQ(results.corrections(i - 1, 0), 0.0) << i;
    EXPECT_TRUE(DownWeighted(results).empty());
    EXPECT_EQ(results.robustWeights.size(), 21u);
    EXPECT_FALSE(results.passes.has_value());
    EXPECT_EQ(results.end, RunEnd::kOptimum);
    EXPECT_TRUE(results.standardDeviations.empty());
    EXPECT_EQ(results.method, "l1");
}

// Four points on a line and one far off: the L1 line runs through all four,
// so four corrections are 0, but only two observations span the vertex.
TEST(AdjustmentResults, L1BasicObservationsAreTheVertexNotEveryZeroCorrection)
{
    StackLossProblem line{test_support::FromRows({{1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}}),
                          test_support::Column({1, 3, 5, 7, 20}), test_support::Column({1, 1, 1, 1, 1})};
    const AdjustmentResults results = RunOn(line, kMethodL1, 0.0);
    int zero = 0;
    for (int i = 0; i < 5; ++i)
        zero += results.corrections(i, 0) == 0.0 ? 1 : 0;
    EXPECT_EQ(zero, 4);
    EXPECT_EQ(Basic(results).size(), 2u);
    for (int i : Basic(results))
        EXPECT_EQ(results.corrections(i - 1, 0), 0.0) << i;
}

// How the run ended, its pass count and the largest change of its last pass.
TEST(AdjustmentResults, RunEndPassesAndLastChange)
{
    const StackLossProblem line{test_support::FromRows({{1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}}),
                                test_support::Column({1, 3, 5, 7, 9, 21}), test_support::Column({1, 1, 1, 1, 1, 1})};
    const StackLossProblem mean{test_support::FromRows({{1}, {1}, {1}, {1}, {1}}),
                                test_support::Column({1, 2, 3, 4, 100}), test_support::Column({1, 1, 1, 1, 1})};
    struct Case {
        const char* name;
        const StackLossProblem& problem;
        int code;
        double c;
        int maxPasses;
        double stop;
        RunEnd end;
        int passes;
        bool hasChange;
    };
    for (const Case& run : {
             Case{"converged", line, kMethodTalwar, 2.795, 1000, 1e-5, RunEnd::kCriterion, 3, true},
             Case{"limit", line, kMethodHuber, 1.5, 7, 0.0, RunEnd::kPassLimit, 8, true},
             Case{"limit 0", line, kMethodHuber, 1.5, 0, 1e-5, RunEnd::kPassLimit, 1, false},
             Case{"every weight 0", mean, kMethodTalwar, 2.795, 1000, 1e-5, RunEnd::kNotFinite, 2, false},
         }) {
        const AdjustmentResults results = RunOn(run.problem, run.code, run.c, 0.0, run.maxPasses, run.stop);
        EXPECT_EQ(results.end, run.end) << run.name;
        EXPECT_EQ(results.passes, run.passes) << run.name;
        EXPECT_EQ(results.largestChange.has_value(), run.hasChange) << run.name;
        EXPECT_EQ(results.tuningConstant, run.c) << run.name;
        EXPECT_FALSE(results.normFactor.has_value()) << run.name;
    }
    // Talwar on the line: the outlier alone gets weight 0; the change of the
    // converged third pass is below the criterion, that of the limited run not.
    const AdjustmentResults talwar = RunOn(line, kMethodTalwar, 2.795);
    EXPECT_EQ(Rejected(talwar), (std::set<int>{6}));
    EXPECT_LT(*talwar.largestChange, 1e-5);
    EXPECT_GT(*RunOn(line, kMethodHuber, 1.5, 0.0, 7, 0.0).largestChange, 0.0);
}

// Weights p_i scale the rows by sqrt(p_i): s0 counts p_i v_i^2, so weights
// of 4 instead of 1 keep the corrections and double s0, while the standard
// deviations of the unknowns stay as they are.
TEST(AdjustmentResults, PriorWeightsEnterS0AsPV2)
{
    StackLossProblem problem = ReadStackLoss();
    const AdjustmentResults unit = RunOn(problem, kMethodLpNorm, 0.0, 2.0);
    for (int i = 0; i < problem.weights.Rows(); ++i)
        problem.weights(i, 0) = 4.0;
    const AdjustmentResults four = RunOn(problem, kMethodLpNorm, 0.0, 2.0);
    ExpectRelative(four.s0, 2.0 * unit.s0, 1e-13, "s0");
    for (std::size_t j = 0; j < 4; ++j)
        ExpectRelative(four.standardDeviations[j], unit.standardDeviations[j], 1e-12, "s_" + std::to_string(j + 1));
}

// The Lp norm by reweighting with a factor other than 2 has no robust
// weights (all 1) and no standard deviations; with no redundancy s0 is NaN.
TEST(AdjustmentResults, LpWeightsAreOneAndNoRedundancyHasNoS0)
{
    const StackLossProblem problem = ReadStackLoss();
    const AdjustmentResults lp = RunOn(problem, kMethodLpNorm, 0.0, 1.5, 50, 1e-8);
    EXPECT_EQ(lp.method, "lp-irls");
    EXPECT_EQ(lp.normFactor, 1.5);
    EXPECT_FALSE(lp.tuningConstant.has_value());
    EXPECT_TRUE(lp.standardDeviations.empty());
    EXPECT_TRUE(DownWeighted(lp).empty());
    EXPECT_TRUE(std::isfinite(lp.s0));

    const StackLossProblem square{test_support::FromRows({{1, 0}, {1, 1}}), test_support::Column({1, 2}),
                                  test_support::Column({1, 1})};
    EXPECT_TRUE(std::isnan(RunOn(square, kMethodHuber, 1.5).s0));
}

} // namespace
