#pragma once

#include "cli/cli_options.h"

#include <string>

class IStatusWindow;

// Exit status of tolvar-cli.
enum CliExit : int {
    kExitSuccess = 0,     // report written and every unknown finite
    kExitComputation = 1, // report not writable, solution not finite, out of memory, plot not saved
    kExitUsage = 2,       // arguments refused or input file rejected
};

// Text for standard output (help, version, summary). A write that fails
// keeps its errno for FinishStandardOutput: the stream's error flag alone
// does not say why.
void PutStandardOutput(const std::string& text);

// Writes what standard output still holds and closes it; a write that
// failed, now or before, is said with its reason and turns a successful
// exitCode into kExitComputation.
int FinishStandardOutput(int exitCode);

// Runs the computation the options ask for, writes the report and, when
// asked, the plot. Messages go to standard error, one line each, naming
// the file they concern.
int RunCli(const CliOptions& options, IStatusWindow* status);
