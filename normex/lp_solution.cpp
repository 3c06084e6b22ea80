#include "normex/lp_solution.h"

#include "core/chebyshev_solver.h"
#include "core/estimator.h"
#include "core/file_path.h"
#include "core/lp_norm_solver.h"
#include "core/report.h"
#include "core/report_file.h"
#include "core/weighted_system.h"
#include "io/input_file.h"
#include "normex/normex.h"
#include "res/string_table.h"

#include <cmath>
#include <new>
#include <utility>
#include <vector>

namespace {

// "Loo-Norm Lösung (Tschebycheff)" in Windows-1252, like every report text.
constexpr const char* kChebyshevMethodText = "Loo-Norm L\xF6sung (Tschebycheff)\n";

struct Problem {
    Matrix A;
    Matrix l;
    Matrix weights; // n x 1
};

int ReaderFailure(int messageId)
{
    switch (messageId) {
    case kStringNoInputFile:
    case kStringInputFileOpenError:
        return NORMEX_INPUT_NOT_OPENED;
    case kStringOutOfMemory:
        return NORMEX_OUT_OF_MEMORY;
    default:
        return NORMEX_INPUT_REJECTED;
    }
}

bool SizesMatch(const LpRequest& request, const Matrix& A)
{
    return request.observations.value_or(A.Rows()) == A.Rows() &&
           request.unknowns.value_or(A.Columns()) == A.Columns();
}

// The L1 solution by the engine (code 1).
void SolveL1Report(const LpRequest& request, Problem problem, IStatusWindow* status, LpOutcome& outcome)
{
    CEstimator engine(status);
    engine.SetOutputFile(request.outputFile);
    const int run = engine.RunWithWeightVector(std::move(problem.A), std::move(problem.l), std::move(problem.weights),
                                               kMethodL1, request.normFactor, request.maxPasses, 0.0);
    if (run == kRunNoReport) {
        outcome.result = NORMEX_OUTPUT_FAILED;
        outcome.reportError = engine.ReportError();
        return;
    }
    outcome.corrections = engine.Corrections();
    outcome.result = run == kRunSuccess ? NORMEX_SUCCESS : NORMEX_NOT_FINITE;
}

void ReportFailed(const ReportFile& report, LpOutcome& outcome)
{
    outcome.result = NORMEX_OUTPUT_FAILED;
    outcome.reportError = report.Error();
}

int LpResult(const LpNormSolution& solution, const Matrix& x, const Matrix& l, const Matrix& v)
{
    if (solution.status == kLpNormNotFinite || !ResultsAreFinite(x, l, v))
        return NORMEX_NOT_FINITE;
    return solution.status == kLpNormMinimum ? NORMEX_SUCCESS : NORMEX_NO_CONVERGENCE;
}

// The Lp minimiser of the weighted system Abar x ~ lbar, whose residuals are
// sqrt(p_i) v_i; the report of the engine's code 0 with the pass count.
void SolveLpReport(const LpRequest& request, const Problem& problem, IStatusWindow* status, LpOutcome& outcome)
{
    ReportFile report;
    if (!report.Open(request.outputFile))
        return ReportFailed(report, outcome);
    if (status != nullptr)
        status->Show();
    WriteReportHead(report, problem.A, problem.l, problem.weights, kMethodLpNorm, 0.0, request.normFactor);

    const WeightedSystem weighted = FormWeightedSystem(problem.A, problem.l, problem.weights);
    Matrix x;
    Matrix v;
    const LpNormProgress progress = [status](int pass, const std::vector<double>&) {
        if (status != nullptr)
            status->SetText(PassText(pass));
    };
    const LpNormSolution solution =
        SolveLpNorm(weighted.Abar, weighted.lbar, request.normFactor, request.maxPasses, x, v, progress);
    UnweightResiduals(v, problem.weights);

    WriteReportResults(report, kMethodLpNorm, solution.passes, x, problem.l, v);
    const bool written = report.Close();
    if (status != nullptr)
        status->Hide();
    if (!written)
        return ReportFailed(report, outcome);
    outcome.result = LpResult(solution, x, problem.l, v);
    outcome.corrections = std::move(v);
    outcome.passes = solution.passes;
}

// The minimax solution of the weighted system (core/weighted_system.h),
// whose residuals are sqrt(p_i) v_i; the corrections are those divided back
// by sqrt(p_i).
void SolveChebyshevReport(const LpRequest& request, const Problem& problem, LpOutcome& outcome)
{
    ReportFile report;
    if (!report.Open(request.outputFile))
        return ReportFailed(report, outcome);
    WriteReportHeadWithMethodText(report, problem.A, problem.l, problem.weights, kChebyshevMethodText);

    const WeightedSystem weighted = FormWeightedSystem(problem.A, problem.l, problem.weights);
    Matrix x;
    Matrix v;
    const ChebyshevSolution solution = SolveChebyshev(weighted.Abar, weighted.lbar, x, v);
    if (solution.status == kChebyshevOutOfMemory)
        throw std::bad_alloc();
    UnweightResiduals(v, problem.weights);

    WriteReportResultsWithoutPassCount(report, x, problem.l, v);
    if (!report.Close())
        return ReportFailed(report, outcome);
    const bool finite = ResultsAreFinite(x, problem.l, v);
    outcome.corrections = std::move(v);
    if (!finite)
        outcome.result = NORMEX_NOT_FINITE;
    else
        outcome.result = solution.status == kChebyshevOptimal ? NORMEX_SUCCESS : NORMEX_NO_CONVERGENCE;
}

LpOutcome Solve(const LpRequest& request, IStatusWindow* status)
{
    LpOutcome outcome;
    if (!std::isfinite(request.normFactor) || request.normFactor < NORMEX_MIN_NORM_FACTOR) {
        outcome.result = NORMEX_BAD_NORM_FACTOR;
        return outcome;
    }
    if (IsSameFile(request.inputFile, request.outputFile)) {
        outcome.result = NORMEX_SAME_FILE;
        return outcome;
    }
    Problem problem;
    outcome.messageId = ReadInputFileWeightVector(request.inputFile, problem.A, problem.l, problem.weights,
                                                  request.designPieceReport);
    if (outcome.messageId != 0) {
        outcome.result = ReaderFailure(outcome.messageId);
        return outcome;
    }
    if (!SizesMatch(request, problem.A)) {
        outcome.result = NORMEX_SIZE_MISMATCH;
        return outcome;
    }
    if (request.normFactor == kChebyshevNormFactor)
        SolveChebyshevReport(request, problem, outcome);
    else if (request.normFactor == 1.0)
        SolveL1Report(request, std::move(problem), status, outcome);
    else
        SolveLpReport(request, problem, status, outcome);
    return outcome;
}

} // namespace

LpOutcome RunLpSolution(const LpRequest& request, IStatusWindow* status)
{
    try {
        return Solve(request, status);
    } catch (const std::bad_alloc&) {
        LpOutcome outcome;
        outcome.result = NORMEX_OUT_OF_MEMORY;
        return outcome;
    }
}
