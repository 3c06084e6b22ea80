#pragma once

#include "core/adjustment_results.h"
#include "core/matrix.h"
#include "core/methods.h"
#include "core/output_file.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

// The status window of a computation: shown when Run starts, its text
// replaced once per pass (and repainted at once, since no event loop runs
// during the computation), hidden when the results are written.
class IStatusWindow {
public:
    virtual ~IStatusWindow() = default;
    virtual void Show() = 0;
    virtual void SetText(const std::string& text) = 0; // UTF-8
    virtual void Hide() = 0;
};

// The residual plot shown modally at the end of a run.
class IResidualView {
public:
    virtual ~IResidualView() = default;
    virtual void SetResiduals(const Matrix& residuals) = 0;
    virtual void ShowModal() = 0;
};

// The status window's text for pass number pass.
std::string PassText(int pass);

// Results of Run.
enum RunResult : int {
    kRunNoReport = 0,    // no report written (no name, not creatable, write error, bad code)
    kRunSuccess = 1,     // report written, every number of its results finite
    kRunNotFinite = 2,   // report written, but an unknown, a correction or an adjusted observation is not
                         // finite, or the solution failed its check (Results().check says why)
    kRunTooFewObservations = 3, // n < u: refused before any work, no report
};

// The largest absolute change of an unknown from xprev to x (both u x 1);
// a NaN change never replaces a number, so d is NaN only when the first is.
double LargestChange(const Matrix& x, const Matrix& xprev);

// Weight w(v) of the method for the residual v of the weighted system, with
// tuning constant c (codes 2..9) or norm factor p (code 0). Code 1 has none.
double MethodWeight(int methodCode, double v, double c, double p);
// The same for count residuals at once: w[i] = MethodWeight(methodCode, v[i], c, p).
void MethodWeights(int methodCode, const double* v, double* w, std::size_t count, double c, double p);

// One adjustment by an M-estimator (iteratively reweighted least squares),
// the Lp norm by reweighting, or the L1 norm by Barrodale-Roberts. Writes
// the report while it works, counts passes in the status window and hands
// the corrections to the residual view at the end.
class CEstimator {
public:
    // Both windows are optional; the engine does not own them.
    explicit CEstimator(IStatusWindow* statusWindow = nullptr, IResidualView* residualView = nullptr);

    // kSynced: the report is on the disk before it replaces an older one.
    void SetOutputFile(const std::string& fileName, OutputDurability durability = OutputDurability::kRenamed)
    {
        OutputFileName = fileName;
        ReportDurability = durability;
    }

    // A (n x u), l (n x 1), P (n x n, weights on the diagonal).
    int Run(Matrix A, Matrix l, Matrix P, int MethodCode, double NormFactor, int maxPasses,
            double stopCriterion);
    // The same with the weights as an n x 1 vector: memory O(n u).
    int RunWithWeightVector(Matrix A, Matrix l, Matrix p, int MethodCode, double NormFactor,
                            int maxPasses, double stopCriterion);

    // Results of the last Run that computed a solution.
    const AdjustmentResults& Results() const { return LastResults; }
    const Matrix& Solution() const { return LastResults.unknowns; }
    const Matrix& Corrections() const { return LastResults.corrections; }
    int PassCount() const { return LastResults.passes.value_or(0); }
    // Hands the results over; the engine keeps none.
    AdjustmentResults TakeResults() { return std::move(LastResults); }
    // Why the last Run wrote no report, when its file failed: the stage
    // and the errno of the failed creation or write; empty otherwise.
    const OutputError& ReportError() const { return LastReportError; }

    double TuningConstant = 0.0;
    // M-estimators: before every pass after the first, the spread
    // s = median |v_i| / Phi^-1(3/4) of the residuals v of the weighted
    // system from the pass before, and the pass weighs with
    // TuningConstant * s. s = 0 ends the run (RunEnd::kScaleZero).
    bool ScaleEachPass = false;
    // Keep in the results what testing the observations needs (about one
    // pass more); off, Run does no more than its report needs.
    bool KeepTestShares = false;

private:
    // What the last reweighting pass leaves: the final weights w, N^-1 of
    // its normal matrix, the largest change of the unknowns (NaN after one
    // pass) and how the loop ended.
    struct PassRecord {
        std::vector<double> w;
        Matrix inverse;
        double largestChange = 0.0;
        RunEnd end = RunEnd::kCriterion;
        double scale = 0.0; // with ScaleEachPass: s of the last residuals weighed
        SolutionCheck check; // of the pass whose solution is reported
    };
    // The scaled reweighting's sweep after the pass that gave x: the
    // residuals v, their s, the weights w by c s. Returns false when s is 0;
    // w is then 1 where v is exactly 0 and 0 elsewhere, the limit of every
    // weight function as c s goes to 0.
    bool UsesScaleEachPass(int MethodCode) const;
    bool ScaledReweighting(const Matrix& Abar, std::span<const double> lbar, int MethodCode, const Matrix& x,
                           Matrix& v, std::vector<double>& w, std::vector<double>& scratch, double& scale) const;

    // The reweighting passes; returns the pass count written to the report.
    int IterateReweighting(const Matrix& Abar, const Matrix& lbar, int MethodCode, double NormFactor, int maxPasses,
                           double stopCriterion, Matrix& x, Matrix& v, PassRecord& record);
    static std::optional<RedundancyShares> LastPassShares(const Matrix& Abar, const Matrix& lbar, int MethodCode,
                                                          double NormFactor, const PassRecord& record);
    void KeepResults(int MethodCode, double NormFactor, int passes, bool finite, Matrix x, Matrix l, Matrix p,
                     Matrix v, PassRecord record, std::vector<bool> basic);

    std::string OutputFileName;
    OutputDurability ReportDurability = OutputDurability::kRenamed;
    IStatusWindow* StatusWindow;
    IResidualView* ResidualView;
    AdjustmentResults LastResults;
    OutputError LastReportError;
};
