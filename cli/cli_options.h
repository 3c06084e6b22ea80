#pragma once

#include "core/adjustment_results.h"
#include "core/methods.h"
#include "core/observation_tests.h"
#include "core/results_text.h"
#include "plot/plot_format.h"

#include <optional>
#include <string>

// What the command line asks for, after its arguments were checked.
struct CliOptions {
    // "lp" (the Lp library's way) or one of the engine's methods.
    bool lpLibrary = false;
    int methodCode = kMethodHuber;
    double tuningConstant = kMethods[kMethodHuber].defaultTuningConstant;
    bool tuningGiven = false;
    double normFactor = 0.0;
    bool normGiven = false;
    int maxPasses = kDefaultMaxPasses;
    double stopCriterion = kDefaultStopCriterion;
    bool stopGiven = false;
    bool quiet = false;
    std::string plotFile;    // empty: no plot
    std::string resultsFile; // empty: no results file; else it ends in .json or .csv
    // --scale: the tuning constant times a MAD scale of the residuals, of
    // least squares ("mad") or of the pass before ("mad-each-pass").
    std::optional<ScaleRule> scale;
    bool summary = false;    // the short table on standard output
    TestSettings tests;      // --sigma0, --alpha, --power, --confidence
    bool sync = false;       // report and results on the disk before they replace older files
    std::string inputFile;
    std::string outputFile;
};

// "-" as a file name: standard input for the input, standard output for
// an output (a plot in PNG, results in JSON).
constexpr const char* kStandardStreamName = "-";

// The name an output is opened by: "/dev/stdout" for "-", written through
// the descriptor the shell gave.
std::string OutputFileToWrite(const std::string& name);
PlotFormat PlotFormatOfOutput(std::string_view name);
std::optional<ResultsFormat> ResultsFormatOfOutput(std::string_view name);

enum class CliAction { kRun, kHelp, kVersion, kUsageError };

// Checks the arguments like the dialogs check their fields: the tuning
// constant a number in the tuning dialog's range, the norm factor a number, the
// pass limit an integer, the stop criterion a number; the results file a
// name ending in .json or .csv, the scale "mad" or "mad-each-pass" for an
// M-estimator; sigma0 a number above 0, alpha, power and confidence numbers
// between 0 and 1. On
// kUsageError, error holds one German line.
CliAction ParseArguments(int argc, const char* const* argv, CliOptions& options, std::string& error);

// The text of --help.
std::string UsageText();
