// tolvar-cli run as a user runs it: a child process with its arguments,
// exit status, standard output and standard error.

#include "core/estimator.h"
#include "core/number_text.h"
#include "core/report.h"
#include "core/retrying_io.h"
#include "io/input_file.h"
#include "results_reader.h"
#include "normex/command_text.h"
#include "normex/normex.h"
#include "report_reader.h"
#include "res/string_table.h"
#include "scale_peer.h"
#include "stack_loss.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kCli = TOLVAR_BIN_DIR "/tolvar-cli";
using test_support::ExpectUnknowns;
using test_support::StackLossFixedPointOf;

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::vector<char*> ArgumentVector(std::vector<std::string>& args)
{
    std::vector<char*> argv{const_cast<char*>(kCli.c_str())};
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    return argv;
}

int ExitCodeOf(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The options followed by the input and the output file.
std::vector<std::string> WithFiles(std::vector<std::string> options, const std::string& in, const std::string& out)
{
    options.insert(options.end(), {in, out});
    return options;
}

// One run of every way: an M-estimator, the engine's L1, and the Lp
// library's minimax and Lp solutions.
const std::vector<std::vector<std::string>> kEveryWay = {
    {"-m", "huber"}, {"-m", "l1"}, {"-m", "lp", "-p", "25"}, {"-m", "lp", "-p", "3"}};

// What the child process gets besides its arguments.
struct ChildSetup {
    std::string standardInput = "/dev/null"; // a file for standard input
    // Bytes sent through a pipe that the child reads as descriptor pipeFd
    // (0: standard input, as for "cat in | tolvar-cli -"; 3: "/dev/fd/3",
    // as a process substitution names it).
    const std::string* pipeBytes = nullptr;
    int pipeFd = 0;
    rlim_t fileSizeLimit = RLIM_INFINITY; // beyond it a write fails (EFBIG)
    rlim_t memoryLimit = RLIM_INFINITY;   // the address space the child may use
    std::string standardOutput{};         // empty: stdout.txt in the folder
    bool appendOutput = false;            // ">>" instead of ">"
    bool closeOutput = false;             // ">&-"
};

// Whether the process holds a file without a name (O_TMPFILE) in the folder.
bool WritesUnnamedFileIn(pid_t pid, const std::string& folder)
{
    std::error_code error;
    const std::filesystem::path descriptors("/proc/" + std::to_string(pid) + "/fd");
    for (const auto& entry : std::filesystem::directory_iterator(descriptors, error)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (target.starts_with(folder + "/#") && target.ends_with(" (deleted)"))
            return true;
    }
    return false;
}

class CliTest : public ::testing::Test {
protected:
    // Starts tolvar-cli with standard output and error going to files, with
    // the default action for SIGINT and SIGTERM as in a terminal.
    pid_t Start(std::vector<std::string> args, const ChildSetup& setup = {})
    {
        const std::string outPath = Path("stdout.txt");
        const std::string errPath = Path("stderr.txt");
        std::vector<char*> argv = ArgumentVector(args);
        int ends[2] = {-1, -1};
        if (setup.pipeBytes != nullptr && pipe(ends) != 0)
            return -1;
        const pid_t pid = fork();
        if (pid == 0) {
            const int in = open(setup.standardInput.c_str(), O_RDONLY);
            const std::string& outName = setup.standardOutput.empty() ? outPath : setup.standardOutput;
            const int out = open(outName.c_str(), O_WRONLY | O_CREAT | (setup.appendOutput ? O_APPEND : O_TRUNC), 0644);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(in, 0);
            dup2(out, 1);
            dup2(err, 2);
            if (setup.closeOutput)
                close(1);
            if (setup.pipeBytes != nullptr) {
                dup2(ends[0], setup.pipeFd);
                close(ends[1]);
            }
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGTERM, SIG_DFL);
            if (setup.fileSizeLimit != RLIM_INFINITY)
                std::signal(SIGXFSZ, SIG_IGN);
            for (const auto& [resource, most] :
                 {std::pair{RLIMIT_FSIZE, setup.fileSizeLimit}, {RLIMIT_AS, setup.memoryLimit}}) {
                const rlimit limit{most, most};
                if (most != RLIM_INFINITY)
                    setrlimit(resource, &limit);
            }
            execv(kCli.c_str(), argv.data());
            _exit(127);
        }
        if (setup.pipeBytes != nullptr) {
            close(ends[0]);
            std::signal(SIGPIPE, SIG_IGN);
            WriteAll(ends[1], setup.pipeBytes->data(), setup.pipeBytes->size()); // a reader that stops early ends it
            close(ends[1]);
        }
        return pid;
    }

    CliRun Finish(pid_t pid)
    {
        CliRun run;
        run.exitCode = ExitCodeOf(pid);
        run.out = test_support::ReadBytes(Path("stdout.txt"));
        run.err = test_support::ReadBytes(Path("stderr.txt"));
        return run;
    }

    CliRun Run(std::vector<std::string> args, const ChildSetup& setup = {}) { return Finish(Start(args, setup)); }

    // Runs tolvar-cli on a pseudo-terminal and puts what it wrote there into
    // seen; false when the machine offers no pseudo-terminal.
    bool RunOnTerminal(std::vector<std::string> args, std::string& seen)
    {
        std::vector<char*> argv = ArgumentVector(args);
        int master = -1;
        const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
        if (pid < 0)
            return false;
        if (pid == 0) {
            execv(kCli.c_str(), argv.data());
            _exit(127);
        }
        seen.clear();
        char buffer[4096];
        for (;;) {
            pollfd descriptor{master, POLLIN, 0};
            if (poll(&descriptor, 1, 20000) <= 0)
                break;
            const ssize_t count = read(master, buffer, sizeof buffer);
            if (count <= 0)
                break; // EIO once the child has closed the terminal
            seen.append(buffer, static_cast<std::size_t>(count));
        }
        close(master);
        ExitCodeOf(pid);
        return true;
    }

    std::string Path(const std::string& name) const { return folder.Path(name); }

    // Talwar with c = 2.795 on l = (1, 2, 3, 4, 100): every residual of the
    // first pass exceeds c, all weights become 0, the second pass is not
    // finite: its normal matrix is 0.
    std::string AllWeightsLostInput() const
    {
        const std::string path = Path("talwar.EIN");
        test_support::WriteInput(path, {{1}, {1}, {1}, {1}, {1}}, {1, 2, 3, 4, 100}, {1, 1, 1, 1, 1});
        return path;
    }

    test_support::TempFolder folder;
};

// Every method of the table by its name (in any case), with its default
// tuning constant: the report names the method the engine ran.
TEST_F(CliTest, EveryMethodByItsNameWithItsDefault)
{
    for (const MethodInfo& method : kMethods) {
        std::string name = method.commandLineName;
        if (method.code == kMethodLpNorm)
            name = "LP-IRLS";
        const std::string out = Path(name + ".AUS");
        std::vector<std::string> args{"-m", name, test_support::ExampleFile("levelling_network.EIN"), out};
        if (method.parameter == MethodParameter::kNormFactor)
            args.insert(args.begin(), {"-p", "1.5"});
        const CliRun run = Run(args);
        EXPECT_EQ(run.exitCode, 0) << name << ": " << run.err;
        // No terminal: no progress, no message but the warning of lp-irls,
        // whose stop criterion leaves the first-order condition approximate.
        const std::string warning = "tolvar-cli: " + out + ": " + LoadString(kStringOptimalityApproximate) + "\n";
        EXPECT_EQ(run.err, method.code == kMethodLpNorm ? warning : "") << name;
        const test_support::ParsedReport report = test_support::ParseReport(out);
        ASSERT_TRUE(report.ok) << name;
        std::string methodLine = MethodText(method.code, method.defaultTuningConstant, 1.5);
        methodLine.pop_back(); // the line end
        EXPECT_EQ(report.methodLine, methodLine);
        EXPECT_EQ(report.observations.size(), 8u) << name;
        EXPECT_EQ(report.unknowns.size(), 3u) << name;
        EXPECT_EQ(report.passCount < 0, method.code == kMethodL1) << name;
    }
}

TEST_F(CliTest, StackLossAgreesWithCertifiedSolutions)
{
    const std::string in = test_support::StackLossFile();
    const std::string out = Path("sl.AUS");
    ASSERT_EQ(Run({in, out}).exitCode, 0); // Huber 1.5 by default
    ExpectUnknowns(test_support::ParseReport(out), StackLossFixedPointOf(kMethodHuber).x, 2e-5);
    ASSERT_EQ(Run({"--method=biweight", in, out}).exitCode, 0);
    ExpectUnknowns(test_support::ParseReport(out), StackLossFixedPointOf(kMethodBiweight).x, 2e-5);
    ASSERT_EQ(Run({"-ml1", in, out}).exitCode, 0);
    ExpectUnknowns(test_support::ParseReport(out), test_support::kStackLossL1, 6e-6);
    ASSERT_EQ(Run({"-m", "lp", "-p", "1", in, out}).exitCode, 0);
    ExpectUnknowns(test_support::ParseReport(out), test_support::kStackLossL1, 6e-6);
    ASSERT_EQ(Run({"-m", "lp", "--norm", "25", in, out}).exitCode, 0);
    const test_support::ParsedReport minimax = test_support::ParseReport(out);
    EXPECT_EQ(minimax.methodLine, "Loo-Norm L\xF6sung (Tschebycheff)");
    ExpectUnknowns(minimax, test_support::kStackLossMinimax, 6e-6);
}

// The options reach the engine unchanged: the report is byte for byte the
// engine's own for the same settings.
TEST_F(CliTest, OptionsReachTheEngine)
{
    const std::string in = test_support::StackLossFile();
    const std::string out = Path("cli.AUS");
    const std::string reference = Path("engine.AUS");
    ASSERT_EQ(Run({"-m", "cauchy", "-c", "2", "-i", "7", "-s", "1e-3", in, out}).exitCode, 0);
    Matrix A, l, p;
    ASSERT_EQ(ReadInputFileWeightVector(in, A, l, p), 0);
    CEstimator engine;
    engine.SetOutputFile(reference);
    engine.TuningConstant = 2.0;
    ASSERT_EQ(engine.RunWithWeightVector(A, l, p, kMethodCauchy, 0.0, 7, 1e-3), kRunSuccess);
    EXPECT_EQ(test_support::ReadBytes(out), test_support::ReadBytes(reference));

    // A stop criterion of 0 is never met: the limit ends the run after limit + 1 passes.
    ASSERT_EQ(Run({"-s", "0", "-i", "3", in, out}).exitCode, 0);
    EXPECT_EQ(test_support::ParseReport(out).passCount, 4);
    ASSERT_EQ(Run({"-i", "0", in, out}).exitCode, 0);
    EXPECT_EQ(test_support::ParseReport(out).passCount, 1);
}

// tolvar-cli -m lp and the library's LP share one code path.
TEST_F(CliTest, LpWayWritesTheLibrarysReport)
{
    void* handle = dlopen(TOLVAR_BIN_DIR "/libnormex.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto lp = reinterpret_cast<int (*)(char*, int)>(dlsym(handle, "LP"));
    ASSERT_NE(lp, nullptr);
    const std::string in = test_support::ExampleFile("line_with_outlier.EIN");
    for (const char* factor : {"1", "2", "25", "1.5", "3"}) {
        const std::string cliOut = Path("cli.AUS");
        const std::string libOut = Path("lib.AUS");
        ASSERT_EQ(Run({"-m", "lp", "-p", factor, in, cliOut}).exitCode, 0) << factor;
        std::vector<char> command = LpCommandBuffer(BuildLpCommand(in, libOut, 10, 2, std::stod(factor), 1000));
        ASSERT_EQ(lp(command.data(), static_cast<int>(command.size())), NORMEX_SUCCESS) << factor;
        EXPECT_EQ(test_support::ReadBytes(cliOut), test_support::ReadBytes(libOut)) << factor;
    }
}

TEST_F(CliTest, UsageErrorsExitWithTwo)
{
    const std::string in = test_support::StackLossFile();
    const std::string out = Path("never.AUS");
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{}, "Eingabe- und Ausgabedatei"},
        {{in}, "Eingabe- und Ausgabedatei"},
        {{in, out, "third"}, "Eingabe- und Ausgabedatei"},
        {{"--frobnicate", in, out}, "Unbekannte Option: --frobnicate"},
        {{"-m", "median", in, out}, "Unbekannte Berechnungsart: median"},
        {{"-m"}, "braucht einen Wert"},
        {{"-c", "abc", in, out}, "Geben Sie bitte eine Zahl ein."},
        {{"-c", "-0.1", in, out}, "Geben Sie bitte eine Zahl zwischen 0 und 100000000 ein."},
        {{"-c", "100000001", in, out}, "Geben Sie bitte eine Zahl zwischen 0 und 100000000 ein."},
        {{"-i", "1.5", in, out}, "Geben Sie bitte eine ganze Zahl ein."},
        {{"-s", "1,5", in, out}, "Geben Sie bitte eine Zahl ein."},
        {{"-i", "+-3", in, out}, "Geben Sie bitte eine ganze Zahl ein."}, // one sign only
        {{"-i", "++3", in, out}, "Geben Sie bitte eine ganze Zahl ein."},
        {{"-i", "99999999999", in, out}, "Geben Sie bitte eine ganze Zahl ein."},
        {{"-c", "+-1", in, out}, "Geben Sie bitte eine Zahl ein."},
        {{"-s", "1e999", in, out}, "Geben Sie bitte eine Zahl ein."},
        {{"-s", "inf", in, out}, "Geben Sie bitte eine Zahl ein."},
        {{"-m", "LP", in, out}, "Die Berechnungsart lp braucht einen Normfaktor (-p)."},
        {{"-m", "lp-irls", in, out}, "Die Berechnungsart lp-irls braucht einen Normfaktor (-p)."},
        {{"-m", "lp", "-p", "0.5", in, out}, "mindestens 1"},
        {{"-p", "2", in, out}, "nur f\u00fcr lp und lp-irls"},
        {{"-m", "l1", "-c", "1", in, out}, "nur f\u00fcr die Ea-Sch\u00e4tzer"},
        {{"--sigma0", "0", in, out}, "--sigma0: Der Wert muss eine endliche Zahl gr\u00f6\u00dfer als 0 sein."},
        {{"--sigma0", "-1", in, out}, "--sigma0: Der Wert muss eine endliche Zahl gr\u00f6\u00dfer als 0 sein."},
        {{"--sigma0=x", in, out}, "--sigma0=x: Geben Sie bitte eine Zahl ein."},
        {{"--alpha", "1", in, out}, "--alpha: Der Wert muss gr\u00f6\u00dfer als 0 und kleiner als 1 sein."},
        {{"--alpha", "0", in, out}, "--alpha: Der Wert muss gr\u00f6\u00dfer als 0 und kleiner als 1 sein."},
        {{"--power", "1.5", in, out}, "--power: Der Wert muss gr\u00f6\u00dfer als 0 und kleiner als 1 sein."},
        {{"--confidence", "-0.95", in, out}, "--confidence: Der Wert muss gr\u00f6\u00dfer als 0 und kleiner als 1 sein."},
        {{"-m", "lp", "-p", "3", "-s", "0.1", in, out}, "Ein Abbruchkriterium (-s) gilt nicht f\u00fcr lp."},
        {{in, ""}, "Der Name der Ausgabedatei ist leer."},
    };
    for (const Case& c : cases) {
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, 2) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_FALSE(test_support::FileExists(out));
    // The ends of the tuning range are accepted.
    EXPECT_EQ(Run({"-c", "0", "-i", "2", in, out}).exitCode, 1); // c = 0: every weight 0, not finite
    EXPECT_EQ(Run({"-c", "100000000", in, out}).exitCode, 0);
    // A leading "+" and surrounding blanks are accepted.
    EXPECT_EQ(Run({"-c", " +1.5 ", "-i", "+3", in, out}).exitCode, 0);
    EXPECT_EQ(test_support::ParseReport(out).methodLine, "Huber mit Tuning-Konstante 1.500000");
}

// A rejected input exits with 2 and names the file, and the place of the
// fault where the reader found one, by either way of computing.
TEST_F(CliTest, FaultyInputNamesTheFile)
{
    const std::string out = Path("out.AUS");
    const std::string missing = Path("missing.EIN");
    const std::string noWeight = Path("noweight.EIN");
    test_support::WriteInput(noWeight, {{1.0}, {1.0}}, {1.0, 2.0}, {1.0, 0.0});
    const std::string wide = Path("wide.EIN");
    test_support::WriteBytes(wide, "1 2\r\n1 2 3\r\n5 1\r\n6 1\r\n");
    const std::string utf16 = Path("utf16.EIN");
    test_support::WriteBytes(utf16, std::string("\xFF\xFE" "1\0\r\0\n\0", 8));
    const std::string empty = Path("empty.EIN");
    test_support::WriteInput(empty, {}, {}, {});
    const std::string weightMissing = ": Fehler in der Eingabedatei. Kein oder negatives Gewicht!!! (Zeile 4)";
    const struct {
        std::vector<std::string> options;
        const std::string& file;
        std::string message;
    } cases[] = {
        {{}, missing, ": Fehler beim \u00d6ffnen der Eingabedatei!!"},
        {{"-m", "lp", "-p", "25"}, noWeight, weightMissing},
        {{}, noWeight, weightMissing},
        {{}, wide, ": Fehler in der Eingabedatei!!! (Zeile 2, Stelle 5)"},
        {{}, utf16, ": UTF-16 wird nicht unterst\u00fctzt; bitte als UTF-8 oder Windows-1252 speichern."},
        {{"-m", "welsch"}, empty, ": Fehler in der Eingabedatei. Keine Beobachtungen vorhanden!"},
    };
    for (const auto& c : cases) {
        const CliRun run = Run(WithFiles(c.options, c.file, out));
        EXPECT_EQ(run.exitCode, 2) << c.file;
        EXPECT_EQ(run.err, "tolvar-cli: " + c.file + c.message + "\n");
        EXPECT_FALSE(test_support::FileExists(out)) << c.file;
    }
}

TEST_F(CliTest, FailedComputationExitsWithOne)
{
    const std::string in = test_support::StackLossFile();
    const std::string unwritable = Path("no/such/dir/out.AUS");
    for (const std::vector<std::string>& method :
         {std::vector<std::string>{"-m", "huber"}, {"-m", "l1"}, {"-m", "lp", "-p", "25"}, {"-m", "lp", "-p", "2"}}) {
        const CliRun run = Run(WithFiles(method, in, unwritable));
        EXPECT_EQ(run.exitCode, 1) << method.back();
        // The system's reason follows in brackets.
        EXPECT_EQ(run.err.rfind("tolvar-cli: Fehler beim \u00d6ffnen der Datei " + unwritable + "! (", 0), 0u) << run.err;
    }

    // Talwar losing every weight: the report is still written, with count 2.
    const std::string out = Path("talwar.AUS");
    const CliRun run = Run({"-m", "talwar", AllWeightsLostInput(), out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tolvar-cli: " + out +
                           ": Bei der Berechnung ist ein Fehler aufgetreten! Die Normalgleichungen sind numerisch "
                           "singul\u00e4r.\n");
    const test_support::ParsedReport report = test_support::ParseReport(out);
    ASSERT_TRUE(report.ok);
    EXPECT_EQ(report.passCount, 2);
    EXPECT_FALSE(std::isfinite(report.unknowns.at(0)));
}

// An Lp run that the pass limit stops short of the minimiser fails and says
// why; its report is written all the same.
TEST_F(CliTest, LpRunShortOfTheMinimiserExitsWithOne)
{
    const std::string in = test_support::StackLossFile();
    const std::string out = Path("short.AUS");
    const CliRun run = Run({"-q", "-m", "lp", "-p", "10", "-i", "2", in, out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tolvar-cli: " + out +
                           ": Bei der Berechnung ist ein Fehler aufgetreten! (Lp-Norm-L\u00f6sung nach 2 Iterationen "
                           "nicht konvergiert)\n");
    EXPECT_EQ(test_support::ParseReport(out).passCount, 2);
    EXPECT_EQ(Run({"-q", "-m", "lp", "-p", "10", in, out}).exitCode, 0);
}

TEST_F(CliTest, HelpAndVersion)
{
    for (const char* option : {"--help", "-h"}) {
        const CliRun run = Run({option});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out.rfind("Aufruf: tolvar-cli [OPTIONEN] EINGABE.EIN AUSGABE.AUS\n", 0), 0u);
        for (const MethodInfo& method : kMethods)
            EXPECT_NE(run.out.find(method.commandLineName), std::string::npos) << method.commandLineName;
        for (const char* word : {"--tuning", "--norm", "--iterations", "--stop", "--quiet", "Biweight 4.685",
                                 "--results", "--scale mad", "--scale mad-each-pass", "statsmodels RLM",
                                 "R MASS::rlm", "MATLAB robustfit", "--summary",
                                 "= \u221a(\u03a3 w_i p_i v_i\u00b2 / (n \u2212 u))\n", "\"-\" liest die Standardeingabe",
                                 "Strg+C", "R\u00fcckgabewert: 0", "--sigma0 S", "[0.001]", "--power B", "[0.8]",
                                 "--confidence K", "[0.95]", "r_i = 1 \u2212 p_i w_i a_i\u1d40 Q a_i",
                                 "MDB_i = \u03c30 \u03b40 / \u221a(p_i w_i r_i)", "--sync",
                                 "AUSGABE.AUS \"-\" schreibt auf die Standardausgabe"})
            EXPECT_NE(run.out.find(word), std::string::npos) << word;
        EXPECT_EQ(run.err, "");
    }
    const CliRun version = Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "tolvar-cli 2.0\n");
}

// On a terminal the pass text is rewritten in place; -q silences it.
TEST_F(CliTest, ProgressOnlyOnATerminal)
{
    const std::string in = test_support::StackLossFile();
    std::string shown;
    if (!RunOnTerminal({"-s", "0", "-i", "2", in, Path("t.AUS")}, shown))
        GTEST_SKIP() << "no pseudo-terminal on this machine";
    EXPECT_NE(shown.find("\rBerechnung l\u00e4uft... Iteration: 1"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\rBerechnung l\u00e4uft... Iteration: 3"), std::string::npos) << shown;
    std::string quiet;
    ASSERT_TRUE(RunOnTerminal({"-q", "-s", "0", "-i", "2", in, Path("q.AUS")}, quiet));
    EXPECT_EQ(quiet.find("Berechnung"), std::string::npos) << quiet;
}

// Weights are read as a vector: an n x n weight matrix for this n would
// need 80 GB, the run needs a few megabytes.
TEST_F(CliTest, ManyObservationsRunInLinearMemory)
{
    const int n = 100000;
    const std::string in = Path("large.EIN");
    std::FILE* file = std::fopen(in.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    for (int i = 0; i < n; ++i)
        std::fprintf(file, "1 %d\r\n", i % 100);
    for (int i = 0; i < n; ++i)
        std::fprintf(file, "%d 1\r\n", 3 + 2 * (i % 100) + (i % 10 == 0 ? 50 : 0));
    std::fclose(file);
    const std::string out = Path("large.AUS");
    // Least squares leaves the good observations within 30 and the outliers
    // beyond it; Talwar then drops the outliers and fits the line exactly.
    ASSERT_EQ(Run({"-m", "talwar", "-c", "30", in, out}).exitCode, 0);
    const test_support::ParsedReport report = test_support::ParseReport(out);
    ASSERT_TRUE(report.ok);
    EXPECT_NEAR(report.unknowns.at(0), 3.0, 1e-5); // the outliers (+50) get weight 0
    EXPECT_NEAR(report.unknowns.at(1), 2.0, 1e-5);
    EXPECT_EQ(report.corrections.size(), static_cast<std::size_t>(n));
}

TEST_F(CliTest, PlotIsSavedWhenAskedFor)
{
    const std::string png = Path("plot.png");
    const CliRun run = Run({"--plot", png, test_support::ExampleFile("line_with_outlier.EIN"), Path("p.AUS")});
    if (run.exitCode == 2 && run.err.find("keine Grafik") != std::string::npos)
        GTEST_SKIP() << "built without the desktop part";
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(test_support::ReadBytes(png).substr(0, 8), "\x89PNG\r\n\x1a\n");
    const CliRun bad = Run({"--plot", Path("no/dir/plot.png"), test_support::ExampleFile("line_with_outlier.EIN"), Path("p.AUS")});
    EXPECT_EQ(bad.exitCode, 1);
    const std::size_t named = bad.err.find("no/dir/plot.png");
    EXPECT_NE(named, std::string::npos) << bad.err;
    EXPECT_EQ(bad.err.find("no/dir/plot.png", named + 1), std::string::npos) << "named once: " << bad.err;
}

// An output that names the input, or two outputs one file: usage error
// before anything is read or written, the input untouched.
TEST_F(CliTest, AnOutputNamingTheInputOrAnotherOutputIsRefused)
{
    std::filesystem::create_directory(Path("data"));
    const std::string in = Path("data/in.EIN");
    std::filesystem::copy_file(test_support::StackLossFile(), in);
    std::filesystem::copy_file(in, Path("data/in.svg"));
    std::filesystem::create_symlink("in.EIN", Path("data/link.EIN"));
    std::filesystem::create_hard_link(in, Path("data/hard.EIN"));
    std::filesystem::create_directory_symlink("data", Path("alias"));
    const std::string original = test_support::ReadBytes(in);
    const std::vector<std::string> before = test_support::FolderEntries(Path("data"));
    struct Case {
        std::vector<std::string> args;
        std::string standardInput = "/dev/null";
    };
    const std::string sameInput = "Ein- und Ausgabedatei sind dieselbe Datei!";
    const Case cases[] = {
        {{in, in}},
        {{in, Path("data/./in.EIN")}},
        {{in, Path("data/link.EIN")}},
        {{in, Path("data/hard.EIN")}},
        {{in, Path("alias/in.EIN")}},
        {{"-m", "lp", "-p", "25", in, Path("data/link.EIN")}},
        {{"-m", "l1", "-", in}, in}, // standard input redirected from the output
        {{"--plot", Path("data/in.svg"), Path("data/in.svg"), Path("data/out.AUS")}},
        {{"--plot", Path("alias/in.svg"), Path("data/in.svg"), Path("data/out.AUS")}},
        {{"--plot", Path("data/out.png"), in, Path("alias/out.png")}}, // report and plot, neither there yet
    };
    for (const Case& c : cases) {
        ChildSetup setup;
        setup.standardInput = c.standardInput;
        const CliRun run = Run(c.args, setup);
        const std::string shown = c.args[c.args.size() - 2] + " " + c.args.back();
        EXPECT_EQ(run.exitCode, 2) << shown;
        EXPECT_NE(run.err.find("dieselbe Datei!"), std::string::npos) << run.err;
        EXPECT_EQ(test_support::ReadBytes(in), original) << shown;
        EXPECT_EQ(test_support::ReadBytes(Path("data/in.svg")), original) << shown;
        EXPECT_EQ(test_support::FolderEntries(Path("data")), before) << shown;
    }
    EXPECT_EQ(Run({in, in}).err, "tolvar-cli: " + in + ", " + in + ": " + sameInput + "\n");
    EXPECT_EQ(Run({in, Path("data/in.AUS")}).exitCode, 0);
    // Two outputs into one device replace nothing: both may go to /dev/null.
    std::filesystem::create_symlink("/dev/null", Path("discarded.json"));
    const CliRun discarded = Run({"-q", "--results", Path("discarded.json"), in, "/dev/null"});
    EXPECT_EQ(discarded.exitCode, 0) << discarded.err;
}

// Every option is checked before a file is opened: an existing report is
// not touched by a call that its options make wrong.
TEST_F(CliTest, OptionErrorsComeBeforeAnyFileIsTouched)
{
    const std::string in = test_support::StackLossFile();
    const std::string out = Path("keep.AUS");
    test_support::WriteBytes(out, "the previous report");
    struct Case {
        std::vector<std::string> options;
        const char* message;
    };
    const Case cases[] = {
        {{"--plot", Path("plot.bmp")}, "nur als .png oder .svg"},
        {{"--plot", Path("plot")}, "nur als .png oder .svg"},
        {{"--plot", Path("png")}, "nur als .png oder .svg"},
        {{"-m", "lp-irls", "-p", "0.5"}, "mindestens 1"},
        {{"-m", "lp-irls", "-p", "0"}, "mindestens 1"},
        {{"-m", "lp-irls", "-p", "-3"}, "mindestens 1"},
        {{"-m", "lp", "-p", "0.999"}, "mindestens 1"},
    };
    for (const Case& c : cases) {
        const CliRun run = Run(WithFiles(c.options, in, out));
        EXPECT_EQ(run.exitCode, 2) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(test_support::ReadBytes(out), "the previous report") << c.message;
    }
    EXPECT_EQ(test_support::FolderEntries(folder.Path()), (std::vector<std::string>{"keep.AUS", "stderr.txt", "stdout.txt"}));
    // The boundary and either case of the extension are accepted.
    EXPECT_EQ(Run({"-m", "lp-irls", "-p", "1", in, out}).exitCode, 0);
    const CliRun plot = Run({"--plot", Path("plot.SVG"), in, out});
    if (plot.err.find("keine Grafik") == std::string::npos) {
        EXPECT_EQ(plot.exitCode, 0) << plot.err;
    }
}

// "-" reads standard input, and a pipe named as a process substitution
// names it reads as well: the report is the one of the regular file.
TEST_F(CliTest, StandardInputAndPipesGiveTheReportOfTheFile)
{
    const std::string in = test_support::StackLossFile();
    const std::string bytes = test_support::ReadBytes(in);
    const std::string reference = Path("file.AUS");
    const std::string out = Path("piped.AUS");
    for (const std::vector<std::string>& method : kEveryWay) {
        ASSERT_EQ(Run(WithFiles(method, in, reference)).exitCode, 0);
        struct Way {
            const char* name;
            ChildSetup setup;
        };
        const Way ways[] = {
            {"-", ChildSetup{in}},                          // tolvar-cli - out < in
            {"-", ChildSetup{"/dev/null", &bytes, 0}},      // cat in | tolvar-cli - out
            {"/dev/fd/3", ChildSetup{"/dev/null", &bytes, 3}}, // tolvar-cli <(cat in) out
        };
        for (const Way& way : ways) {
            const CliRun run = Run(WithFiles(method, way.name, out), way.setup);
            EXPECT_EQ(run.exitCode, 0) << way.name << ": " << run.err;
            EXPECT_EQ(test_support::ReadBytes(out), test_support::ReadBytes(reference)) << method.back() << way.name;
        }
    }
    // The same checks and messages, naming the input as given.
    const std::string odd = "1 2\r\n5 1\r\n6 1\r\n";
    const CliRun run = Run({"-", out}, ChildSetup{"/dev/null", &odd, 0});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "tolvar-cli: -: Fehler in der Eingabedatei!!!\n");
}

// SIGINT or SIGTERM in the middle of a long run: the process ends by the
// signal, the previous report is byte for byte as it was, and the
// temporary file that held the new one is gone.
TEST_F(CliTest, ASignalDuringALongRunLeavesTheOldReportIntact)
{
    const std::string in = Path("long.EIN");
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "1 " + std::to_string(i % 17) + " " + std::to_string((i * 7) % 13) + "\r\n";
    for (int i = 0; i < 3000; ++i)
        text += std::to_string((i * 31) % 101) + " 1\r\n";
    test_support::WriteBytes(in, text);
    const std::string out = Path("old.AUS");
    const std::string previous = test_support::ReadBytes(test_support::StackLossFile()) + "\r\nan old report\r\n";
    for (const int signal : {SIGINT, SIGTERM}) {
        test_support::WriteBytes(out, previous);
        for (const char* stream : {"stdout.txt", "stderr.txt"})
            test_support::WriteBytes(Path(stream), "");
        const std::vector<std::string> before = test_support::FolderEntries(folder.Path());
        // A stop criterion of 0 is never met: the run goes on until stopped.
        const pid_t pid = Start({"-q", "-m", "welsch", "-s", "0", "-i", "2000000000", in, out});
        ASSERT_GT(pid, 0);
        bool temporarySeen = false;
        for (int wait = 0; wait < 2000 && !temporarySeen; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            temporarySeen = WritesUnnamedFileIn(pid, folder.Path());
        }
        EXPECT_TRUE(temporarySeen) << "the new report is written beside the old one, without a name";
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // well into the passes
        kill(pid, signal);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
        EXPECT_EQ(test_support::ReadBytes(out), previous) << signal;
        EXPECT_EQ(test_support::FolderEntries(folder.Path()), before) << signal;
    }
}

// A write that fails says so, naming the file and the system's reason,
// and leaves the previous report as it was.
TEST_F(CliTest, AFailedWriteSaysWritingFailedAndKeepsThePreviousReport)
{
    const std::string in = test_support::StackLossFile();
    const std::string out = Path("kept.AUS");
    for (const std::vector<std::string>& method : kEveryWay) {
        test_support::WriteBytes(out, "the previous report");
        ChildSetup setup;
        setup.fileSizeLimit = 2000; // the report needs about 5 KB
        const CliRun run = Run(WithFiles(method, in, out), setup);
        EXPECT_EQ(run.exitCode, 1) << method.back();
        EXPECT_EQ(run.err.rfind("tolvar-cli: Fehler beim Schreiben der Datei " + out + "! (", 0), 0u) << run.err;
        EXPECT_EQ(test_support::ReadBytes(out), "the previous report") << method.back();
        EXPECT_EQ(test_support::FolderEntries(folder.Path()),
                  (std::vector<std::string>{"kept.AUS", "stderr.txt", "stdout.txt"}));
    }
    const CliRun full = Run({in, "/dev/full"});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_EQ(full.err.rfind("tolvar-cli: Fehler beim Schreiben der Datei /dev/full! (", 0), 0u) << full.err;
}

// A report, plot or results file named by a descriptor ("-", /dev/stdout,
// /dev/fd/1, /proc/self/fd/1, /dev/stderr) goes where the shell pointed
// it: "tolvar-cli in - >> log.txt" keeps the earlier lines of the log.
TEST_F(CliTest, OutputsNamedByADescriptorGoWhereTheShellPointedThem)
{
    const std::string in = test_support::StackLossFile();
    const std::string log = Path("log.txt");
    const std::string report = Path("file.AUS");
    ASSERT_EQ(Run({"--results", Path("file.json"), in, report}).exitCode, 0);
    const std::string earlier = "an earlier line\n";
    std::vector<std::string> written = {"file.AUS", "file.json", "log.txt", "other.AUS", "stderr.txt", "stdout.txt"};
    // Each run appends to the log what the file of the same content holds.
    struct Case {
        std::vector<std::string> args;
        std::string sameAs;
    };
    std::vector<Case> cases;
    for (const char* name : {"-", "/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"})
        cases.push_back({{"-q", in, name}, report});
    cases.push_back({{"-q", "--results", "-", in, Path("other.AUS")}, Path("file.json")});
    if (Run({"--plot", Path("p.png"), in, Path("other.AUS")}).exitCode == 0) { // a build that draws
        cases.push_back({{"-q", "--plot", "-", in, Path("other.AUS")}, Path("p.png")});
        written.insert(written.begin() + 4, "p.png");
    }
    ChildSetup appending;
    appending.standardOutput = log;
    appending.appendOutput = true;
    for (const Case& c : cases) {
        test_support::WriteBytes(log, earlier);
        SCOPED_TRACE(c.args[c.args.size() - 3] + " " + c.args.back());
        const CliRun run = Run(c.args, appending);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(test_support::ReadBytes(log), earlier + test_support::ReadBytes(c.sameAs));
    }
    const CliRun run = Run({"-q", in, "/dev/stderr"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, test_support::ReadBytes(report));
    EXPECT_EQ(test_support::FolderEntries(folder.Path()), written);
}

// Standard output is checked when the program ends: a write that fails
// there (/dev/full, a full disk, a closed output) fails the run.
TEST_F(CliTest, StandardOutputThatCannotBeWrittenFailsTheRun)
{
    const std::string in = test_support::StackLossFile();
    const std::string out = Path("out.AUS");
    const std::string failed = "tolvar-cli: Fehler beim Schreiben der Standardausgabe: ";
    ChildSetup full;
    full.standardOutput = "/dev/full";
    ChildSetup closed;
    closed.closeOutput = true;
    const struct {
        std::vector<std::string> args;
        const ChildSetup& setup;
        const char* reason;
    } cases[] = {
        {{"-q", "--summary", in, out}, full, "Kein Speicherplatz mehr"},
        {{"--help"}, full, "Kein Speicherplatz mehr"},
        {{"--version"}, full, "Kein Speicherplatz mehr"},
        {{"-q", "--summary", in, out}, closed, "Ung\u00fcltiger Dateideskriptor"},
        {{"--version"}, closed, "Ung\u00fcltiger Dateideskriptor"},
    };
    for (const auto& c : cases) {
        const CliRun run = Run(c.args, c.setup);
        EXPECT_EQ(run.exitCode, 1) << c.args.front();
        EXPECT_EQ(run.err, failed + c.reason + "\n") << c.args.front();
    }
    // Nothing written to it: a closed standard output is no error, and no
    // file of the run takes its number.
    test_support::WriteBytes(out, "");
    EXPECT_EQ(Run({"-q", in, out}, closed).exitCode, 0);
    EXPECT_TRUE(test_support::ParseReport(out).ok);
    const CliRun toClosed = Run({"-q", in, "-"}, closed);
    EXPECT_EQ(toClosed.exitCode, 1);
    EXPECT_EQ(toClosed.err, "tolvar-cli: Fehler beim \u00d6ffnen der Datei -! (Ung\u00fcltiger Dateideskriptor)\n");
}

// A full file system, a small tmpfs: the summary on standard output fails
// the run, a report keeps the previous one.
TEST_F(CliTest, AFullDiskFailsTheRunAndKeepsThePreviousReport)
{
    const std::string disk = Path("disk");
    std::filesystem::create_directory(disk);
    if (mount("tolvar-test", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    const std::string report = disk + "/kept.AUS";
    const std::string summary = disk + "/summary.txt";
    test_support::WriteBytes(report, "the previous report");
    test_support::WriteBytes(summary, "");
    std::string filler(4096, 'f');
    std::FILE* fill = std::fopen((disk + "/filler").c_str(), "wb");
    while (fill != nullptr && std::fwrite(filler.data(), 1, filler.size(), fill) == filler.size() && std::fflush(fill) == 0) {
    }
    if (fill != nullptr)
        std::fclose(fill);
    const std::string in = test_support::StackLossFile();
    ChildSetup onDisk;
    onDisk.standardOutput = summary;
    CliRun run = Run({"-q", "--summary", in, Path("out.AUS")}, onDisk);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tolvar-cli: Fehler beim Schreiben der Standardausgabe: Kein Speicherplatz mehr\n");
    run = Run({"-q", in, report});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("tolvar-cli: Fehler beim Schreiben der Datei " + report + "! (Kein Speicherplatz mehr)", 0), 0u)
        << run.err;
    EXPECT_EQ(test_support::ReadBytes(report), "the previous report");
    EXPECT_EQ(test_support::FolderEntries(disk), (std::vector<std::string>{"filler", "kept.AUS", "summary.txt"}));
    umount2(disk.c_str(), MNT_DETACH);
}

// SIGKILL, which no process can catch, at random moments of a large run
// with report, plot and results: every file is either the old one or the
// complete new one, and nothing else is left in the folder.
// TOLVAR_KILL_TEST_ROWS=1000000 runs it at full size.
TEST_F(CliTest, SigkillAtAnyMomentLeavesOldOrCompleteFilesAndNothingElse)
{
    const char* rows = std::getenv("TOLVAR_KILL_TEST_ROWS");
    const int n = rows != nullptr ? std::atoi(rows) : 40000;
    const std::string in = Path("large.EIN");
    std::string text;
    for (int i = 0; i < n; ++i)
        text += "1 " + std::to_string(i % 100) + "\r\n";
    for (int i = 0; i < n; ++i)
        text += std::to_string(3 + 2 * (i % 100) + (i % 10 == 0 ? 50 : 0)) + " 1\r\n";
    test_support::WriteBytes(in, text);
    text.clear();
    const std::vector<std::string> outputs = {Path("large.AUS"), Path("large.png"), Path("large.json")};
    std::vector<std::string> args = {"-q", "--results", outputs[2], in, outputs[0]};
    if (Run({"--plot", outputs[1], test_support::StackLossFile(), Path("x.AUS")}).exitCode == 0)
        args.insert(args.begin(), {"--plot", outputs[1]});
    std::filesystem::remove(Path("x.AUS"));
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(Run(args).exitCode, 0);
    const auto runTime = std::chrono::steady_clock::now() - started;
    std::vector<std::string> fresh;
    for (const std::string& output : outputs)
        fresh.push_back(test_support::ReadBytes(output));
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<long long> moment(0, std::chrono::duration_cast<std::chrono::microseconds>(runTime).count());
    for (int kill = 0; kill < 20; ++kill) {
        for (const std::string& output : outputs)
            test_support::WriteBytes(output, "old " + output);
        const std::vector<std::string> before = test_support::FolderEntries(folder.Path());
        const pid_t pid = Start(args);
        ASSERT_GT(pid, 0);
        const long long after = moment(random);
        std::this_thread::sleep_for(std::chrono::microseconds(after));
        ::kill(pid, SIGKILL);
        ExitCodeOf(pid);
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            const std::string now = test_support::ReadBytes(outputs[i]);
            EXPECT_TRUE(now == "old " + outputs[i] || now == fresh[i]) << outputs[i] << " killed after " << after << " us";
        }
        EXPECT_EQ(test_support::FolderEntries(folder.Path()), before) << "killed after " << after << " us";
    }
}

// An input with a line longer than the memory a run may use (/dev/zero
// has one without end) ends with a message instead of being read forever.
TEST_F(CliTest, ALineLongerThanTheMemoryOfARunEndsTheRun)
{
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer cannot start under a limit of the address space";
#endif
#endif
    ChildSetup limited;
    limited.memoryLimit = 128 << 20;
    const CliRun run = Run({"/dev/zero", Path("o.AUS")}, limited);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tolvar-cli: Nicht gen\u00fcgend Arbeitsspeicher f\u00fcr diese Berechnung!\n");
    EXPECT_FALSE(test_support::FileExists(Path("o.AUS")));
}

// A NaN in the design: L1 keeps the unknowns finite but shows "nan" as the
// correction of its row. That is no success, by the engine or the library.
TEST_F(CliTest, ANonFiniteNumberInTheTableExitsWithOne)
{
    const std::string in = Path("nan.EIN");
    const std::string out = Path("nan.AUS");
    // The message names the first value of the file that is not finite.
    const std::pair<const char*, const char*> files[] = {
        {"1\r\n1\r\nnan\r\n1\r\n1 1\r\n2 1\r\n3 1\r\n4 1\r\n", "Zeile 3, Wert 1"},
        {"1 1\r\n1 2\r\n1 3\r\n1 1\r\n1e309 1\r\n3 1\r\n", "Zeile 5, Wert 1"},
    };
    for (const auto& [text, place] : files) {
        test_support::WriteBytes(in, text);
        for (const std::vector<std::string>& method : {std::vector<std::string>{"-m", "l1"}, {"-m", "lp", "-p", "1"}}) {
            const CliRun run = Run(WithFiles(method, in, out));
            EXPECT_EQ(run.exitCode, 1) << method.back();
            EXPECT_EQ(run.err, "tolvar-cli: " + out + ": Bei der Berechnung ist ein Fehler aufgetreten! (" + in + ", " +
                                   place + ")\n");
            EXPECT_NE(test_support::ReadBytes(out).find("nan"), std::string::npos);
        }
    }
}

// A design piece that is no number keeps its 0, but the command line says
// where it is: the first ten one by one, the rest counted.
TEST_F(CliTest, DesignPiecesThatAreNoNumberAreWarnedAbout)
{
    const std::string in = Path("words.EIN");
    const std::string out = Path("words.AUS");
    // The observation block is read as "%lf%lf" reads it: what follows the
    // weight stays unread, and is said with its place.
    test_support::WriteBytes(in, "1 2\r\n1 zwei\r\n1 3,5\r\n1 1\r\n3.4 2,5\r\n2.5 1 ; note \r\n");
    for (const std::vector<std::string>& method : {std::vector<std::string>{"-m", "l1"}, {"-m", "lp", "-p", "2"}}) {
        const CliRun run = Run(WithFiles(method, in, out));
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, "tolvar-cli: " + in + ": Zeile 2, Stelle 3: \"zwei\" ist keine Zahl, gelesen als 0\n" +
                               "tolvar-cli: " + in + ": Zeile 3, Stelle 3: \"3,5\" ist keine Zahl, gelesen als 3\n" +
                               "tolvar-cli: " + in + ": Zeile 5, Stelle 6: \",5\" nach dem Gewicht wird nicht gelesen\n" +
                               "tolvar-cli: " + in + ": Zeile 6, Stelle 7: \"; note\" nach dem Gewicht wird nicht gelesen\n");
    }
    std::string many;
    for (int i = 0; i < 13; ++i)
        many += "1 x\r\n";
    for (int i = 0; i < 13; ++i)
        many += std::to_string(i) + " 1\r\n";
    test_support::WriteBytes(in, many);
    const CliRun run = Run({"-m", "l1", in, out});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.err.find("Zeile 10, Stelle 3"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Zeile 11,"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(in + ": 3 weitere Werte der Designmatrix sind keine Zahl\n"), std::string::npos) << run.err;

    // A byte-order mark is no piece: no warning, the report of the file without it.
    const std::string clean = test_support::ReadBytes(test_support::StackLossFile());
    test_support::WriteBytes(in, "\xEF\xBB\xBF" + clean);
    const CliRun marked = Run({in, out});
    EXPECT_EQ(marked.exitCode, 0);
    EXPECT_EQ(marked.err, "");
    ASSERT_EQ(Run({test_support::StackLossFile(), Path("clean.AUS")}).exitCode, 0);
    EXPECT_EQ(test_support::ReadBytes(out), test_support::ReadBytes(Path("clean.AUS")));
}

// ---- Results for scripts: --results, --scale mad, --summary

using test_support::JsonNumbers;
using test_support::JsonValues;

// The observations (from 1) whose JSON flag is true.
std::set<int> Flagged(const std::string& json, const char* flag)
{
    std::set<int> numbers;
    const std::vector<std::string> values = JsonValues(json, flag);
    for (std::size_t i = 0; i < values.size(); ++i)
        if (values[i] == "true")
            numbers.insert(static_cast<int>(i) + 1);
    return numbers;
}

// The file holds the numbers of the run in this process, exactly.
TEST_F(CliTest, ResultsFileHoldsTheRunsOwnNumbers)
{
    const std::string in = test_support::StackLossFile();
    ASSERT_EQ(Run({"--results", Path("r.json"), in, Path("r.AUS")}).exitCode, 0);
    Matrix A, l, p;
    ASSERT_EQ(ReadInputFileWeightVector(in, A, l, p), 0);
    CEstimator engine;
    engine.SetOutputFile(Path("engine.AUS"));
    engine.TuningConstant = 1.5;
    ASSERT_EQ(engine.RunWithWeightVector(A, l, p, kMethodHuber, 0.0, 1000, 1e-5), kRunSuccess);
    const AdjustmentResults& expected = engine.Results();
    const std::string json = test_support::ReadBytes(Path("r.json"));
    EXPECT_EQ(JsonNumbers(json, "s0"), std::vector<double>{expected.s0});
    EXPECT_EQ(JsonNumbers(json, "standardDeviation"), expected.standardDeviations);
    const std::vector<double> corrections = JsonNumbers(json, "correction");
    const std::vector<double> weights = JsonNumbers(json, "robustWeight");
    ASSERT_EQ(corrections.size(), 21u);
    for (int i = 0; i < 21; ++i) {
        EXPECT_EQ(corrections[i], expected.corrections(i, 0)) << i;
        EXPECT_EQ(weights[i], expected.robustWeights[i]) << i;
    }
    EXPECT_EQ(Flagged(json, "downWeighted"), (std::set<int>{1, 3, 4, 6, 9, 13, 15, 20, 21}));
}

// --scale mad: the report is byte for byte that of a run with -c c * s as
// standard error and the results file give it; both name c and s.
TEST_F(CliTest, ScaledConstantGivesTheReportOfThatFixedConstant)
{
    struct Case {
        std::string input;
        std::vector<std::string> method;
        double c;
    };
    for (const Case& run : {Case{test_support::StackLossFile(), {"-m", "huber"}, 1.5},
                            Case{test_support::StackLossFile(), {"-m", "welsch", "-c", "2"}, 2.0},
                            Case{test_support::ExampleFile("levelling_network.EIN"), {}, 1.5}}) {
        std::vector<std::string> args = run.method;
        args.insert(args.end(), {"--scale", "MAD", "--results", Path("s.json"), run.input, Path("scaled.AUS")});
        const CliRun scaled = Run(args);
        ASSERT_EQ(scaled.exitCode, 0) << scaled.err;
        const std::string json = test_support::ReadBytes(Path("s.json"));
        const double s = JsonNumbers(json, "s").at(0);
        const double effective = JsonNumbers(json, "tuningConstant").at(0);
        EXPECT_EQ(JsonNumbers(json, "c").at(0), run.c);
        EXPECT_EQ(effective, run.c * s);
        std::string constant;
        AppendShortest(constant, effective);
        std::string said = "tolvar-cli: --scale mad: s = ";
        AppendShortest(said, s);
        said += ", c = ";
        AppendShortest(said, run.c);
        EXPECT_EQ(scaled.err, said + ", Tuning-Konstante c \u00b7 s = " + constant + "\n");

        std::vector<std::string> fixed(run.method.begin(), run.method.begin() + (run.method.empty() ? 0 : 2));
        fixed.insert(fixed.end(), {"-c", constant, run.input, Path("fixed.AUS")});
        ASSERT_EQ(Run(fixed).exitCode, 0);
        EXPECT_EQ(test_support::ReadBytes(Path("scaled.AUS")), test_support::ReadBytes(Path("fixed.AUS"))) << run.input;
    }
}

// The first fenced block after the block holding call in a Markdown file.
std::string BlockAfter(const std::string& markdown, const std::string& call)
{
    const std::size_t at = markdown.find(call);
    const std::size_t callBlockEnd = markdown.find("\n```\n", at);
    const std::size_t open = markdown.find("\n```\n", callBlockEnd + 5);
    const std::size_t close = markdown.find("\n```", open + 5);
    if (at == std::string::npos || callBlockEnd == std::string::npos || open == std::string::npos ||
        close == std::string::npos)
        return "(no block after " + call + ")";
    return markdown.substr(open + 5, close + 1 - (open + 5));
}

// The levelling example in metres: Huber's default constant lies far beyond
// every residual, nothing is down-weighted; scaled, it flags the blunder B
// to D alone, as both READMEs show with the call's output.
TEST_F(CliTest, ScaledHuberFlagsTheBlunderOfTheLevellingExampleAsTheReadmesShow)
{
    const std::string in = test_support::ExampleFile("levelling_network.EIN");
    const CliRun plain = Run({"--summary", in, Path("plain.AUS")});
    EXPECT_NE(plain.out.find("Gewicht w < 1: 0, davon verworfen (w = 0): 0\n"), std::string::npos) << plain.out;
    const CliRun scaled = Run({"--scale", "mad", "--summary", in, Path("levelling.AUS")});
    ASSERT_EQ(scaled.exitCode, 0);
    EXPECT_NE(scaled.out.find("Gewicht w < 1: 1, davon verworfen (w = 0): 0\n"), std::string::npos) << scaled.out;
    EXPECT_NE(scaled.out.find("\n       6 "), std::string::npos) << scaled.out;
    EXPECT_EQ(BlockAfter(test_support::ReadBytes(test_support::ExampleFile("README.md")),
                         "tolvar-cli --scale mad --summary examples/levelling_network.EIN levelling.AUS"),
              scaled.err + scaled.out);
    EXPECT_EQ(BlockAfter(test_support::ReadBytes(TOLVAR_SOURCE_DIR "/README.md"), "tolvar-cli --scale mad --summary"),
              scaled.err + scaled.out);
}

// A scale of 0 (more than half the least-squares residuals 0) is refused
// before the report; a results file that cannot be written fails the run.
TEST_F(CliTest, ScaleZeroAndUnwritableResultsExitWithOne)
{
    const std::string exact = Path("exact.EIN");
    test_support::WriteInput(exact, {{1}, {1}, {1}}, {2, 2, 2}, {1, 1, 1});
    const CliRun zero = Run({"--scale", "mad", exact, Path("never.AUS")});
    EXPECT_EQ(zero.exitCode, 1);
    EXPECT_NE(zero.err.find("--scale mad: Die robuste Streuung s der Residuen nach kleinsten Quadraten ist 0;"),
              std::string::npos)
        << zero.err;
    EXPECT_FALSE(test_support::FileExists(Path("never.AUS")));
    const CliRun unwritable = Run({"--results", Path("no/dir/r.json"), exact, Path("ok.AUS")});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find(Path("no/dir/r.json")), std::string::npos) << unwritable.err;
}

// --scale mad-each-pass: the results files and the summary give the last s
// and the passes, standard error says s; s = 0 and the pass limit end the
// run with a message and a report of finite numbers.
TEST_F(CliTest, ScaleEachPassGivesTheLastScaleAndSaysWhyItEnded)
{
    const std::string in = test_support::StackLossFile();
    const test_support::PeerFit& peer = test_support::kStatsmodelsScaleEachPass[1]; // Huber 1.5
    const std::vector<std::string> args = {"--scale", "mad-each-pass", "-s", "1e-12", "--summary", in, Path("e.AUS")};
    std::vector<std::string> json = args;
    json.insert(json.begin(), {"--results", Path("e.json")});
    const CliRun run = Run(json);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string results = test_support::ReadBytes(Path("e.json"));
    EXPECT_EQ(JsonValues(results, "rule").at(0), "\"mad-each-pass\"");
    const double s = JsonNumbers(results, "s").at(0);
    const int passes = static_cast<int>(JsonNumbers(results, "passes").at(0));
    EXPECT_NEAR(s, peer.scale, 1e-8 * peer.scale);
    EXPECT_EQ(JsonNumbers(results, "tuningConstant").at(0), 1.5 * s);
    const std::string last = FormatShortest(s);
    EXPECT_EQ(run.err, "tolvar-cli: --scale mad-each-pass: zuletzt s = " + last + ", c = 1.5, Tuning-Konstante c \u00b7 s = " +
                           FormatShortest(1.5 * s) + "\n");
    EXPECT_NE(run.out.find(" = c \u00b7 s mit c = 1.5, zuletzt s = " + last + "\nIterationen: " +
                           std::to_string(passes) + " (Abbruchkriterium erreicht"),
              std::string::npos)
        << run.out;
    std::vector<std::string> csv = args;
    csv.insert(csv.begin(), {"--results", Path("e.csv")});
    ASSERT_EQ(Run(csv).exitCode, 0);
    EXPECT_NE(test_support::ReadBytes(Path("e.csv")).find("# scale_rule,mad-each-pass\n# given_tuning_constant,1.5\n# scale," + last + "\n"),
              std::string::npos);

    const std::string exact = Path("seven.EIN");
    test_support::WriteInput(exact, {{1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}}, {1, 1, 1, 1, 1, 1, 1, 9},
                             {1, 1, 1, 1, 1, 1, 1, 1});
    const CliRun zero = Run({"-m", "talwar", "--scale", "mad-each-pass", exact, Path("zero.AUS")});
    EXPECT_EQ(zero.exitCode, 0);
    EXPECT_NE(zero.err.find("Residuen ist nach Iteration 2 gleich 0, mehr als die H\u00e4lfte"), std::string::npos)
        << zero.err;
    EXPECT_EQ(test_support::ReadBytes(Path("zero.AUS")).find("nan"), std::string::npos);
    const CliRun limit = Run({"--scale", "mad-each-pass", "-i", "3", in, Path("limit.AUS")});
    EXPECT_EQ(limit.exitCode, 0);
    EXPECT_NE(limit.err.find("; nach 4 Iterationen nicht konvergiert (gr\u00f6\u00dfte \u00c4nderung "), std::string::npos)
        << limit.err;
}

TEST_F(CliTest, ResultOptionErrorsExitWithTwoBeforeAnyFileIsTouched)
{
    const std::string in = Path("in.json"); // an input file with a name a results file may have
    test_support::WriteInput(in, {{1}, {1}, {1}}, {1, 2, 4}, {1, 1, 1});
    const std::string input = test_support::ReadBytes(in);
    const std::string out = Path("never.AUS");
    const std::string results = Path("never.json");
    // A plot that is the results file by a link: the extensions cannot meet otherwise.
    const std::string picture = Path("bild.png");
    std::filesystem::create_symlink(results, picture);
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--results", Path("r.txt"), in, out}, "--results: Der Dateiname muss auf .json oder .csv enden."},
        {{"--results=", in, out}, "auf .json oder .csv enden"},
        {{"--scale", "iqr", "--results", results, in, out}, "--scale: Bekannt sind mad und mad-each-pass."},
        {{"-m", "l1", "--scale", "mad-each-pass", in, out}, "--scale gilt nur f\u00fcr die Ea-Sch\u00e4tzer"},
        {{"-m", "l1", "--scale", "mad", "--results", results, in, out}, "--scale gilt nur f\u00fcr die Ea-Sch\u00e4tzer"},
        {{"-m", "lp", "-p", "2", "--scale", "mad", in, out}, "--scale gilt nur"},
        {{"--summary=yes", in, out}, "nimmt keinen Wert"},
        {{"--results", in, in, out}, "Ein- und Ausgabedatei sind dieselbe Datei!"},
        {{"--results", Path("./never.json"), in, results}, "Protokoll und Ergebnisse sind dieselbe Datei!"},
        {{"--results", results, "--plot", picture, in, out}, "Grafik und Ergebnisse sind dieselbe Datei!"},
    };
    for (const Case& c : cases) {
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, 2) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_FALSE(test_support::FileExists(out));
    EXPECT_FALSE(test_support::FileExists(results));
    EXPECT_EQ(test_support::ReadBytes(in), input);
}

} // namespace

// ---- Tests of the observations

// A blunder of 15 cm in observation 4 of the levelling example: least
// squares with data snooping flags it alone and the global test fails; the
// JSON and CSV files say the same as the summary. Without the blunder the
// global test passes, as the READMEs show with the call's output.
TEST_F(CliTest, DataSnoopingFlagsTheBlunderInBothResultsFormats)
{
    Matrix A, l, p;
    ASSERT_EQ(ReadInputFileWeightVector(test_support::ExampleFile("levelling_network.EIN"), A, l, p), 0);
    l(3, 0) += 0.15;
    const std::string in = Path("blunder.EIN");
    ASSERT_EQ(WriteInputFile(in, A, l, p), 0);
    const std::vector<std::string> call = {"-m", "lp-irls", "-p", "2", "--sigma0", "0.02", "--summary"};
    CliRun run = Run(WithFiles(call, in, Path("b.AUS")));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(": nicht bestanden\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1 markiert"), std::string::npos) << run.out;
    for (const char* file : {"b.json", "b.csv"}) {
        std::vector<std::string> args = {"-m", "lp-irls", "-p", "2", "--sigma0", "0.02", "--results", Path(file)};
        ASSERT_EQ(Run(WithFiles(args, in, Path("b.AUS"))).exitCode, 0);
    }
    const std::string json = test_support::ReadBytes(Path("b.json"));
    EXPECT_EQ(Flagged(json, "flagged"), std::set<int>{4});
    EXPECT_EQ(JsonValues(json, "passed"), std::vector<std::string>{"false"});
    EXPECT_EQ(JsonValues(json, "weights"), std::vector<std::string>{"\"given\""});
    // Each unknown lies inside its confidence interval, lower bound first.
    const std::vector<double> value = JsonNumbers(json, "value");
    const std::vector<double> lower = JsonNumbers(json, "confidenceLower");
    const std::vector<double> upper = JsonNumbers(json, "confidenceUpper");
    ASSERT_EQ(lower.size(), 3u);
    ASSERT_EQ(upper.size(), 3u);
    for (std::size_t j = 0; j < 3; ++j)
        EXPECT_TRUE(lower[j] < value[j] && value[j] < upper[j]) << j;
    const std::string csv = test_support::ReadBytes(Path("b.csv"));
    EXPECT_NE(csv.find("# global_passed,0\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",redundancy,standardized,studentized,mdb,uncontrolled,flagged\n"), std::string::npos);
    const std::size_t row = csv.find("\n4,");
    ASSERT_NE(row, std::string::npos);
    EXPECT_EQ(csv.substr(csv.find('\n', row + 1) - 4, 4), ",0,1") << csv.substr(row, 200);

    const std::string clean = test_support::ExampleFile("levelling_network.EIN");
    run = Run(WithFiles(call, clean, Path("levelling.AUS")));
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find(": bestanden\n"), std::string::npos) << run.out;
    const std::string shown = "tolvar-cli -m lp-irls -p 2 --sigma0 0.02 --summary examples/levelling_network.EIN";
    EXPECT_EQ(BlockAfter(test_support::ReadBytes(test_support::ExampleFile("README.md")), shown), run.out);
    EXPECT_EQ(BlockAfter(test_support::ReadBytes(TOLVAR_SOURCE_DIR "/README.md"), shown), run.out);
}

// Failed runs and one without redundancy: the first are not tested at all,
// the second says that its tests are not defined.
TEST_F(CliTest, AFailedRunIsNotTestedAndNoRedundancyIsSaid)
{
    const CliRun failed =
        Run({"-m", "talwar", "--results", Path("t.json"), "--summary", AllWeightsLostInput(), Path("t.AUS")});
    EXPECT_EQ(failed.exitCode, 1);
    const std::string json = test_support::ReadBytes(Path("t.json"));
    EXPECT_NE(json.find("\"s0\""), std::string::npos);
    EXPECT_EQ(json.find("\"tests\""), std::string::npos) << json;
    EXPECT_EQ(json.find("\"redundancy\": 0"), std::string::npos);
    EXPECT_EQ(failed.out.find("Tests"), std::string::npos) << failed.out;
    // Finite but short of the minimiser: failed too, not tested either.
    const CliRun shortRun = Run({"-q", "-m", "lp", "-p", "10", "-i", "2", "--results", Path("short.json"),
                                 test_support::StackLossFile(), Path("short.AUS")});
    EXPECT_EQ(shortRun.exitCode, 1);
    const std::string shortJson = test_support::ReadBytes(Path("short.json"));
    EXPECT_NE(shortJson.find("\"s0\""), std::string::npos);
    EXPECT_EQ(shortJson.find("\"tests\""), std::string::npos);

    const std::string square = Path("square.EIN");
    test_support::WriteInput(square, {{1, 0}, {1, 1}}, {1, 3}, {1, 1});
    const CliRun none = Run({"-m", "l1", "--results", Path("s.csv"), "--summary", square, Path("s.AUS")});
    EXPECT_EQ(none.exitCode, 0) << none.err;
    EXPECT_NE(none.out.find("Tests nicht definiert: n = u, keine Redundanz\n"), std::string::npos) << none.out;
    const std::string csv = test_support::ReadBytes(Path("s.csv"));
    EXPECT_NE(csv.find("# tests_defined,0\n# note,n = u: no redundancy; the tests are not defined\n"),
              std::string::npos)
        << csv;
    EXPECT_NE(csv.find("# global_passed,\n"), std::string::npos) << csv;
}

// Every factor from 1 to 1e300 reaches the Lp minimiser, by tolvar-cli and
// by LP alike: its largest residual lies between the minimax optimum t* and
// n^(1/p) t* (||r_p||_inf <= ||r_p||_p <= ||r_minimax||_p <= n^(1/p) t*),
// so within 1e-9 of t* for the very large factors; never least squares.
TEST_F(CliTest, EveryNormFactorReachesTheMinimiser)
{
    void* handle = dlopen(TOLVAR_BIN_DIR "/libnormex.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto lp = reinterpret_cast<int (*)(char*, int)>(dlsym(handle, "LP"));
    ASSERT_NE(lp, nullptr);
    const std::string in = test_support::StackLossFile();
    const double t = test_support::kStackLossMinimaxValue;
    for (const char* factor : {"1.0001", "2", "3", "25", "1e3", "1e5", "5e5", "1e6", "1e12", "1e300"}) {
        SCOPED_TRACE(factor);
        const std::string out = Path("lp.AUS");
        const std::string json = Path("lp.json");
        const CliRun run = Run({"-q", "-m", "lp", "-p", factor, "--results", json, in, out});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(test_support::JsonValues(test_support::ReadBytes(json), "optimality"),
                  std::vector<std::string>{"\"proved\""});
        double largest = 0.0;
        for (double v : test_support::JsonNumbers(test_support::ReadBytes(json), "correction"))
            largest = std::max(largest, std::fabs(v));
        const double p = std::stod(factor);
        if (p >= 25.0) {
            EXPECT_GE(largest, t * (1.0 - 1e-12));
            EXPECT_LE(largest, t * std::max(std::pow(21.0, 1.0 / p), 1.0 + 1e-9));
        }
        std::vector<char> command = LpCommandBuffer(BuildLpCommand(in, Path("lib.AUS"), 21, 4, p, 1000));
        EXPECT_EQ(lp(command.data(), static_cast<int>(command.size())), NORMEX_SUCCESS);
        EXPECT_EQ(test_support::ReadBytes(out), test_support::ReadBytes(Path("lib.AUS")));
    }
}

// The cases the check exists for, run as a user runs them.
TEST_F(CliTest, AnswersWithoutCertificateFail)
{
    // x in [-9, -3], the powers 0 .. 10 as columns: numerically singular.
    std::string design;
    std::string observations;
    for (int i = 0; i < 82; ++i) {
        const double x = -9.0 + 6.0 * i / 81.0;
        for (int k = 0; k <= 10; ++k) {
            AppendShortest(design, std::pow(x, k));
            design += " ";
        }
        design += "\n";
        AppendShortest(observations, 1.0 / (1.0 + 0.01 * x * x) + 0.003 * std::sin(7.0 * i));
        observations += " 1\n";
    }
    const std::string polynomial = Path("poly.EIN");
    test_support::WriteBytes(polynomial, design + observations);
    // n = 2, u = 50000: the u x u work is never touched, and refused at once.
    std::string wide;
    for (int row = 0; row < 2; ++row) {
        for (int j = 0; j < 50000; ++j)
            wide += row == 0 ? "1 " : "2 ";
        wide += "\n";
    }
    const std::string under = Path("under.EIN");
    test_support::WriteBytes(under, wide + "1 1\n2 1\n");
    const std::string out = Path("o.AUS");
    const std::string singular = "Bei der Berechnung ist ein Fehler aufgetreten! Die Normalgleichungen sind "
                                 "numerisch singul\u00e4r.";
    const std::string tooFew = "Weniger Beobachtungen als Unbekannte: die L\u00f6sung ist nicht eindeutig.";
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"-m", "lp-irls", "-p", "2", polynomial, out}, out + ": " + singular},
        {{"-m", "huber", "-c", "1e8", polynomial, out}, out + ": " + singular},
        {{"-m", "lp", "-p", "2", polynomial, out}, out + ": " + singular},
        {{"-m", "l1", under, out}, under + ": " + tooFew},
        {{"-m", "huber", under, out}, under + ": " + tooFew},
        {{"-m", "lp", "-p", "1e6", under, out}, under + ": " + tooFew},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "-q");
        const CliRun run = Run(args);
        SCOPED_TRACE(c.args[1]);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "tolvar-cli: " + c.message + "\n");
    }
}
