#pragma once

#include "cli/cli_options.h"

class IStatusWindow;

// Exit status of tolvar-cli.
enum CliExit : int {
    kExitSuccess = 0,     // report written and every unknown finite
    kExitComputation = 1, // report not writable, solution not finite, out of memory, plot not saved
    kExitUsage = 2,       // arguments refused or input file rejected
};

// Runs the computation the options ask for, writes the report and, when
// asked, the plot. Messages go to standard error, one line each, naming
// the file they concern.
int RunCli(const CliOptions& options, IStatusWindow* status);
