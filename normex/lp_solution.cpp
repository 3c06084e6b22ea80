#include "normex/lp_solution.h"

#include "core/chebyshev_solver.h"
#include "core/estimator.h"
#include "core/file_path.h"
#include "core/irls_pass.h"
#include "core/lp_norm_solver.h"
#include "core/memory_budget.h"
#include "core/solution_check.h"
#include "core/report.h"
#include "core/report_file.h"
#include "core/weighted_system.h"
#include "io/input_file.h"
#include "normex/normex.h"
#include "res/string_table.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <span>
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

// The command line's name of the library's way; the factor tells the norm.
constexpr const char* kLpMethodName = "lp";

// The results of a solution the library computed itself: every robust
// weight 1, s0 but no standard deviations; the tests' shares from the
// given weights of the weighted system. Takes the observations and weights
// of the problem.
AdjustmentResults LibraryResults(const LpRequest& request, Problem& problem, const WeightedSystem& weighted, Matrix x,
                                 Matrix v, RunEnd end)
{
    AdjustmentResults results;
    results.method = kLpMethodName;
    results.normFactor = request.normFactor;
    results.end = end;
    results.unknowns = std::move(x);
    results.observed = std::move(problem.l);
    results.weights = std::move(problem.weights);
    results.corrections = std::move(v);
    results.robustWeights.assign(static_cast<std::size_t>(results.Observations()), 1.0);
    SetPrecision(results, nullptr);
    if (request.testShares && end != RunEnd::kNotFinite)
        results.redundancy =
            ComputeRedundancy(weighted.Abar, std::span<const double>(weighted.lbar.Data(), results.Observations()), {},
                              nullptr, TestWeights::kGiven);
    return results;
}

// The L1 solution by the engine (code 1).
void SolveL1Report(const LpRequest& request, Problem problem, IStatusWindow* status, LpOutcome& outcome)
{
    CEstimator engine(status);
    engine.SetOutputFile(request.outputFile, request.reportDurability);
    engine.KeepTestShares = request.testShares;
    const int run = engine.RunWithWeightVector(std::move(problem.A), std::move(problem.l), std::move(problem.weights),
                                               kMethodL1, request.normFactor, request.maxPasses, 0.0);
    if (run == kRunNoReport) {
        outcome.result = NORMEX_OUTPUT_FAILED;
        outcome.reportError = engine.ReportError();
        return;
    }
    outcome.results = engine.TakeResults();
    outcome.results.method = kLpMethodName;
    outcome.results.normFactor = request.normFactor;
    const AdjustmentResults& results = outcome.results;
    if (run == kRunSuccess)
        outcome.result = NORMEX_SUCCESS;
    else if (ResultsAreFinite(results.unknowns, results.observed, results.corrections))
        outcome.result = NORMEX_NO_CONVERGENCE; // the dual check failed
    else
        outcome.result = NORMEX_NOT_FINITE;
}

void ReportFailed(const ReportFile& report, LpOutcome& outcome)
{
    outcome.result = NORMEX_OUTPUT_FAILED;
    outcome.reportError = report.Error();
}

int LpResult(const LpNormSolution& solution, const SolutionCheck& check, const Matrix& x, const Matrix& l,
             const Matrix& v)
{
    if (solution.status == kLpNormNotFinite || !ResultsAreFinite(x, l, v) ||
        (check.Failed() && check.causeId == kStringSingularNormals))
        return NORMEX_NOT_FINITE;
    return solution.status == kLpNormMinimum && !check.Failed() ? NORMEX_SUCCESS : NORMEX_NO_CONVERGENCE;
}

// The minimax solution x* with largest residual t* is within n^(1/p) of the
// Lp minimiser's objective: ||r(x*)||_p <= n^(1/p) t* <= n^(1/p) min ||r||_p.
// Where that factor is below kChebyshevAttainsLp, the two minimisers cannot
// be told apart by their objectives, and the minimiser's largest residual
// lies within that share of t*. Within kMinimaxWithinLp the minimax solution
// is still an answer (its objective that close to the minimum) where Newton's
// method finds none.
constexpr double kChebyshevAttainsLp = 1e-10;
constexpr double kMinimaxWithinLp = 1e-9;

bool MinimaxWithin(int n, double p, double share)
{
    return std::expm1(std::log(static_cast<double>(n)) / p) <= share;
}

// Least squares answers with the digits its normal equations allow.
SolutionCheck LeastSquaresCheck(const Matrix& Abar)
{
    const int u = Abar.Columns();
    const NormalEquations equations =
        FormNormalEquations(Abar, std::vector<double>(static_cast<std::size_t>(Abar.Rows()), 1.0),
                            std::vector<double>(static_cast<std::size_t>(Abar.Rows()), 0.0));
    Matrix Q;
    SolveNormalEquations(equations, u, &Q);
    return NormalEquationsCheck(equations.matrix, Q);
}

// An Lp solution, the check of its first-order condition and its passes.
struct LpAttempt {
    Matrix x;
    Matrix v;
    LpNormSolution solution;
    SolutionCheck check;

    bool Reached() const { return solution.status == kLpNormMinimum && check.optimality == Optimality::kProved; }
};

LpAttempt SolveLpChecked(const WeightedSystem& weighted, const LpRequest& request, const LpNormProgress& progress,
                         const Matrix* start, int maxPasses)
{
    LpAttempt attempt;
    attempt.solution = SolveLpNorm(weighted.Abar, weighted.lbar, request.normFactor, maxPasses, attempt.x,
                                   attempt.v, progress, start);
    if (attempt.solution.status == kLpNormNotFinite)
        attempt.check = FailedCheck(kStringSingularNormals);
    else if (request.normFactor == 2.0)
        attempt.check = LeastSquaresCheck(weighted.Abar);
    else
        attempt.check = LpFirstOrderCheck(weighted.Abar, weighted.lbar, attempt.x, attempt.v, request.normFactor);
    return attempt;
}

// An answer the first-order check alone cannot vouch for.
bool NeedsMinimaxBound(const WeightedSystem& weighted, const LpAttempt& attempt, double p)
{
    return !attempt.check.Failed() &&
           LpCheckIsCoarse(weighted.Abar, weighted.lbar, attempt.x, attempt.v, p);
}

// No minimiser has a residual above ||r(x*)||_p <= n^(1/p) t*: an answer
// that has one is no minimiser, whatever its gradient says.
void HoldAgainstMinimax(LpAttempt& attempt, double minimaxValue, int n, double p)
{
    const double largest = LargestResidual(attempt.v);
    const double bound = minimaxValue * std::exp(std::log(static_cast<double>(n)) / p) * (1.0 + kMinimaxWithinLp);
    if (!(largest <= bound))
        attempt.check = FailedCheck(kStringNotOptimal);
}

// Newton's method from least squares; where it does not reach a minimiser
// whose first-order condition holds (at large p the weights of the start
// vanish), the minimax solution: as the answer where it attains the Lp
// minimum, else as the start of a second run. Where the check of an answer
// is coarse, the answer must also keep within the minimax bound; where
// neither run gives one that does, the minimax solution is the answer if
// its objective is within kMinimaxWithinLp of the minimum.
LpAttempt SolveLpFromBestStart(const WeightedSystem& weighted, const LpRequest& request,
                               const LpNormProgress& progress)
{
    const int n = weighted.Abar.Rows();
    const double p = request.normFactor;
    const bool minimaxAttains = MinimaxWithin(n, p, kChebyshevAttainsLp);
    // Where the minimax solution attains the minimum, the first-order
    // condition tells nothing: psi is 0 but for the largest residuals.
    LpAttempt first;
    bool firstNeedsBound = false;
    if (!minimaxAttains) {
        first = SolveLpChecked(weighted, request, progress, nullptr, request.maxPasses);
        firstNeedsBound = NeedsMinimaxBound(weighted, first, p);
        const bool ended = first.Reached() || first.solution.status == kLpNormNotFinite ||
                           first.solution.passes >= request.maxPasses;
        if (ended && !firstNeedsBound)
            return first;
    }
    LpAttempt minimax;
    const ChebyshevSolution chebyshev = SolveChebyshev(weighted.Abar, weighted.lbar, minimax.x, minimax.v);
    if (chebyshev.status == kChebyshevOutOfMemory)
        throw std::bad_alloc();
    if (chebyshev.status != kChebyshevOptimal && !minimaxAttains) {
        if (firstNeedsBound && first.check.optimality == Optimality::kProved)
            first.check = ApproximateCheck();
        return first;
    }
    if (minimaxAttains) {
        if (chebyshev.status != kChebyshevOptimal) {
            minimax.check = FailedCheck(kStringNotOptimal);
            minimax.solution.status = kLpNormNoConvergence;
        }
        minimax.solution.passes = 1;
        return minimax;
    }
    if (firstNeedsBound) {
        HoldAgainstMinimax(first, chebyshev.maxResidual, n, p);
        if (first.Reached() || first.solution.passes >= request.maxPasses)
            return first;
    }
    const int before = first.solution.passes; // the second run's passes count on from the first's
    const LpNormProgress counting = [&progress, before](int pass, const std::vector<double>& x) {
        if (progress)
            progress(before + pass, x);
    };
    LpAttempt second = SolveLpChecked(weighted, request, counting, &minimax.x, request.maxPasses - before);
    second.solution.passes += first.solution.passes;
    if (NeedsMinimaxBound(weighted, second, p))
        HoldAgainstMinimax(second, chebyshev.maxResidual, n, p);
    if (!second.Reached() && MinimaxWithin(n, p, kMinimaxWithinLp)) {
        minimax.solution.passes = second.solution.passes;
        return minimax;
    }
    return second.Reached() || first.check.Failed() ? second : first;
}

RunEnd LpRunEnd(const LpNormSolution& solution, int result, int maxPasses)
{
    switch (result) {
    case NORMEX_SUCCESS:
        return RunEnd::kOptimum;
    case NORMEX_NOT_FINITE:
        return RunEnd::kNotFinite;
    default:
        return solution.passes >= maxPasses ? RunEnd::kPassLimit : RunEnd::kShortOfOptimum;
    }
}

// The Lp minimiser of the weighted system Abar x ~ lbar, whose residuals are
// sqrt(p_i) v_i; the report of the engine's code 0 with the pass count.
void SolveLpReport(const LpRequest& request, Problem& problem, IStatusWindow* status, LpOutcome& outcome)
{
    ReportFile report;
    if (!report.Open(request.outputFile, request.reportDurability))
        return ReportFailed(report, outcome);
    if (status != nullptr)
        status->Show();
    WriteReportHead(report, problem.A, problem.l, problem.weights, kMethodLpNorm, 0.0, request.normFactor);

    const WeightedSystem weighted = FormWeightedSystem(problem.A, problem.l, problem.weights);
    Matrix x;
    Matrix v;
    // The unknowns the last pass started from, for its largest change.
    Matrix lastStart(0, 0, 0.0);
    const LpNormProgress progress = [status, &lastStart](int pass, const std::vector<double>& start) {
        if (status != nullptr)
            status->SetText(PassText(pass));
        lastStart = Matrix(static_cast<int>(start.size()), 1, 0.0);
        std::copy(start.begin(), start.end(), lastStart.Data());
    };
    LpAttempt attempt = SolveLpFromBestStart(weighted, request, progress);
    const LpNormSolution solution = attempt.solution;
    x = std::move(attempt.x);
    v = std::move(attempt.v);
    UnweightResiduals(v, problem.weights);

    WriteReportResults(report, kMethodLpNorm, solution.passes, x, problem.l, v);
    const bool written = report.Close();
    if (status != nullptr)
        status->Hide();
    if (!written)
        return ReportFailed(report, outcome);
    outcome.result = LpResult(solution, attempt.check, x, problem.l, v);
    const bool changed = lastStart.Rows() == x.Rows() && x.Rows() > 0;
    const double change = changed ? LargestChange(x, lastStart) : 0.0;
    outcome.results = LibraryResults(request, problem, weighted, std::move(x), std::move(v),
                                     LpRunEnd(solution, outcome.result, request.maxPasses));
    outcome.results.check = attempt.check;
    outcome.results.passes = solution.passes;
    if (changed)
        outcome.results.largestChange = change;
}

// The minimax solution of the weighted system (core/weighted_system.h),
// whose residuals are sqrt(p_i) v_i; the corrections are those divided back
// by sqrt(p_i).
void SolveChebyshevReport(const LpRequest& request, Problem& problem, LpOutcome& outcome)
{
    ReportFile report;
    if (!report.Open(request.outputFile, request.reportDurability))
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
    const bool optimal = solution.status == kChebyshevOptimal;
    const bool finite = ResultsAreFinite(x, problem.l, v);
    const RunEnd end = !finite ? RunEnd::kNotFinite : optimal ? RunEnd::kOptimum : RunEnd::kShortOfOptimum;
    if (end == RunEnd::kNotFinite)
        outcome.result = NORMEX_NOT_FINITE;
    else
        outcome.result = optimal ? NORMEX_SUCCESS : NORMEX_NO_CONVERGENCE;
    outcome.results = LibraryResults(request, problem, weighted, std::move(x), std::move(v), end);
    if (!optimal || !finite)
        outcome.results.check.optimality = Optimality::kFailed;
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
    outcome.messageId = ReadInputFileWeightVector(request.inputFile, problem.A, problem.l, problem.weights, nullptr,
                                                  request.designPieceReport, &outcome.inputPlace);
    if (outcome.messageId != 0) {
        outcome.result = ReaderFailure(outcome.messageId);
        return outcome;
    }
    if (!SizesMatch(request, problem.A)) {
        outcome.result = NORMEX_SIZE_MISMATCH;
        return outcome;
    }
    if (TooFewObservations(problem.A.Rows(), problem.A.Columns())) {
        outcome.result = NORMEX_TOO_FEW_OBSERVATIONS;
        return outcome;
    }
    RequireRunMemory(request.normFactor == 1.0 ? kMethodL1 : kMethodLpNorm, request.normFactor, problem.A.Rows(),
                     problem.A.Columns());
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
