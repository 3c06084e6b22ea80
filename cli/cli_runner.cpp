#include "cli/cli_runner.h"

#include "cli/plot_export.h"
#include "core/estimator.h"
#include "core/file_path.h"
#include "core/number_text.h"
#include "io/input_file.h"
#include "normex/lp_solution.h"
#include "normex/normex.h"
#include "res/string_table.h"

#include <cstdio>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {

// The name that stands for standard input.
constexpr const char* kStandardInputName = "-";
constexpr const char* kStandardInputFile = "/dev/stdin";

// Warnings about design pieces that are no number: the first few one by
// one, the rest counted, so that a broken file does not flood the terminal.
constexpr long long kPieceWarningsShown = 10;
constexpr std::size_t kPieceShownLength = 24;

void Message(const std::string& text)
{
    std::fprintf(stderr, "tolvar-cli: %s\n", text.c_str());
}

void FileMessage(const std::string& file, int id)
{
    Message(file + ": " + LoadString(id));
}

// The name the reader opens: "-" is standard input.
std::string InputFileToRead(const CliOptions& options)
{
    return options.inputFile == kStandardInputName ? kStandardInputFile : options.inputFile;
}

// The piece as a terminal shows it: cut when long, control bytes visible.
std::string ShownPiece(std::string_view piece)
{
    std::string shown;
    for (char c : piece.substr(0, kPieceShownLength)) {
        if (c == '\t')
            shown += "\\t";
        else
            shown += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
    }
    return piece.size() > kPieceShownLength ? shown + "..." : shown;
}

class PieceWarnings {
public:
    explicit PieceWarnings(const std::string& file) : file(file) {}
    ~PieceWarnings()
    {
        if (count > kPieceWarningsShown)
            Message(file + ": " + std::to_string(count - kPieceWarningsShown) +
                    " weitere Werte der Designmatrix sind keine Zahl");
    }
    PieceWarnings(const PieceWarnings&) = delete;
    PieceWarnings& operator=(const PieceWarnings&) = delete;

    DesignPieceReport Report()
    {
        return [this](const DesignPieceNotANumber& piece) { Warn(piece); };
    }

private:
    void Warn(const DesignPieceNotANumber& piece)
    {
        if (++count > kPieceWarningsShown)
            return;
        Message(file + ": Zeile " + std::to_string(piece.line) + ", Stelle " + std::to_string(piece.position) +
                ": \"" + ShownPiece(piece.piece) + "\" ist keine Zahl, gelesen als " + FormatGeneral(piece.value));
    }

    std::string file;
    long long count = 0;
};

// Reader ids mean a rejected input (exit 2), except running out of memory.
int InputFailure(const CliOptions& options, int messageId)
{
    FileMessage(options.inputFile, messageId);
    return messageId == kStringOutOfMemory ? kExitComputation : kExitUsage;
}

int OutputFailure(const CliOptions& options, const OutputError& error)
{
    if (error)
        Message(FormatFileError(error.MessageId(), options.outputFile, error.number));
    else
        Message(FormatString(kStringFileOpenError, options.outputFile));
    return kExitComputation;
}

int NotFinite(const CliOptions& options)
{
    FileMessage(options.outputFile, kStringComputeError);
    return kExitComputation;
}

int SameFile(const std::string& first, const std::string& second, const std::string& what)
{
    Message(first + ", " + second + ": " + what);
    return kExitUsage;
}

// Every file the run writes, with what it holds.
struct NamedOutput {
    const std::string& file;
    const char* what;
};

std::vector<NamedOutput> OutputsOf(const CliOptions& options)
{
    std::vector<NamedOutput> outputs{{options.outputFile, "Protokoll"}};
    if (!options.plotFile.empty())
        outputs.push_back({options.plotFile, "Grafik"});
    return outputs;
}

// No output may replace the input or another output: checked by name
// before anything is read or written.
int CheckFilesDiffer(const CliOptions& options)
{
    const std::string input = InputFileToRead(options);
    const std::vector<NamedOutput> outputs = OutputsOf(options);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (IsSameFile(input, outputs[i].file))
            return SameFile(options.inputFile, outputs[i].file, LoadString(kStringSameFile));
        for (std::size_t k = 0; k < i; ++k)
            if (IsSameFile(outputs[k].file, outputs[i].file))
                return SameFile(outputs[k].file, outputs[i].file,
                                std::string(outputs[k].what) + " und " + outputs[i].what + " sind dieselbe Datei!");
    }
    return kExitSuccess;
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
    return " (Lp-Norm-L\u00f6sung nach " + std::to_string(outcome.passes) + " Iterationen nicht konvergiert)";
}

int RunLpLibraryWay(const CliOptions& options, IStatusWindow* status)
{
    PieceWarnings warnings(options.inputFile);
    LpRequest request;
    request.inputFile = InputFileToRead(options);
    request.outputFile = options.outputFile;
    request.normFactor = options.normFactor;
    request.maxPasses = options.maxPasses;
    request.designPieceReport = warnings.Report();
    const LpOutcome outcome = RunLpSolution(request, status);
    switch (outcome.result) {
    case NORMEX_SUCCESS:
        return SavePlot(options, outcome.corrections, kExitSuccess);
    case NORMEX_NOT_FINITE:
        SavePlot(options, outcome.corrections, kExitComputation);
        return NotFinite(options);
    case NORMEX_NO_CONVERGENCE:
        Message(options.outputFile + ": " + LoadString(kStringComputeError) + NoConvergenceReason(options, outcome));
        return kExitComputation;
    case NORMEX_BAD_NORM_FACTOR:
        Message(std::string("-p: ") + LoadString(kStringNormFactorBelowOne));
        return kExitUsage;
    case NORMEX_SAME_FILE:
        return SameFile(options.inputFile, options.outputFile, LoadString(kStringSameFile));
    case NORMEX_INPUT_NOT_OPENED:
    case NORMEX_INPUT_REJECTED:
        return InputFailure(options, outcome.messageId);
    case NORMEX_OUT_OF_MEMORY:
        Message(LoadString(kStringOutOfMemory));
        return kExitComputation;
    default:
        return OutputFailure(options, outcome.reportError);
    }
}

int RunEngineWay(const CliOptions& options, IStatusWindow* status)
{
    Matrix A;
    Matrix l;
    Matrix weights;
    int messageId = 0;
    {
        PieceWarnings warnings(options.inputFile);
        messageId = ReadInputFileWeightVector(InputFileToRead(options), A, l, weights, warnings.Report());
    }
    if (messageId != 0)
        return InputFailure(options, messageId);
    CEstimator engine(status);
    engine.SetOutputFile(options.outputFile);
    engine.TuningConstant = options.tuningConstant;
    const int result = engine.RunWithWeightVector(std::move(A), std::move(l), std::move(weights),
                                                  options.methodCode, options.normFactor, options.maxPasses,
                                                  options.stopCriterion);
    if (result == kRunNoReport)
        return OutputFailure(options, engine.ReportError());
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
    if (const int clash = CheckFilesDiffer(options))
        return clash;
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
