#include "cli/cli_runner.h"

#include "cli/plot_export.h"
#include "core/estimator.h"
#include "core/file_path.h"
#include "core/number_text.h"
#include "core/output_file.h"
#include "core/residual_scale.h"
#include "core/results_text.h"
#include "core/report.h"
#include "core/solution_check.h"
#include "io/input_file.h"
#include "normex/lp_solution.h"
#include "normex/normex.h"
#include "res/string_table.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const char* kStandardInputFile = "/dev/stdin";

// Warnings about design pieces that are no number and text after a weight:
// the first few one by one, the rest counted, so that a broken file does not flood the terminal.
constexpr long long kPieceWarningsShown = 10;
constexpr std::size_t kPieceShownLength = 24;

void Message(const std::string& text)
{
    std::fprintf(stderr, "tolvar-cli: %s\n", text.c_str());
}

// The name the reader opens: "-" is standard input.
std::string InputFileToRead(const CliOptions& options)
{
    return options.inputFile == kStandardStreamName ? kStandardInputFile : options.inputFile;
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
                    (restSeen ? " weitere Werte sind keine Zahl oder stehen nach dem Gewicht"
                              : " weitere Werte der Designmatrix sind keine Zahl"));
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
        restSeen = restSeen || piece.afterWeight;
        if (++count > kPieceWarningsShown)
            return;
        const std::string place =
            file + ": " + PlaceText({piece.line, piece.position}) +
            ": \"" + ShownPiece(piece.piece) + "\" ";
        Message(place + (piece.afterWeight ? "nach dem Gewicht wird nicht gelesen"
                                           : "ist keine Zahl, gelesen als " + FormatGeneral(piece.value)));
    }

    std::string file;
    long long count = 0;
    bool restSeen = false; // text after a weight among the pieces
};

// Reader ids mean a rejected input (exit 2), except running out of memory.
// The place of the fault, when the reader found one, follows the message.
int InputFailure(const CliOptions& options, int messageId, const InputPlace& place)
{
    const std::string where = PlaceText(place);
    Message(options.inputFile + ": " + LoadString(messageId) + (where.empty() ? "" : " (" + where + ")"));
    return messageId == kStringOutOfMemory ? kExitComputation : kExitUsage;
}

// An output that could not be written, with the system's reason when its
// file failed.
int OutputFailure(const std::string& file, const OutputError& error)
{
    if (error)
        Message(FormatFileError(error.MessageId(), file, error.number));
    else
        Message(FormatString(kStringFileOpenError, file));
    return kExitComputation;
}

// 117; with the first value of the input that is not finite, when there is
// one, else with the check's cause where the check failed the run or the
// normal equations were singular.
int NotFinite(const CliOptions& options, const InputPlace& input, const AdjustmentResults& results)
{
    const std::string where = PlaceText(input);
    const SolutionCheck& check = results.check;
    const bool finite = ResultsAreFinite(results.unknowns, results.observed, results.corrections);
    std::string text = options.outputFile + ": " + LoadString(kStringComputeError);
    if (!where.empty())
        text.append(" (").append(options.inputFile).append(", ").append(where).append(")");
    else if (check.causeId == kStringSingularNormals || (finite && check.Failed()))
        text.append(" ").append(CheckCauseText(check));
    Message(text);
    return kExitComputation;
}

// A success whose check warns says so on standard error.
void WarnAboutCheck(const CliOptions& options, const SolutionCheck& check)
{
    if (check.Warns())
        Message(options.outputFile + ": " + CheckCauseText(check));
}

int RefuseTooFewObservations(const CliOptions& options)
{
    Message(options.inputFile + ": " + LoadString(kStringTooFewObservations));
    return kExitComputation;
}

int SameFile(const std::string& first, const std::string& second, const std::string& what)
{
    Message(first + ", " + second + ": " + what);
    return kExitUsage;
}

OutputDurability DurabilityOf(const CliOptions& options)
{
    return options.sync ? OutputDurability::kSynced : OutputDurability::kRenamed;
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
    if (!options.resultsFile.empty())
        outputs.push_back({options.resultsFile, "Ergebnisse"});
    return outputs;
}

// Whether an output would replace or cut the file of the other name; two
// streams (a terminal, a pipe) may well share their place.
bool Clashes(const std::string& other, const std::string& output)
{
    struct stat status {};
    return IsSameFile(other, output) && (stat(output.c_str(), &status) != 0 || S_ISREG(status.st_mode));
}

// No output may replace the input or another output: checked by name
// before anything is read or written.
int CheckFilesDiffer(const CliOptions& options)
{
    const std::string input = InputFileToRead(options);
    const std::vector<NamedOutput> outputs = OutputsOf(options);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const std::string written = OutputFileToWrite(outputs[i].file);
        if (Clashes(input, written))
            return SameFile(options.inputFile, outputs[i].file, LoadString(kStringSameFile));
        for (std::size_t k = 0; k < i; ++k)
            if (Clashes(OutputFileToWrite(outputs[k].file), written))
                return SameFile(outputs[k].file, outputs[i].file,
                                std::string(outputs[k].what) + " und " + outputs[i].what + " sind dieselbe Datei!");
    }
    return kExitSuccess;
}

int SavePlot(const CliOptions& options, const Matrix& corrections, int exitCode)
{
    if (options.plotFile.empty())
        return exitCode;
    const std::string path = OutputFileToWrite(options.plotFile);
    std::string error;
    if (ExportResidualPlot(corrections, path, PlotFormatOfOutput(options.plotFile), error))
        return exitCode;
    // A message about the file names it already.
    Message(error.find(path) == std::string::npos ? options.plotFile + ": " + error : error);
    return kExitComputation;
}

// The results file and the summary carry the tests of the observations.
bool WantsTests(const CliOptions& options)
{
    return !options.resultsFile.empty() || options.summary;
}

// Writes the results file the options name, if any. On failure says so
// and returns kExitComputation, else exitCode.
int SaveResults(const CliOptions& options, const AdjustmentResults& results, int exitCode)
{
    if (options.resultsFile.empty())
        return exitCode;
    OutputFile file;
    if (file.Open(OutputFileToWrite(options.resultsFile), DurabilityOf(options))) {
        WriteResults(results, *ResultsFormatOfOutput(options.resultsFile),
                     [&file](std::string_view piece) { file.Write(piece); });
        if (file.Commit())
            return exitCode;
    }
    return OutputFailure(options.resultsFile, file.Error());
}

// The results file and the summary of a run whose report was written;
// exitCode is the run's own. Only a run that succeeded is tested.
int ShowResults(const CliOptions& options, AdjustmentResults& results, int exitCode)
{
    if (WantsTests(options))
        results.tests = TestObservations(results, options.tests, exitCode == kExitSuccess);
    exitCode = SaveResults(options, results, exitCode);
    if (options.summary)
        PutStandardOutput(ResultsSummary(results));
    return exitCode;
}

// The same and the plot.
int FinishRun(const CliOptions& options, AdjustmentResults& results, int exitCode)
{
    return SavePlot(options, results.corrections, ShowResults(options, results, exitCode));
}

std::string NoConvergenceReason(const CliOptions& options, const LpOutcome& outcome)
{
    if (outcome.results.check.Failed() && outcome.results.end != RunEnd::kPassLimit)
        return std::string(" ").append(CheckCauseText(outcome.results.check));
    if (options.normFactor == kChebyshevNormFactor)
        return " (Tschebycheff-Simplex ohne Optimum beendet)";
    return " (Lp-Norm-L\u00f6sung nach " + std::to_string(outcome.results.passes.value_or(0)) +
           " Iterationen nicht konvergiert)";
}

int RunLpLibraryWay(const CliOptions& options, IStatusWindow* status)
{
    PieceWarnings warnings(options.inputFile);
    LpRequest request;
    request.inputFile = InputFileToRead(options);
    request.outputFile = OutputFileToWrite(options.outputFile);
    request.reportDurability = DurabilityOf(options);
    request.normFactor = options.normFactor;
    request.maxPasses = options.maxPasses;
    request.designPieceReport = warnings.Report();
    request.testShares = WantsTests(options);
    LpOutcome outcome = RunLpSolution(request, status);
    switch (outcome.result) {
    case NORMEX_SUCCESS:
        WarnAboutCheck(options, outcome.results.check);
        return FinishRun(options, outcome.results, kExitSuccess);
    case NORMEX_NOT_FINITE:
        FinishRun(options, outcome.results, kExitComputation);
        return NotFinite(options, outcome.inputPlace, outcome.results);
    case NORMEX_NO_CONVERGENCE:
        ShowResults(options, outcome.results, kExitComputation);
        Message(options.outputFile + ": " + LoadString(kStringComputeError) + NoConvergenceReason(options, outcome));
        return kExitComputation;
    case NORMEX_TOO_FEW_OBSERVATIONS:
        return RefuseTooFewObservations(options);
    case NORMEX_BAD_NORM_FACTOR:
        Message(std::string("-p: ") + LoadString(kStringNormFactorBelowOne));
        return kExitUsage;
    case NORMEX_SAME_FILE:
        return SameFile(options.inputFile, options.outputFile, LoadString(kStringSameFile));
    case NORMEX_INPUT_NOT_OPENED:
    case NORMEX_INPUT_REJECTED:
        return InputFailure(options, outcome.messageId, outcome.inputPlace);
    case NORMEX_OUT_OF_MEMORY:
        Message(LoadString(kStringOutOfMemory));
        return kExitComputation;
    default:
        return OutputFailure(options.outputFile, outcome.reportError);
    }
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
                FormatShortest(s) + "; mit einer festen Tuning-Konstante (-c) rechnen.");
        return std::nullopt;
    }
    const TuningScale scale{options.tuningConstant, s};
    Message("--scale mad: s = " + FormatShortest(s) + ", c = " + FormatShortest(options.tuningConstant) +
            ", Tuning-Konstante c \u00b7 s = " + FormatShortest(options.tuningConstant * s));
    return scale;
}

// --scale mad-each-pass: the last s on standard error, and why the run
// ended when the stop criterion did not end it.
void SayScaleEachPass(const AdjustmentResults& results)
{
    const std::string prefix = "--scale mad-each-pass: ";
    const TuningScale& scale = *results.tuningScale;
    const int passes = results.passes.value_or(0);
    if (results.end == RunEnd::kScaleZero) {
        Message(prefix + "Die robuste Streuung s der Residuen ist nach Iteration " + std::to_string(passes) +
                " gleich 0, mehr als die H\u00e4lfte der Residuen ist genau 0; das Protokoll zeigt die L\u00f6sung "
                "dieser Iteration.");
        return;
    }
    std::string text = prefix + "zuletzt s = " + FormatShortest(scale.scale) + ", c = " +
                       FormatShortest(scale.givenConstant) + ", Tuning-Konstante c \u00b7 s = " +
                       FormatShortest(scale.givenConstant * scale.scale);
    if (results.end == RunEnd::kPassLimit)
        text += "; nach " + std::to_string(passes) + " Iterationen nicht konvergiert";
    if (results.end == RunEnd::kPassLimit && results.largestChange.has_value())
        text += " (gr\u00f6\u00dfte \u00c4nderung " + FormatShortest(*results.largestChange) + ")";
    Message(text);
}

int RunEngineWay(const CliOptions& options, IStatusWindow* status)
{
    Matrix A;
    Matrix l;
    Matrix weights;
    int messageId = 0;
    InputPlace place;
    {
        PieceWarnings warnings(options.inputFile);
        messageId =
            ReadInputFileWeightVector(InputFileToRead(options), A, l, weights, nullptr, warnings.Report(), &place);
    }
    if (messageId != 0)
        return InputFailure(options, messageId, place);
    if (TooFewObservations(A.Rows(), A.Columns())) // before the scale's least squares
        return RefuseTooFewObservations(options);
    std::optional<TuningScale> scale;
    if (options.scale == ScaleRule::kLeastSquares) {
        scale = ScaleTuningConstant(options, A, l, weights);
        if (!scale.has_value())
            return kExitComputation;
    }
    CEstimator engine(status);
    engine.SetOutputFile(OutputFileToWrite(options.outputFile), DurabilityOf(options));
    engine.TuningConstant = scale.has_value() ? scale->givenConstant * scale->scale : options.tuningConstant;
    engine.ScaleEachPass = options.scale == ScaleRule::kEachPass;
    engine.KeepTestShares = WantsTests(options);
    const int result = engine.RunWithWeightVector(std::move(A), std::move(l), std::move(weights),
                                                  options.methodCode, options.normFactor, options.maxPasses,
                                                  options.stopCriterion);
    if (result == kRunNoReport)
        return OutputFailure(options.outputFile, engine.ReportError());
    if (result == kRunTooFewObservations)
        return RefuseTooFewObservations(options);
    AdjustmentResults results = engine.TakeResults();
    if (scale.has_value())
        results.tuningScale = scale;
    if (engine.ScaleEachPass)
        SayScaleEachPass(results);
    if (result != kRunSuccess) {
        FinishRun(options, results, kExitComputation);
        return NotFinite(options, place, results);
    }
    WarnAboutCheck(options, results.check);
    return FinishRun(options, results, kExitSuccess);
}

} // namespace

namespace {

int standardOutputError = 0; // the errno of the first write to standard output that failed

void KeepStandardOutputError()
{
    if (standardOutputError == 0)
        standardOutputError = errno != 0 ? errno : EIO;
}

} // namespace

void PutStandardOutput(const std::string& text)
{
    if (std::fputs(text.c_str(), stdout) == EOF)
        KeepStandardOutputError();
}

int FinishStandardOutput(int exitCode)
{
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0)
        KeepStandardOutputError();
    if (std::fclose(stdout) != 0)
        KeepStandardOutputError();
    if (standardOutputError == 0)
        return exitCode;
    Message("Fehler beim Schreiben der Standardausgabe: " + SystemErrorText(standardOutputError));
    return exitCode == kExitSuccess ? kExitComputation : exitCode;
}

int RunCli(const CliOptions& options, IStatusWindow* status)
{
    if (const int clash = CheckFilesDiffer(options))
        return clash;
    if (!options.plotFile.empty() && !PlotExportAvailable()) {
        std::string error;
        ExportResidualPlot(Matrix(), options.plotFile, PlotFormatOfOutput(options.plotFile), error);
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
