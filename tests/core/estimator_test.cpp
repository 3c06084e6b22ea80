#include "core/estimator.h"

#include <gtest/gtest.h>

#include "core/number_text.h"
#include "core/residual_scale.h"
#include "scale_peer.h"
#include "stack_loss.h"
#include "test_support.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace {

using test_support::ExpectColumn;
using test_support::FileExists;
using test_support::ReadBytes;

// ---------------------------------------------------------------------------
// The oracle: the engine's algorithm transcribed literally with dense
// matrices (S, W n x n, full products), as slow as it is plain. The fast
// engine must give the same bits for finite data.

double LiteralWeight(int code, double v, double c, double p)
{
    const double u = v / c;
    switch (code) {
    case 0:
        if (p > 2)
            return std::pow(std::fabs(v), p - 2);
        if (p == 2)
            return 1;
        return std::fabs(v) < 1e-15 ? 1e15 : std::pow(std::fabs(v), p - 2);
    case 2:
        // The limit 1 replaces 0/0 at v = 0, inside the window only.
        return std::fabs(v) <= std::numbers::pi * c ? (v == 0 ? 1 : std::sin(u) / u) : 0;
    case 3:
        return std::fabs(v) <= c ? (1 - u * u) * (1 - u * u) : 0;
    case 4:
        return 1 / (1 + u * u);
    case 5:
        return 1 / (1 + std::fabs(v) / c);
    case 6:
        return std::fabs(v) < c ? 1 : c / std::fabs(v);
    case 7:
        return v == 0 ? 1 : std::tanh(u) * (c / v);
    case 8:
        return std::fabs(v) <= c ? 1 : 0;
    case 9:
        return std::exp(-(u * u));
    }
    return 0;
}

struct LiteralResult {
    Matrix x;
    Matrix v;
    int passes = 0;
};

LiteralResult LiteralRun(const Matrix& A, const Matrix& l, const Matrix& P, int code, double c, double p,
                         int maxPasses, double stop)
{
    const int n = A.Rows();
    const int u = A.Columns();
    Matrix S = P;
    for (int i = 0; i < n; ++i)
        S(i, i) = std::sqrt(P(i, i));
    Matrix Abar = S * A;
    Matrix lbar = S * l;
    Matrix W(n, n, 0.0);
    for (int i = 0; i < n; ++i)
        W(i, i) = 1.0;
    LiteralResult result{Matrix(u, 1, 0.0), Matrix(n, 1, 0.0), 0};
    if (code == 1) {
        result.x.SolveL1(Abar, lbar, result.v);
    } else {
        Matrix xprev(1, 1, 0.0);
        bool singlePass = false;
        int k = 1;
        while (true) {
            Matrix N = (Abar.Transpose() * W) * Abar;
            N.Invert();
            result.x = N * ((Abar.Transpose() * W) * lbar);
            if (k > 1) {
                double d = std::fabs(result.x(0, 0) - xprev(0, 0));
                for (int i = 1; i < u; ++i)
                    if (std::fabs(result.x(i, 0) - xprev(i, 0)) > d)
                        d = std::fabs(result.x(i, 0) - xprev(i, 0));
                if (d < stop || std::isnan(d))
                    break;
            }
            result.v = Abar * result.x - lbar;
            for (int i = 0; i < n; ++i)
                W(i, i) = LiteralWeight(code, result.v(i, 0), c, p);
            if (code == 0 && p == 2)
                singlePass = true;
            if (k > maxPasses || singlePass)
                break;
            xprev = result.x;
            k = k + 1;
        }
        result.passes = k;
    }
    for (int i = 0; i < n; ++i)
        result.v(i, 0) = result.v(i, 0) / std::sqrt(P(i, i));
    return result;
}

// ---------------------------------------------------------------------------

class RecordingStatus : public IStatusWindow {
public:
    void Show() override { events.push_back("show"); }
    void SetText(const std::string& text) override { events.push_back(text); }
    void Hide() override { events.push_back("hide"); }
    std::vector<std::string> events;
};

class RecordingResidualView : public IResidualView {
public:
    void SetResiduals(const Matrix& residuals) override { received = residuals; }
    void ShowModal() override { ++shown; }
    Matrix received{0, 0, 0.0};
    int shown = 0;
};

struct Problem {
    Matrix A;
    Matrix l;
    Matrix P;
};

Problem Make(const std::vector<std::vector<double>>& rows, const std::vector<double>& observations,
             const std::vector<double>& weights = {})
{
    const int n = static_cast<int>(rows.size());
    const int u = static_cast<int>(rows[0].size());
    Problem problem{Matrix(n, u, 0.0), Matrix(n, 1, 0.0), Matrix(n, n, 0.0)};
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < u; ++j)
            problem.A(i, j) = rows[i][j];
        problem.l(i, 0) = observations[i];
        problem.P(i, i) = weights.empty() ? 1.0 : weights[i];
    }
    return problem;
}

Problem MeanProblem()
{
    return Make({{1}, {1}, {1}, {1}, {1}}, {1, 2, 3, 4, 100});
}

// A straight line through (t, 2t + 1), t = 0..5, the last value 10 too high.
Problem LineWithOutlier()
{
    std::vector<std::vector<double>> rows;
    std::vector<double> l;
    for (int t = 0; t <= 5; ++t) {
        rows.push_back({1.0, double(t)});
        l.push_back(2.0 * t + 1 + (t == 5 ? 10 : 0));
    }
    return Make(rows, l);
}

struct Outcome {
    int result;
    Matrix x;
    Matrix v;
    int passes;
    std::string report;
    bool checkFailed;
};

Outcome RunEngine(const Problem& problem, int code, double c, int maxPasses = 1000, double stop = 1e-5,
                  double p = 0.0)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("engine.AUS");
    CEstimator engine;
    engine.SetOutputFile(path);
    engine.TuningConstant = c;
    const int result = engine.Run(problem.A, problem.l, problem.P, code, p, maxPasses, stop);
    Outcome outcome{result,           engine.Solution(), engine.Corrections(), engine.PassCount(), ReadBytes(path),
                    engine.Results().check.Failed()};
    return outcome;
}

bool SameBits(const Matrix& a, const Matrix& b)
{
    if (a.Rows() != b.Rows() || a.Columns() != b.Columns())
        return false;
    for (int i = 0; i < a.Rows(); ++i)
        for (int j = 0; j < a.Columns(); ++j)
            if (std::memcmp(&a[i][j], &b[i][j], sizeof(double)) != 0)
                return false;
    return true;
}

// ---------------------------------------------------------------------------

TEST(Estimator, HuberMovesFromTheMeanToTheMedianOfAnOutlyingSample)
{
    const Outcome firstPass = RunEngine(MeanProblem(), kMethodHuber, 1.5, 0);
    EXPECT_EQ(firstPass.x(0, 0), 22.0);
    EXPECT_EQ(firstPass.passes, 1);

    const Outcome converged = RunEngine(MeanProblem(), kMethodHuber, 1.5);
    EXPECT_EQ(converged.result, kRunSuccess);
    EXPECT_NEAR(converged.x(0, 0), 3.0, 1e-4);
}

TEST(Estimator, TalwarWithEveryWeightZeroEndsWithANonFiniteSolutionInPassTwo)
{
    const Outcome outcome = RunEngine(MeanProblem(), kMethodTalwar, 2.795);
    EXPECT_EQ(outcome.passes, 2);
    EXPECT_TRUE(std::isnan(outcome.x(0, 0)));
    // The corrections are those of the first pass: 22 - l.
    const double expected[] = {21, 20, 19, 18, -78};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(outcome.v(i, 0), expected[i]);
    EXPECT_EQ(outcome.result, kRunNotFinite) << "a non-finite solution is not a success";
    EXPECT_NE(outcome.report.find(" Ben\xF6tigte Anzahl an Iterationen: 2\r\n"), std::string::npos);
}

TEST(Estimator, RedescendingMethodsRejectTheOutlierOfALine)
{
    for (auto [code, c] : {std::pair{kMethodTalwar, 2.795}, std::pair{kMethodBiweight, 4.685}}) {
        const Outcome outcome = RunEngine(LineWithOutlier(), code, c);
        EXPECT_EQ(outcome.result, kRunSuccess);
        EXPECT_NEAR(outcome.x(0, 0), 1.0, 1e-12) << code;
        EXPECT_NEAR(outcome.x(1, 0), 2.0, 1e-12) << code;
        for (int i = 0; i < 5; ++i)
            EXPECT_NEAR(outcome.v(i, 0), 0.0, 1e-12) << code;
        EXPECT_NEAR(outcome.v(5, 0), -10.0, 1e-12) << code;
        EXPECT_EQ(outcome.passes, 3) << code;
    }
}

TEST(Estimator, PassLimitCountsTheLastPassAndStopZeroIsNeverMet)
{
    EXPECT_EQ(RunEngine(LineWithOutlier(), kMethodHuber, 1.5, 7, 0.0).passes, 8);
    EXPECT_EQ(RunEngine(LineWithOutlier(), kMethodHuber, 1.5, 0, 1e-5).passes, 1);
    // Least squares by the Lp reweighting with p = 2 takes one pass.
    EXPECT_EQ(RunEngine(LineWithOutlier(), kMethodLpNorm, 0, 1000, 1e-5, 2.0).passes, 1);
}

TEST(Estimator, WeightsScaleTheRowsAndTheCorrectionsAreUnweighted)
{
    // Two observations of one unknown with weights 4 and 1: the weighted mean
    // (4 * 1 + 1 * 6) / 5 = 2, corrections 1 and -4 in the units of l.
    const Problem problem = Make({{1}, {1}}, {1, 6}, {4, 1});
    const Outcome outcome = RunEngine(problem, kMethodLpNorm, 0, 1000, 1e-5, 2.0);
    EXPECT_DOUBLE_EQ(outcome.x(0, 0), 2.0);
    EXPECT_DOUBLE_EQ(outcome.v(0, 0), 1.0);
    EXPECT_DOUBLE_EQ(outcome.v(1, 0), -4.0);
    EXPECT_NE(outcome.report.find("             1.00000             4.00000\r\n"), std::string::npos)
        << "the report prints the weights as given, not their roots";
}

TEST(Estimator, TuningConstantZeroGivesZeroWeightsAndEndsInPassTwo)
{
    const Outcome outcome = RunEngine(MeanProblem(), kMethodBiweight, 0.0);
    EXPECT_EQ(outcome.passes, 2);
    EXPECT_EQ(outcome.result, kRunNotFinite);
}

TEST(Estimator, AConvergedRunReportsTheLastUnknownsWithThePreviousCorrections)
{
    // Huber with a huge constant is least squares; pass 2 repeats pass 1
    // exactly, so the run stops there with pass 1's corrections.
    const Outcome outcome = RunEngine(LineWithOutlier(), kMethodHuber, 1e6);
    EXPECT_EQ(outcome.passes, 2);
    const LiteralResult oracle =
        LiteralRun(LineWithOutlier().A, LineWithOutlier().l, LineWithOutlier().P, kMethodHuber, 1e6, 0, 0, 1e-5);
    EXPECT_TRUE(SameBits(outcome.v, oracle.v));
}

TEST(Estimator, NoNameOrAnUnknownCodeWritesNothing)
{
    const Problem problem = MeanProblem();
    CEstimator unnamed;
    EXPECT_EQ(unnamed.Run(problem.A, problem.l, problem.P, kMethodHuber, 0, 10, 1e-5), kRunNoReport);

    for (int code : {-1, 10}) {
        const test_support::TempFolder folder;
        const std::string path = folder.Path("unknown_code.AUS");
        CEstimator engine;
        engine.SetOutputFile(path);
        EXPECT_EQ(engine.Run(problem.A, problem.l, problem.P, code, 0, 10, 1e-5), kRunNoReport);
        EXPECT_FALSE(FileExists(path));
    }
}

TEST(Estimator, ShapesWithoutADiagonalOrAColumnWriteNothing)
{
    const Problem problem = MeanProblem();
    const test_support::TempFolder folder;
    const std::string path = folder.Path("shapes.AUS");
    struct Case {
        const char* what;
        Matrix l;
        Matrix P;
    };
    const Case cases[] = {
        {"P 5 x 1", problem.l, Matrix(5, 1, 1.0)},
        {"P 5 x 4", problem.l, Matrix(5, 4, 1.0)},
        {"P 4 x 4", problem.l, Matrix(4, 4, 1.0)},
        {"l 5 x 0", Matrix(5, 0, 0.0), problem.P},
    };
    for (const Case& c : cases) {
        CEstimator engine;
        engine.SetOutputFile(path);
        engine.TuningConstant = 1.5;
        EXPECT_EQ(engine.Run(problem.A, c.l, c.P, kMethodHuber, 0, 10, 1e-5), kRunNoReport) << c.what;
        EXPECT_FALSE(FileExists(path)) << c.what;
    }
}

// Infinities and NaNs in the data, the constant, the norm factor or the stop
// criterion flow through every method into a complete report.
TEST(Estimator, NonFiniteInputsOfEveryMethodStillGiveACompleteReport)
{
    const double oddValues[] = {std::nan(""), INFINITY, -INFINITY, 0.0, -0.0, 1e308};
    std::mt19937_64 random(3);
    for (int trial = 0; trial < 120; ++trial) {
        Problem problem = LineWithOutlier();
        auto odd = [&] { return oddValues[random() % std::size(oddValues)]; };
        problem.A(random() % 6, random() % 2) = odd();
        problem.l(random() % 6, 0) = odd();
        if (trial % 3 == 0) {
            const int i = static_cast<int>(random() % 6);
            problem.P(i, i) = odd();
        }
        const int code = trial % 10;
        const double c = trial % 4 == 1 ? odd() : 1.5;
        const double p = trial % 5 == 2 ? odd() : 1.5;
        const double stop = trial % 7 == 3 ? odd() : 1e-6;
        const Outcome outcome = RunEngine(problem, code, c, 50, stop, p);
        const std::string end = "============================================================\r\n";
        ASSERT_GE(outcome.report.size(), end.size()) << trial;
        EXPECT_EQ(outcome.report.substr(outcome.report.size() - end.size()), end) << trial;
        EXPECT_EQ(outcome.v.Rows(), 6) << trial;
        // Success exactly when the results stretch shows no "inf" or "nan"
        // and the solution passed its check.
        const std::string results = outcome.report.substr(outcome.report.find(" Ermittelte Unbekannte:"));
        const bool shownNonFinite = results.find("inf") != std::string::npos || results.find("nan") != std::string::npos;
        EXPECT_EQ(outcome.result, shownNonFinite || outcome.checkFailed ? kRunNotFinite : kRunSuccess) << trial;
    }
}

TEST(Estimator, AnUnwritableReportGivesNoReport)
{
    const Problem problem = MeanProblem();
    CEstimator engine;
    const test_support::TempFolder folder;
    engine.SetOutputFile(folder.Path("no/such/folder/out.AUS"));
    EXPECT_EQ(engine.Run(problem.A, problem.l, problem.P, kMethodHuber, 0, 10, 1e-5), kRunNoReport);
    EXPECT_EQ(engine.ReportError().stage, OutputError::kCreate);
    EXPECT_EQ(engine.ReportError().number, ENOENT);
}

// L1 leaves a row of NaN out of its basis: the unknown is finite, but the
// table shows "nan" for that observation's correction. No success.
TEST(Estimator, ANonFiniteCorrectionWithFiniteUnknownsIsNoSuccess)
{
    Problem problem = Make({{1}, {1}, {1}, {1}}, {1, 2, 3, 4});
    problem.A(2, 0) = std::nan("");
    const Outcome outcome = RunEngine(problem, kMethodL1, 0.0);
    EXPECT_TRUE(std::isfinite(outcome.x(0, 0)));
    EXPECT_TRUE(std::isnan(outcome.v(2, 0)));
    EXPECT_EQ(outcome.result, kRunNotFinite);
}

TEST(Estimator, AFullDiskIsAFailureNotASuccess)
{
    const Problem problem = MeanProblem();
    RecordingResidualView view;
    CEstimator engine(nullptr, &view);
    engine.SetOutputFile("/dev/full");
    engine.TuningConstant = 1.5;
    EXPECT_EQ(engine.Run(problem.A, problem.l, problem.P, kMethodHuber, 0, 10, 1e-5), kRunNoReport);
    EXPECT_EQ(view.shown, 0);
    EXPECT_EQ(engine.ReportError().stage, OutputError::kWrite);
    EXPECT_EQ(engine.ReportError().number, ENOSPC);
}

TEST(Estimator, StatusWindowCountsPassesAndThePlotGetsTheCorrections)
{
    const Problem problem = LineWithOutlier();
    RecordingStatus status;
    RecordingResidualView view;
    const test_support::TempFolder folder;
    const std::string path = folder.Path("windows.AUS");
    CEstimator engine(&status, &view);
    engine.SetOutputFile(path);
    engine.TuningConstant = 2.795;
    ASSERT_EQ(engine.Run(problem.A, problem.l, problem.P, kMethodTalwar, 0, 1000, 1e-5), kRunSuccess);
    const std::vector<std::string> expected = {"show", "Berechnung l\u00e4uft...\nIteration: 1",
                                               "Berechnung l\u00e4uft...\nIteration: 2",
                                               "Berechnung l\u00e4uft...\nIteration: 3", "hide"};
    EXPECT_EQ(status.events, expected);
    EXPECT_EQ(view.shown, 1);
    EXPECT_TRUE(SameBits(view.received, engine.Corrections()));
}

TEST(Estimator, L1ByCodeOneWritesNoPassCountAndKeepsTheStatusTextEmpty)
{
    RecordingStatus status;
    const test_support::TempFolder folder;
    const std::string path = folder.Path("l1.AUS");
    CEstimator engine(&status);
    engine.SetOutputFile(path);
    const Problem problem = MeanProblem();
    ASSERT_EQ(engine.Run(problem.A, problem.l, problem.P, kMethodL1, 0, 1000, 1e-5), kRunSuccess);
    EXPECT_EQ(engine.Solution()(0, 0), 3.0);
    const std::vector<std::string> expected = {"show", "hide"};
    EXPECT_EQ(status.events, expected);
    const std::string report = ReadBytes(path);
    EXPECT_EQ(report.find("Iterationen"), std::string::npos);
    EXPECT_NE(report.find("L1-Norm L\xF6sung (Barrodale-Roberts)\r\n"), std::string::npos);
    EXPECT_NE(report.find("============================================================\r\n"
                          "\r\n Ermittelte Unbekannte:"),
              std::string::npos);
}

TEST(EstimatorWeights, BoundaryValuesOfTheWeightFunctions)
{
    // Biweight keeps |v| = c with weight 0 by its formula, Talwar with 1.
    EXPECT_EQ(MethodWeight(kMethodBiweight, 2.0, 2.0, 0), 0.0);
    EXPECT_EQ(MethodWeight(kMethodBiweight, 2.0000001, 2.0, 0), 0.0);
    EXPECT_EQ(MethodWeight(kMethodTalwar, -2.0, 2.0, 0), 1.0);
    EXPECT_EQ(MethodWeight(kMethodTalwar, 2.0000001, 2.0, 0), 0.0);
    // Huber: 1 below c, c/|v| from c on.
    EXPECT_EQ(MethodWeight(kMethodHuber, 1.4999, 1.5, 0), 1.0);
    EXPECT_EQ(MethodWeight(kMethodHuber, -3.0, 1.5, 0), 0.5);
    // Andrews and Logistic take their limit 1 at v = 0.
    EXPECT_EQ(MethodWeight(kMethodAndrews, 0.0, 0.5, 0), 1.0);
    EXPECT_EQ(MethodWeight(kMethodLogistic, 0.0, 1.205, 0), 1.0);
    EXPECT_EQ(MethodWeight(kMethodAndrews, std::numbers::pi * 0.5 + 1e-9, 0.5, 0), 0.0);
    // The limit holds inside the window |v| <= pi c only: c = 0 keeps v = 0,
    // a negative constant has no window at all.
    EXPECT_EQ(MethodWeight(kMethodAndrews, 0.0, 0.0, 0), 1.0);
    EXPECT_EQ(MethodWeight(kMethodAndrews, 0.0, -1.0, 0), 0.0);
    EXPECT_EQ(MethodWeight(kMethodAndrews, -0.0, std::nan(""), 0), 0.0);
    // Lp: p < 2 is capped at 1e15 for tiny residuals.
    EXPECT_EQ(MethodWeight(kMethodLpNorm, 1e-16, 0, 1.5), 1e15);
    EXPECT_EQ(MethodWeight(kMethodLpNorm, 4.0, 0, 3.0), 4.0);
    EXPECT_EQ(MethodWeight(kMethodLpNorm, 123.0, 0, 2.0), 1.0);
}

// ---------------------------------------------------------------------------
// Brownlee's stack loss data against independently computed solutions
// (tests/stack_loss.h). They come from another implementation, so a weight
// formula misread alike in the engine and in LiteralWeight still fails here.

Outcome RunOnStackLoss(int code, double c, double stop, double p = 0.0)
{
    const test_support::StackLossProblem data = test_support::ReadStackLoss();
    const test_support::TempFolder folder;
    const std::string path = folder.Path("stackloss.AUS");
    CEstimator engine;
    engine.SetOutputFile(path);
    engine.TuningConstant = c;
    const int result = engine.RunWithWeightVector(data.A, data.l, data.weights, code, p, 10000, stop);
    Outcome outcome{result,           engine.Solution(), engine.Corrections(), engine.PassCount(), ReadBytes(path),
                    engine.Results().check.Failed()};
    return outcome;
}

TEST(EstimatorStackLoss, EveryMEstimatorReachesItsIndependentFixedPoint)
{
    for (const test_support::StackLossFixedPoint& point : test_support::kStackLossFixedPoints) {
        const Outcome outcome = RunOnStackLoss(point.methodCode, point.tuningConstant, 1e-12);
        SCOPED_TRACE("method " + std::to_string(point.methodCode));
        EXPECT_EQ(outcome.result, kRunSuccess);
        ExpectColumn(outcome.x, point.x, 1e-8);
    }
}

TEST(EstimatorStackLoss, LeastSquaresAndL1MatchTheCertifiedSolutions)
{
    ExpectColumn(RunOnStackLoss(kMethodLpNorm, 0, 1e-5, 2.0).x, test_support::kStackLossLeastSquares, 1e-7);
    ExpectColumn(RunOnStackLoss(kMethodL1, 0, 1e-5).x, test_support::kStackLossL1, 1e-9);
}

// ---------------------------------------------------------------------------
// The scale re-estimated before every pass.

struct ScaledOutcome {
    int result;
    AdjustmentResults results;
    std::string report;
};

ScaledOutcome RunScaled(const Matrix& A, const Matrix& l, const Matrix& weights, int code, double c,
                        int maxPasses = 1000, double stop = 1e-12)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("scaled.AUS");
    CEstimator engine;
    engine.SetOutputFile(path);
    engine.TuningConstant = c;
    engine.ScaleEachPass = true;
    const int result = engine.RunWithWeightVector(A, l, weights, code, 0.0, maxPasses, stop);
    return {result, engine.TakeResults(), ReadBytes(path)};
}

// The last s is the spread of the corrections reported (unit weights).
double SpreadOfCorrections(const AdjustmentResults& results)
{
    std::vector<double> scratch;
    return MadAboutZero(std::span<const double>(results.corrections.Data(), std::size_t(results.Observations())),
                        scratch);
}

TEST(EstimatorScaleEachPass, AgreesWithStatsmodelsOnStackLossAndOnManyGrossErrors)
{
    const test_support::StackLossProblem stackLoss = test_support::ReadStackLoss();
    const test_support::SyntheticProblem synthetic = test_support::SyntheticOutliers();
    for (const test_support::PeerFit& peer : test_support::kStatsmodelsScaleEachPass) {
        SCOPED_TRACE(std::string(peer.synthetic ? "synthetic" : "stack loss") + " method " +
                     std::to_string(peer.methodCode) + " c " + std::to_string(peer.tuningConstant));
        // A limit of k passes computes k + 1 solutions; a stop criterion of 0 is never met.
        const int maxPasses = peer.solutions > 0 ? peer.solutions - 1 : 1000;
        const double stop = peer.solutions > 0 ? 0.0 : 1e-12;
        const ScaledOutcome run = peer.synthetic ? RunScaled(synthetic.A, synthetic.l, synthetic.weights,
                                                             peer.methodCode, peer.tuningConstant, maxPasses, stop)
                                                 : RunScaled(stackLoss.A, stackLoss.l, stackLoss.weights,
                                                             peer.methodCode, peer.tuningConstant, maxPasses, stop);
        ASSERT_EQ(run.result, kRunSuccess);
        EXPECT_EQ(run.results.end, peer.solutions > 0 ? RunEnd::kPassLimit : RunEnd::kCriterion);
        ASSERT_EQ(run.results.Unknowns(), static_cast<int>(peer.x.size()));
        for (int j = 0; j < run.results.Unknowns(); ++j)
            EXPECT_NEAR(run.results.unknowns(j, 0), peer.x[std::size_t(j)], 1e-8 * std::fabs(peer.x[std::size_t(j)]));
        ASSERT_TRUE(run.results.tuningScale.has_value());
        const TuningScale& scale = *run.results.tuningScale;
        EXPECT_EQ(scale.rule, ScaleRule::kEachPass);
        EXPECT_EQ(scale.givenConstant, peer.tuningConstant);
        EXPECT_NEAR(scale.scale, peer.scale, 1e-8 * peer.scale);
        EXPECT_EQ(scale.scale, SpreadOfCorrections(run.results));
        EXPECT_EQ(*run.results.tuningConstant, peer.tuningConstant * scale.scale);
    }
}

// More than half of the residuals exactly 0 make s = 0: the run ends with
// the pass that fitted them, every weight 1 on them and 0 elsewhere.
TEST(EstimatorScaleEachPass, ScaleZeroEndsTheRunWithTheExactFitNotWithNaN)
{
    struct Case {
        Problem problem;
        int code;
        int passes;
        double x;
        std::vector<double> w;
    };
    // Talwar: the least-squares mean 2 gives s = 1 / 0.67449 and rejects the 9;
    // pass 2 fits the seven 1 exactly. Five 2 fit in pass 1.
    const Case cases[] = {
        {Make({{1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}}, {1, 1, 1, 1, 1, 1, 1, 9}), kMethodTalwar, 2, 1.0,
         {1, 1, 1, 1, 1, 1, 1, 0}},
        {Make({{1}, {1}, {1}, {1}, {1}}, {2, 2, 2, 2, 2}), kMethodHuber, 1, 2.0, {1, 1, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        const ScaledOutcome run = RunScaled(c.problem.A, c.problem.l, Matrix(c.problem.l.Rows(), 1, 1.0), c.code,
                                            2.795, 1000, 1e-5);
        EXPECT_EQ(run.result, kRunSuccess);
        EXPECT_EQ(run.results.passes, c.passes);
        EXPECT_EQ(run.results.end, RunEnd::kScaleZero);
        EXPECT_EQ(run.results.unknowns(0, 0), c.x);
        EXPECT_EQ(run.results.robustWeights, c.w);
        EXPECT_EQ(run.results.tuningScale->scale, 0.0);
        EXPECT_EQ(run.report.find("nan"), std::string::npos);
    }
}

// One line after the method line, which keeps the constant as given; every
// other line of the head is the plain run's.
TEST(EstimatorScaleEachPass, TheReportHeadGainsOneLineWithTheLastScale)
{
    const Problem problem = LineWithOutlier();
    const Matrix weights(6, 1, 1.0);
    const ScaledOutcome scaled = RunScaled(problem.A, problem.l, weights, kMethodHuber, 1.5);
    const std::string plain = RunEngine(problem, kMethodHuber, 1.5).report;
    const std::string method = "Berechnungsart: Huber mit Tuning-Konstante 1.500000\r\n";
    std::string line = "Skala in jeder Iteration neu gesch\xE4tzt (MAD um 0), zuletzt s = ";
    AppendGeneral(line, scaled.results.tuningScale->scale, 0, 10);
    line += "\r\n";
    const std::size_t cut = plain.find(method) + method.size();
    ASSERT_NE(plain.find(method), std::string::npos);
    const std::string results = "Ben\xF6tigte Anzahl an Iterationen: ";
    const std::size_t head = plain.find(results);
    EXPECT_EQ(scaled.report.substr(0, head + line.size()), plain.substr(0, cut) + line + plain.substr(cut, head - cut));
    EXPECT_NE(scaled.report.find(results + std::to_string(*scaled.results.passes) + "\r\n"), std::string::npos);
}

// ---------------------------------------------------------------------------

Problem RandomProblem(std::mt19937_64& random, int n, int u, bool integerData)
{
    std::normal_distribution<double> normal;
    std::uniform_int_distribution<int> small(-3, 3);
    std::uniform_real_distribution<double> weight(0.2, 5.0);
    Problem problem{Matrix(n, u, 0.0), Matrix(n, 1, 0.0), Matrix(n, n, 0.0)};
    for (int i = 0; i < n; ++i) {
        problem.A(i, 0) = 1.0;
        for (int j = 1; j < u; ++j)
            problem.A(i, j) = integerData ? small(random) : normal(random);
        double value = 0;
        for (int j = 0; j < u; ++j)
            value += problem.A(i, j) * (j + 1);
        value += integerData ? small(random) : normal(random) * 0.5;
        if (i % 7 == 3)
            value += integerData ? 20 : 15 * normal(random);
        problem.l(i, 0) = value;
        problem.P(i, i) = (i % 3 == 0) ? 1.0 : (integerData ? 4.0 : weight(random));
    }
    return problem;
}

TEST(EstimatorOracle, FastEngineIsBitIdenticalToTheLiteralDenseOrder)
{
    std::mt19937_64 random(42);
    std::uniform_int_distribution<int> sizeN(3, 40);
    const double constants[] = {1.5, 0.5, 4.685, 2.385, 1.4, 1.5, 1.205, 2.795, 2.985};
    int compared = 0;
    for (int round = 0; round < 30; ++round) {
        const int n = sizeN(random);
        const int u = 1 + round % std::min(6, n);
        const Problem problem = RandomProblem(random, n, u, round % 3 == 0);
        for (int code = 0; code <= 9; ++code) {
            const double p = (round % 4 == 0) ? 1.5 : (round % 4 == 1 ? 2.0 : (round % 4 == 2 ? 3.0 : 1.2));
            const double c = code >= 2 ? constants[code - 1] * (round % 2 == 0 ? 1.0 : 0.7) : 0.0;
            const int maxPasses = round % 5 == 0 ? 3 : 200;
            const double stop = round % 6 == 0 ? 0.0 : 1e-8;
            const Outcome fast = RunEngine(problem, code, c, maxPasses, stop, p);
            const LiteralResult literal = LiteralRun(problem.A, problem.l, problem.P, code, c, p, maxPasses, stop);
            ASSERT_TRUE(SameBits(fast.x, literal.x)) << "round " << round << " code " << code;
            ASSERT_TRUE(SameBits(fast.v, literal.v)) << "round " << round << " code " << code;
            ASSERT_EQ(fast.passes, literal.passes) << "round " << round << " code " << code;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 300);
}

// Unit weights: the engine solves A and l themselves (no weighted copy),
// also when they hold negative zeros, which the weighted system would make
// positive; for L1 only without them.
TEST(EstimatorOracle, UnitWeightsGiveTheSameBitsAsTheWeightedSystem)
{
    std::mt19937_64 random(99);
    for (int round = 0; round < 12; ++round) {
        const int n = 8 + round;
        const int u = 1 + round % 4;
        Problem problem = RandomProblem(random, n, u, round % 3 == 0);
        for (int i = 0; i < n; ++i) {
            problem.P(i, i) = 1.0;
            // Zeros of both signs in some rounds, in the design and the observations.
            if (round % 2 == 1 && i % 3 == 1)
                problem.A(i, u - 1) = (i % 2 == 0) ? 0.0 : -0.0;
            if (round % 4 == 1 && i % 5 == 2)
                problem.l(i, 0) = -0.0;
        }
        for (int code = 0; code <= 9; ++code) {
            const double c = code >= 2 ? 1.5 : 0.0;
            const Outcome fast = RunEngine(problem, code, c, 200, 1e-8, 1.5);
            const LiteralResult literal = LiteralRun(problem.A, problem.l, problem.P, code, c, 1.5, 200, 1e-8);
            ASSERT_TRUE(SameBits(fast.x, literal.x)) << "round " << round << " code " << code;
            ASSERT_TRUE(SameBits(fast.v, literal.v)) << "round " << round << " code " << code;
            ASSERT_EQ(fast.passes, literal.passes) << "round " << round << " code " << code;
        }
    }
}

TEST(EstimatorOracle, WeightVectorFormGivesTheSameBitsAsTheMatrixForm)
{
    std::mt19937_64 random(7);
    const Problem problem = RandomProblem(random, 30, 4, false);
    Matrix weights(30, 1, 0.0);
    for (int i = 0; i < 30; ++i)
        weights(i, 0) = problem.P(i, i);
    const test_support::TempFolder folder;
    CEstimator matrixForm;
    matrixForm.TuningConstant = 1.5;
    matrixForm.SetOutputFile(folder.Path("matrix_form.AUS"));
    ASSERT_EQ(matrixForm.Run(problem.A, problem.l, problem.P, kMethodHuber, 0, 100, 1e-9), kRunSuccess);
    CEstimator vectorForm;
    vectorForm.TuningConstant = 1.5;
    vectorForm.SetOutputFile(folder.Path("vector_form.AUS"));
    ASSERT_EQ(vectorForm.RunWithWeightVector(problem.A, problem.l, weights, kMethodHuber, 0, 100, 1e-9), kRunSuccess);
    EXPECT_TRUE(SameBits(matrixForm.Solution(), vectorForm.Solution()));
    EXPECT_TRUE(SameBits(matrixForm.Corrections(), vectorForm.Corrections()));
    EXPECT_EQ(ReadBytes(folder.Path("matrix_form.AUS")), ReadBytes(folder.Path("vector_form.AUS")));
}

} // namespace
