// tolvar-cli: the estimation engine and its report without a window.

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "cli/console_status.h"
#include "core/output_file.h"
#include "io/input_source.h"

#include <cstdio>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    CliOptions options;
    std::string error;
    switch (ParseArguments(argc, argv, options, error)) {
    case CliAction::kHelp:
        std::fputs(UsageText().c_str(), stdout);
        return kExitSuccess;
    case CliAction::kVersion:
        std::printf("tolvar-cli %s\n", TOLVAR_VERSION);
        return kExitSuccess;
    case CliAction::kUsageError:
        std::fprintf(stderr, "tolvar-cli: %s (Hilfe: tolvar-cli --help)\n", error.c_str());
        return kExitUsage;
    case CliAction::kRun:
        break;
    }
    // Ctrl+C or a kill during a long run leaves no half-written file.
    RemoveTemporaryFilesOnSignals();
    AllowMappedInput();
    // Progress only for a person watching a terminal.
    CConsoleStatus status(stderr, !options.quiet && isatty(fileno(stderr)) != 0);
    const int exitCode = RunCli(options, &status);
    status.Hide();
    return exitCode;
}
