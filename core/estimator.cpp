#include "core/estimator.h"

#include "core/background_task.h"
#include "core/irls_pass.h"
#include "core/memory_budget.h"
#include "core/report.h"
#include "core/report_file.h"
#include "core/residual_scale.h"
#include "core/weighted_system.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <numbers>
#include <span>
#include <string>
#include <utility>
#include <vector>

double LargestChange(const Matrix& x, const Matrix& xprev)
{
    double d = std::fabs(x(0, 0) - xprev(0, 0));
    for (int i = 1; i < x.Rows(); ++i) {
        const double change = std::fabs(x(i, 0) - xprev(i, 0));
        if (change > d)
            d = change;
    }
    return d;
}

std::string PassText(int pass)
{
    return "Berechnung l\u00e4uft...\nIteration: " + std::to_string(pass);
}

namespace {

// The weight functions w(v) with tuning constant c or norm factor p; u = v / c.

double LpNormWeight(double v, double p)
{
    // p > 2: |v|^(p-2); p = 2: 1; p < 2: |v|^(p-2), capped at 1e15 near 0.
    const double magnitude = std::fabs(v);
    if (p > 2.0)
        return std::pow(magnitude, p - 2.0);
    if (p == 2.0)
        return 1.0;
    return magnitude < 1e-15 ? 1e15 : std::pow(magnitude, p - 2.0);
}

double AndrewsWeight(double v, double c)
{
    // sin(u)/u inside |v| <= pi c, 0 beyond; 1 at v = 0 inside (the limit).
    // A constant below 0 leaves no inside, not even v = 0.
    if (!(std::fabs(v) <= std::numbers::pi * c))
        return 0.0;
    const double u = v / c;
    return v == 0.0 ? 1.0 : std::sin(u) / u;
}

double BiweightWeight(double v, double c)
{
    // (1 - u^2)^2 inside |v| <= c (0 at |v| = c), 0 beyond.
    if (!(std::fabs(v) <= c))
        return 0.0;
    const double u = v / c;
    const double t = 1.0 - u * u;
    return t * t;
}

double CauchyWeight(double v, double c)
{
    const double u = v / c;
    return 1.0 / (1.0 + u * u);
}

double FairWeight(double v, double c)
{
    return 1.0 / (1.0 + std::fabs(v) / c);
}

// inside ? a : b without a branch, which residuals on both sides of a
// bound at random would mispredict.
double Select(bool inside, double a, double b)
{
    std::uint64_t aBits = 0;
    std::uint64_t bBits = 0;
    std::memcpy(&aBits, &a, sizeof a);
    std::memcpy(&bBits, &b, sizeof b);
    const std::uint64_t mask = 0 - static_cast<std::uint64_t>(inside);
    const std::uint64_t bits = (aBits & mask) | (bBits & ~mask);
    double result = 0.0;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}

double HuberWeight(double v, double c)
{
    // 1 below c, c/|v| from c on.
    const double magnitude = std::fabs(v);
    return Select(magnitude < c, 1.0, c / magnitude);
}

double LogisticWeight(double v, double c)
{
    // tanh(u)/u; 1 at v = 0 (the limit).
    if (v == 0.0)
        return 1.0;
    return std::tanh(v / c) * (c / v);
}

double TalwarWeight(double v, double c)
{
    // 1 inside |v| <= c (also at |v| = c), 0 beyond.
    return std::fabs(v) <= c ? 1.0 : 0.0;
}

double WelschWeight(double v, double c)
{
    const double u = v / c;
    return std::exp(-(u * u));
}

// w[i] = weight(v[i], constant) for every residual: one loop per method,
// with the switch outside it and the weight inlined.
template <double (*Weight)(double, double)>
void WeighAll(const double* v, double* w, std::size_t count, double constant)
{
    for (std::size_t i = 0; i < count; ++i)
        w[i] = Weight(v[i], constant);
}

// The first-order condition of the Lp norm at x, with the residuals of x
// itself (the run may end holding those of the pass before).
SolutionCheck LpCheckAt(const Matrix& Abar, const Matrix& lbar, const Matrix& x, double p)
{
    Matrix r(Abar.Rows(), 1, 0.0);
    if (!r.IsValid())
        throw std::bad_alloc();
    ComputeResiduals(Abar.Data(), x.Data(), lbar.Data(), r.Data(), Abar.Rows(), Abar.Columns());
    return LpFirstOrderCheck(Abar, lbar, x, r, p);
}

} // namespace

void MethodWeights(int methodCode, const double* v, double* w, std::size_t count, double c, double p)
{
    switch (methodCode) {
    case kMethodLpNorm:
        return WeighAll<LpNormWeight>(v, w, count, p);
    case kMethodAndrews:
        return WeighAll<AndrewsWeight>(v, w, count, c);
    case kMethodBiweight:
        return WeighAll<BiweightWeight>(v, w, count, c);
    case kMethodCauchy:
        return WeighAll<CauchyWeight>(v, w, count, c);
    case kMethodFair:
        return WeighAll<FairWeight>(v, w, count, c);
    case kMethodHuber:
        return WeighAll<HuberWeight>(v, w, count, c);
    case kMethodLogistic:
        return WeighAll<LogisticWeight>(v, w, count, c);
    case kMethodTalwar:
        return WeighAll<TalwarWeight>(v, w, count, c);
    case kMethodWelsch:
        return WeighAll<WelschWeight>(v, w, count, c);
    default:
        for (std::size_t i = 0; i < count; ++i)
            w[i] = 0.0;
    }
}

double MethodWeight(int methodCode, double v, double c, double p)
{
    double w = 0.0;
    MethodWeights(methodCode, &v, &w, 1, c, p);
    return w;
}

CEstimator::CEstimator(IStatusWindow* statusWindow, IResidualView* view) : StatusWindow(statusWindow), ResidualView(view)
{
}

int CEstimator::Run(Matrix A, Matrix l, Matrix P, int MethodCode, double NormFactor, int maxPasses,
                    double stopCriterion)
{
    // Only a square P has a diagonal; any other shape gets no report.
    const int n = P.Columns() == P.Rows() ? P.Rows() : -1;
    Matrix weights(n, 1, 0.0);
    if (n >= 0 && !weights.IsValid())
        throw std::bad_alloc();
    for (int i = 0; i < n; ++i)
        weights(i, 0) = P(i, i);
    P = Matrix(0, 0, 0.0);
    return RunWithWeightVector(std::move(A), std::move(l), std::move(weights), MethodCode, NormFactor, maxPasses,
                               stopCriterion);
}

int CEstimator::RunWithWeightVector(Matrix A, Matrix l, Matrix p, int MethodCode, double NormFactor, int maxPasses,
                                    double stopCriterion)
{
    LastReportError = OutputError();
    if (StatusWindow != nullptr)
        StatusWindow->Show();
    if (OutputFileName.empty() || !IsMethodCode(MethodCode))
        return kRunNoReport;
    // The reader guarantees n >= 1, u >= 1 and fitting shapes; other callers
    // get no report.
    if (A.Rows() < 1 || A.Columns() < 1 || l.Rows() != A.Rows() || p.Rows() != A.Rows() || l.Columns() < 1 ||
        p.Columns() < 1)
        return kRunNoReport;
    if (TooFewObservations(A.Rows(), A.Columns()))
        return kRunTooFewObservations;
    RequireRunMemory(MethodCode, NormFactor, A.Rows(), A.Columns());
    ReportFile report;
    if (!report.Open(OutputFileName, ReportDurability)) {
        LastReportError = report.Error();
        return kRunNoReport;
    }
    const int n = A.Rows();
    const int u = A.Columns();
    Matrix x(u, 1, 0.0);
    Matrix v(n, 1, 0.0);
    if (!x.IsValid() || !v.IsValid())
        throw std::bad_alloc();
    int passes = 0;
    PassRecord record;
    const bool scaled = UsesScaleEachPass(MethodCode);
    std::vector<bool> basic;
    std::optional<RedundancyShares> shares;
    {
        // The head echoes only the input: it is written while the solution
        // is computed, and the design matrix lives until it is.
        BackgroundTask head([&] {
            if (scaled)
                WriteReportHeadThroughMethod(report, A, l, p, MethodCode, TuningConstant);
            else
                WriteReportHead(report, A, l, p, MethodCode, TuningConstant, NormFactor);
        });
        // With unit weights the weighted system is often A and l themselves.
        const OwnSystem own = OwnWeightedSystem(A, l, p);
        const bool original = own == OwnSystem::kExactly || (own != OwnSystem::kNo && MethodCode != kMethodL1);
        const WeightedSystem weighted = original ? WeightedSystem{} : FormWeightedSystem(A, l, p);
        const Matrix& Abar = original ? A : weighted.Abar;
        const Matrix& lbar = original ? l : weighted.lbar;
        if (MethodCode == kMethodL1) {
            std::vector<signed char> sides;
            x.SolveL1(Abar, lbar, v, &basic, &sides);
            record.check = L1DualCheck(Abar, v, basic, &sides);
        } else {
            passes = IterateReweighting(Abar, lbar, MethodCode, NormFactor, maxPasses, stopCriterion, x, v, record);
        }
        if (MethodCode == kMethodLpNorm && NormFactor != 2.0 && NormFactor > 1.0)
            record.check = CombinedCheck(record.check, LpCheckAt(Abar, lbar, x, NormFactor));
        if (KeepTestShares && AllFinite(x))
            shares = LastPassShares(Abar, lbar, MethodCode, NormFactor, record);
        head.Wait();
    }
    // The last scale is known only now: its line follows the method line.
    if (scaled)
        WriteReportScaleLineAndRest(report, record.scale);
    UnweightResiduals(v, p);

    A = Matrix(0, 0, 0.0); // the design matrix is not needed any more
    WriteReportResults(report, MethodCode, passes, x, l, v);
    const bool written = report.Close();
    if (StatusWindow != nullptr)
        StatusWindow->Hide();
    const bool finite = ResultsAreFinite(x, l, v);
    const bool checked = !record.check.Failed();
    KeepResults(MethodCode, NormFactor, passes, finite, std::move(x), std::move(l), std::move(p), std::move(v),
                std::move(record), std::move(basic));
    if (finite)
        LastResults.redundancy = std::move(shares);
    if (!written) {
        LastReportError = report.Error();
        return kRunNoReport;
    }
    if (ResidualView != nullptr) {
        ResidualView->SetResiduals(LastResults.corrections);
        ResidualView->ShowModal();
    }
    return finite && checked ? kRunSuccess : kRunNotFinite;
}

// The M-estimators test with their final robust weights, every other
// method with the given ones. The last inverse belongs to the final
// weights, except after the pass limit: the last sweep weighed once more.
std::optional<RedundancyShares> CEstimator::LastPassShares(const Matrix& Abar, const Matrix& lbar, int MethodCode,
                                                           double NormFactor, const PassRecord& record)
{
    const bool robust = kMethods[MethodCode].parameter == MethodParameter::kTuningConstant;
    const bool leastSquares = MethodCode == kMethodLpNorm && NormFactor == 2.0;
    const bool inverseFits = leastSquares || (robust && record.end == RunEnd::kCriterion);
    const std::span<const double> lbarValues(lbar.Data(), static_cast<std::size_t>(lbar.Rows()));
    return ComputeRedundancy(Abar, lbarValues, robust ? record.w : std::vector<double>(),
                             inverseFits ? &record.inverse : nullptr,
                             robust ? TestWeights::kRobust : TestWeights::kGiven);
}

// The results of the run just reported. The robust weights and N^-1 are
// those of the reweighting's last pass; the precision of the unknowns is
// given for least squares and the M-estimators, whose weights lie in [0, 1].
void CEstimator::KeepResults(int MethodCode, double NormFactor, int passes, bool finite, Matrix x, Matrix l, Matrix p,
                             Matrix v, PassRecord record, std::vector<bool> basic)
{
    const MethodInfo& method = kMethods[MethodCode];
    const bool leastSquares = MethodCode == kMethodLpNorm && NormFactor == 2.0;
    const bool estimator = method.parameter == MethodParameter::kTuningConstant;
    AdjustmentResults results;
    results.method = method.commandLineName;
    if (estimator)
        results.tuningConstant = TuningConstant;
    if (UsesScaleEachPass(MethodCode)) {
        results.tuningConstant = TuningConstant * record.scale;
        results.tuningScale = TuningScale{TuningConstant, record.scale, ScaleRule::kEachPass};
    }
    if (MethodCode == kMethodLpNorm)
        results.normFactor = NormFactor;
    if (MethodCode == kMethodL1) {
        results.end = finite ? RunEnd::kOptimum : RunEnd::kNotFinite;
    } else {
        results.passes = passes;
        results.end = record.end;
        if (!std::isnan(record.largestChange))
            results.largestChange = record.largestChange;
    }
    results.unknowns = std::move(x);
    results.observed = std::move(l);
    results.weights = std::move(p);
    results.corrections = std::move(v);
    if (estimator)
        results.robustWeights = std::move(record.w);
    else
        results.robustWeights.assign(static_cast<std::size_t>(results.Observations()), 1.0);
    results.basic = std::move(basic);
    results.check = record.check;
    SetPrecision(results, estimator || leastSquares ? &record.inverse : nullptr);
    LastResults = std::move(results);
}

namespace {

// The method and its constants for the sweep's weighing of each chunk.
struct WeightConstants {
    int methodCode;
    double c;
    double p;
};

void WeighResiduals(const void* context, const double* v, double* w, std::size_t count)
{
    const WeightConstants& constants = *static_cast<const WeightConstants*>(context);
    MethodWeights(constants.methodCode, v, w, count, constants.c, constants.p);
}

} // namespace

// The normal equations of pass k + 1 are summed in the same sweep over the
// observations as the residuals and weights of pass k, and only when pass
// k + 1 will run.
int CEstimator::IterateReweighting(const Matrix& Abar, const Matrix& lbar, int MethodCode, double NormFactor,
                                   int maxPasses, double stopCriterion, Matrix& x, Matrix& v, PassRecord& record)
{
    const int n = Abar.Rows();
    const int u = Abar.Columns();
    std::vector<double> w(static_cast<std::size_t>(n), 1.0);
    const std::span<const double> lbarValues(lbar.Data(), static_cast<std::size_t>(n));
    const WeightConstants constants{MethodCode, TuningConstant, NormFactor};
    const Reweighting reweighting{&WeighResiduals, &constants};
    // The Lp norm with factor 2 is least squares: one pass.
    const bool singlePass = MethodCode == kMethodLpNorm && NormFactor == 2.0;
    // Re-estimating the scale needs all residuals before the first weight:
    // a sweep for the residuals, their median, then the weights and the sums.
    const bool scaled = UsesScaleEachPass(MethodCode);
    std::vector<double> magnitudes;
    NormalEquations equations = FormNormalEquations(Abar, w, lbarValues);
    Matrix xprev(1, 1, 0.0);
    record.largestChange = std::numeric_limits<double>::quiet_NaN();
    int k = 1;
    for (;; ++k) {
        if (StatusWindow != nullptr)
            StatusWindow->SetText(PassText(k));
        x = SolveNormalEquations(equations, u, &record.inverse);
        record.check = NormalEquationsCheck(equations.matrix, record.inverse);
        if (k > 1) {
            const double d = LargestChange(x, xprev);
            record.largestChange = d;
            if (d < stopCriterion || std::isnan(d)) {
                record.end = std::isnan(d) ? RunEnd::kNotFinite : RunEnd::kCriterion;
                break;
            }
        }
        // The count k of a run that reaches the limit is maxPasses + 1; at
        // the largest int the count cannot grow, so the run ends there.
        const bool lastPass = k > maxPasses || singlePass || k == std::numeric_limits<int>::max();
        if (!scaled) {
            equations = SweepPass(Abar, lbarValues, x.Data(), v.Data(), w, reweighting, !lastPass);
        } else if (!ScaledReweighting(Abar, lbarValues, MethodCode, x, v, w, magnitudes, record.scale)) {
            record.end = RunEnd::kScaleZero;
            break;
        } else if (!lastPass) {
            equations = FormNormalEquations(Abar, w, lbarValues);
        }
        if (lastPass) {
            record.end = singlePass ? RunEnd::kSinglePass : RunEnd::kPassLimit;
            break;
        }
        xprev = x;
    }
    record.w = std::move(w);
    return k;
}

bool CEstimator::UsesScaleEachPass(int MethodCode) const
{
    return ScaleEachPass && kMethods[MethodCode].parameter == MethodParameter::kTuningConstant;
}

bool CEstimator::ScaledReweighting(const Matrix& Abar, std::span<const double> lbar, int MethodCode, const Matrix& x,
                                   Matrix& v, std::vector<double>& w, std::vector<double>& scratch,
                                   double& scale) const
{
    const Reweighting residualsOnly{nullptr, nullptr};
    SweepPass(Abar, lbar, x.Data(), v.Data(), w, residualsOnly, false);
    const std::span<const double> residuals(v.Data(), w.size());
    scale = MadAboutZero(residuals, scratch);
    if (scale == 0.0) {
        for (std::size_t i = 0; i < w.size(); ++i)
            w[i] = residuals[i] == 0.0 ? 1.0 : 0.0;
        return false;
    }
    MethodWeights(MethodCode, residuals.data(), w.data(), w.size(), TuningConstant * scale, 0.0);
    return true;
}
