#include "cli/cli_runner.h"

#include "cli/plot_export.h"
#include "core/estimator.h"
#include "io/input_file.h"
#include "normex/lp_solution.h"
#include "normex/normex.h"
#include "res/string_table.h"

#include <cstdio>
#include <new>
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

std::string NoConvergenceReason(const CliOptions& options, const LpOutcome& outcome)
{
    if (options.normFactor == kChebyshevNormFactor)
        return " (Tschebycheff-Simplex ohne Optimum beendet)";
    return " (Lp-Norm-L\u00f6sung nach " + std::to_string(outcome.results.passes.value_or(0)) + " Iterationen nicht konvergiert)";
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
        return SavePlot(options, outcome.results.corrections, kExitSuccess);
    case NORMEX_NOT_FINITE:
        SavePlot(options, outcome.results.corrections, kExitComputation);
        return NotFinite(options);
    case NORMEX_NO_CONVERGENCE:
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

int RunEngineWay(const CliOptions& options, IStatusWindow* status)
{
    Matrix A;
    Matrix l;
    Matrix weights;
    const int messageId = ReadInputFileWeightVector(options.inputFile, A, l, weights);
    if (messageId != 0)
        return InputFailure(options, messageId);
    CEstimator engine(status);
    engine.SetOutputFile(options.outputFile);
    engine.TuningConstant = options.tuningConstant;
    const int result = engine.RunWithWeightVector(std::move(A), std::move(l), std::move(weights),
                                                  options.methodCode, options.normFactor, options.maxPasses,
                                                  options.stopCriterion);
    if (result == kRunNoReport)
        return OutputFailure(options);
    if (result != kRunSuccess) {
        SavePlot(options, engine.Corrections(), kExitComputation);
        return NotFinite(options);
    }
    return SavePlot(options, engine.Corrections(), kExitSuccess);
}

} // namespace

int RunCli(const CliOptions& options, IStatusWindow* status)
{
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
