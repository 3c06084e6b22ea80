#pragma once

#include <string>

// What the command line asks for, after its arguments were checked.
struct CliOptions {
    // "lp" (the Lp library's way) or one of the engine's methods.
    bool lpLibrary = false;
    int methodCode = 6; // Huber
    double tuningConstant = 1.5;
    bool tuningGiven = false;
    double normFactor = 0.0;
    bool normGiven = false;
    int maxPasses = 1000;
    double stopCriterion = 1e-5;
    bool quiet = false;
    std::string plotFile; // empty: no plot
    std::string inputFile;
    std::string outputFile;
};

enum class CliAction { kRun, kHelp, kVersion, kUsageError };

// Checks the arguments like the dialogs check their fields: the tuning
// constant a number from 0 to 100000000, the norm factor a number, the
// pass limit an integer, the stop criterion a number. On kUsageError,
// error holds one German line.
CliAction ParseArguments(int argc, const char* const* argv, CliOptions& options, std::string& error);

// The text of --help.
std::string UsageText();
