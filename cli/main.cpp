// tolvar-cli: the estimation engine and its report without a window.

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "cli/console_status.h"
#include "core/output_file.h"
#include "io/input_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

// A standard descriptor the caller closed (">&-") is held by /dev/null
// opened for reading: no file of the run takes its number, and writing to
// it fails as writing to the closed one would.
void HoldClosedStandardDescriptors()
{
    for (int standard = 0; standard <= 2; ++standard)
        if (fcntl(standard, F_GETFD) < 0 && errno == EBADF)
            open("/dev/null", O_RDONLY); // the lowest free number: this one
}

int Run(int argc, char** argv)
{
    CliOptions options;
    std::string error;
    switch (ParseArguments(argc, argv, options, error)) {
    case CliAction::kHelp:
        PutStandardOutput(UsageText());
        return kExitSuccess;
    case CliAction::kVersion:
        PutStandardOutput(std::string("tolvar-cli ") + TOLVAR_VERSION + "\n");
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

} // namespace

int main(int argc, char** argv)
{
    HoldClosedStandardDescriptors();
    return FinishStandardOutput(Run(argc, argv));
}
