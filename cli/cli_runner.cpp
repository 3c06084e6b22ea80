#include "cli/cli_runner.h"

#include "cli/plot_export.h"
#include "core/estimator.h"
#include "core/number_text.h"
#include "core/residual_scale.h"
#include "core/results_text.h"
#include "io/input_file.h"
#include "normex/lp_solution.h"
#include "normex/normex.h"
#include "res/string_table.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <utility>

namespace {

void Message(const std::string& text)
{
    std::fprintf(stderr, "tolvar-cli: %s\n", text.c_str());
}

void FileMessage(const std::string& file, int id)
{
    Message(file + ": " + LoadString(id));
}

// Reader ids mean a rejected input (exit 2), except running out of memory.
int InputFailure(const CliOptions& options, int messageId)
{
    FileMessage(options.inputFile, messageId);
    return messageId == kStringOutOfMemory ? kExitComputation : kExitUsage;
}

int OutputFailure(const CliOptions& options)
{
    Message(FormatString(kStringFileOpenError, options.outputFile));
    return kExitComputation;
}

int NotFinite(const CliOptions& options)
{
    FileMessage(options.outputFile, kStringComputeError);
    return kExitComputation;
}

int SavePlot(const CliOptions& options, const Matrix& corrections, int exitCode)
{
    if (options.plotFile.empty())
        return exitCode;
    std::string error;
    if (ExportResidualPlot(corrections, options.plotFile, error))
        return exitCode;
    Message(options.plotFile + ": " + error);
    return kExitComputation;
}

// Whether two names denote one file: the same device and inode where both
// exist, else the same path once made absolute and normal.
bool SameFile(const std::string& first, const std::string& second)
{
    struct stat a {};
    struct stat b {};
    if (stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0)
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    std::error_code firstError;
    std::error_code secondError;
    const std::filesystem::path firstPath = std::filesystem::weakly_canonical(first, firstError);
    const std::filesystem::path secondPath = std::filesystem::weakly_canonical(second, secondError);
    if (firstError || secondError)
        return first == second;
    return firstPath == secondPath;
}

// Writes the results file the options name, if any. On failure says so
// and returns kExitComputation, else exitCode.
int SaveResults(const CliOptions& options, const AdjustmentResults& results, int exitCode)
{
    if (options.resultsFile.empty())
        return exitCode;
    std::FILE* file = std::fopen(options.resultsFile.c_str(), "wb");
    if (file == nullptr) {
        const int reason = errno;
        Message(FormatString(kStringFileOpenError, options.resultsFile) + " (" + SystemErrorText(reason) + ")");
        return kExitComputation;
    }
    int error = 0;
    WriteResults(results, *ResultsFormatOf(options.resultsFile), [file, &error](std::string_view piece) {
        if (error == 0 && std::fwrite(piece.data(), 1, piece.size(), file) != piece.size())
            error = errno;
    });
    if (std::fclose(file) != 0 && error == 0)
        error = errno;
    if (error == 0)
        return exitCode;
    Message(options.resultsFile + ": Fehler beim Schreiben (" + SystemErrorText(error) + ")");
    return kExitComputation;
}

// The results file and the summary of a run whose report was written;
// exitCode is the run's own.
int ShowResults(const CliOptions& options, const AdjustmentResults& results, int exitCode)
{
    exitCode = SaveResults(options, results, exitCode);
    if (options.summary)
        std::fputs(ResultsSummary(results).c_str(), stdout);
    return exitCode;
}

// The same and the plot.
int FinishRun(const CliOptions& options, const AdjustmentResults& results, int exitCode)
{
    return SavePlot(options, results.corrections, ShowResults(options, results, exitCode));
}

std::string NoConvergenceReason(const CliOptions& options, const LpOutcome& outcome)
{
    if (options.normFactor == kChebyshevNormFactor)
        return " (Tschebycheff-Simplex ohne Optimum beendet)";
    return " (Lp-Norm-L\u00f6sung nach " + std::to_string(outcome.results.passes.value_or(0)) +
           " Iterationen nicht konvergiert)";
}

int RunLpLibraryWay(const CliOptions& options, IStatusWindow* status)
{
    LpRequest request;
    request.inputFile = options.inputFile;
    request.outputFile = options.outputFile;
    request.normFactor = options.normFactor;
    request.maxPasses = options.maxPasses;
    const LpOutcome outcome = RunLpSolution(request, status);
    switch (outcome.result) {
    case NORMEX_SUCCESS:
        return FinishRun(options, outcome.results, kExitSuccess);
    case NORMEX_NOT_FINITE:
        FinishRun(options, outcome.results, kExitComputation);
        return NotFinite(options);
    case NORMEX_NO_CONVERGENCE:
        ShowResults(options, outcome.results, kExitComputation);
        Message(options.outputFile + ": " + LoadString(kStringComputeError) + NoConvergenceReason(options, outcome));
        return kExitComputation;
    case NORMEX_BAD_NORM_FACTOR:
        Message(std::string("-p: ") + LoadString(kStringNormFactorBelowOne));
        return kExitUsage;
    case NORMEX_INPUT_NOT_OPENED:
    case NORMEX_INPUT_REJECTED:
        return InputFailure(options, outcome.messageId);
    case NORMEX_OUT_OF_MEMORY:
        Message(LoadString(kStringOutOfMemory));
        return kExitComputation;
    default:
        return OutputFailure(options);
    }
}

std::string Shortest(double value)
{
    std::string text;
    AppendShortest(text, value);
    return text;
}

// --scale mad: c times the MAD scale s of the least-squares residuals of
// the weighted system, said on standard error in the shortest form that
// -c reads back exactly. None when s is 0 or not finite (said too).
std::optional<TuningScale> ScaleTuningConstant(const CliOptions& options, const Matrix& A, const Matrix& l,
                                               const Matrix& weights)
{
    const double s = LeastSquaresMadScale(A, l, weights);
    if (!(s > 0.0) || !std::isfinite(s)) {
        Message(options.inputFile + ": --scale mad: Die robuste Streuung s der Residuen nach kleinsten Quadraten ist " +
                Shortest(s) + "; mit einer festen Tuning-Konstante (-c) rechnen.");
        return std::nullopt;
    }
    const TuningScale scale{options.tuningConstant, s};
    Message("--scale mad: s = " + Shortest(s) + ", c = " + Shortest(options.tuningConstant) +
            ", Tuning-Konstante c \u00b7 s = " + Shortest(options.tuningConstant * s));
    return scale;
}

int RunEngineWay(const CliOptions& options, IStatusWindow* status)
{
    Matrix A;
    Matrix l;
    Matrix weights;
    const int messageId = ReadInputFileWeightVector(options.inputFile, A, l, weights);
    if (messageId != 0)
        return InputFailure(options, messageId);
    std::optional<TuningScale> scale;
    if (options.scaleByMad) {
        scale = ScaleTuningConstant(options, A, l, weights);
        if (!scale.has_value())
            return kExitComputation;
    }
    CEstimator engine(status);
    engine.SetOutputFile(options.outputFile);
    engine.TuningConstant = scale.has_value() ? scale->givenConstant * scale->scale : options.tuningConstant;
    const int result = engine.RunWithWeightVector(std::move(A), std::move(l), std::move(weights),
                                                  options.methodCode, options.normFactor, options.maxPasses,
                                                  options.stopCriterion);
    if (result == kRunNoReport)
        return OutputFailure(options);
    AdjustmentResults results = engine.TakeResults();
    results.tuningScale = scale;
    if (result != kRunSuccess) {
        FinishRun(options, results, kExitComputation);
        return NotFinite(options);
    }
    return FinishRun(options, results, kExitSuccess);
}

} // namespace

int RunCli(const CliOptions& options, IStatusWindow* status)
{
    for (const std::string* other : {&options.inputFile, &options.outputFile, &options.plotFile}) {
        if (!options.resultsFile.empty() && !other->empty() && SameFile(options.resultsFile, *other)) {
            Message("--results: " + options.resultsFile +
                    " ist schon die Eingabe-, Ausgabe- oder Grafikdatei; eine eigene Datei angeben.");
            return kExitUsage;
        }
    }
    if (!options.plotFile.empty() && !PlotExportAvailable()) {
        std::string error;
        ExportResidualPlot(Matrix(), options.plotFile, error);
        Message("--plot: " + error);
        return kExitUsage;
    }
    try {
        return options.lpLibrary ? RunLpLibraryWay(options, status) : RunEngineWay(options, status);
    } catch (const std::bad_alloc&) {
        // The pass line may still be open on the terminal; the message gets its own line.
        if (status != nullptr)
            status->Hide();
        Message(LoadString(kStringOutOfMemory));
        return kExitComputation;
    }
}
