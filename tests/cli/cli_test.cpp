// tolvar-cli run as a user runs it: a child process with its arguments,
// exit status, standard output and standard error.

#include "core/estimator.h"
#include "core/number_text.h"
#include "core/report.h"
#include "io/input_file.h"
#include "results_reader.h"
#include "normex/command_text.h"
#include "normex/normex.h"
#include "report_reader.h"
#include "stack_loss.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
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

class CliTest : public ::testing::Test {
protected:
    // Runs tolvar-cli with standard output and error going to files.
    CliRun Run(std::vector<std::string> args)
    {
        const std::string outPath = Path("stdout.txt");
        const std::string errPath = Path("stderr.txt");
        std::vector<char*> argv = ArgumentVector(args);
        const pid_t pid = fork();
        if (pid == 0) {
            const int in = open("/dev/null", O_RDONLY);
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(in, 0);
            dup2(out, 1);
            dup2(err, 2);
            execv(kCli.c_str(), argv.data());
            _exit(127);
        }
        CliRun run;
        run.exitCode = ExitCodeOf(pid);
        run.out = test_support::ReadBytes(outPath);
        run.err = test_support::ReadBytes(errPath);
        return run;
    }

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
        EXPECT_EQ(run.err, "") << name; // no terminal: no progress, no message
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
        {{"-m", "lp", in, out}, "Normfaktor (-p)"},
        {{"-m", "lp-irls", in, out}, "Normfaktor (-p)"},
        {{"-m", "lp", "-p", "0.5", in, out}, "mindestens 1"},
        {{"-p", "2", in, out}, "nur f\u00fcr lp und lp-irls"},
        {{"-m", "l1", "-c", "1", in, out}, "nur f\u00fcr die Ea-Sch\u00e4tzer"},
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

TEST_F(CliTest, FaultyInputNamesTheFile)
{
    const std::string out = Path("out.AUS");
    const std::string missing = Path("missing.EIN");
    CliRun run = Run({missing, out});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "tolvar-cli: " + missing + ": Fehler beim \u00d6ffnen der Eingabedatei!!\n");

    const std::string noWeight = Path("noweight.EIN");
    test_support::WriteInput(noWeight, {{1.0}, {1.0}}, {1.0, 2.0}, {1.0, 0.0});
    run = Run({"-m", "lp", "-p", "25", noWeight, out});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "tolvar-cli: " + noWeight + ": Fehler in der Eingabedatei. Kein oder negatives Gewicht!!!\n");

    const std::string empty = Path("empty.EIN");
    test_support::WriteInput(empty, {}, {}, {});
    run = Run({"-m", "welsch", empty, out});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find(empty + ": Fehler in der Eingabedatei. Keine Beobachtungen vorhanden!"), std::string::npos);
    EXPECT_FALSE(test_support::FileExists(out));
}

TEST_F(CliTest, FailedComputationExitsWithOne)
{
    const std::string in = test_support::StackLossFile();
    const std::string unwritable = Path("no/such/dir/out.AUS");
    for (const std::vector<std::string>& method :
         {std::vector<std::string>{"-m", "huber"}, {"-m", "l1"}, {"-m", "lp", "-p", "25"}, {"-m", "lp", "-p", "2"}}) {
        std::vector<std::string> args = method;
        args.push_back(in);
        args.push_back(unwritable);
        const CliRun run = Run(args);
        EXPECT_EQ(run.exitCode, 1) << method.back();
        EXPECT_EQ(run.err, "tolvar-cli: Fehler beim \u00d6ffnen der Datei " + unwritable + "!\n");
    }

    // Talwar with c = 2.795 on l = (1, 2, 3, 4, 100): every residual of the
    // first pass exceeds c, all weights become 0, the second pass is not
    // finite. The report is still written, with count 2.
    const std::string talwar = Path("talwar.EIN");
    const std::string out = Path("talwar.AUS");
    test_support::WriteInput(talwar, {{1}, {1}, {1}, {1}, {1}}, {1, 2, 3, 4, 100}, {1, 1, 1, 1, 1});
    const CliRun run = Run({"-m", "talwar", talwar, out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tolvar-cli: " + out + ": Bei der Berechnung ist ein Fehler aufgetreten!\n");
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
        for (const char* word : {"--tuning", "--norm", "--iterations", "--stop", "--quiet", "Biweight 4.685", "--results",
                                 "--scale mad", "--summary", "= \u221a(\u03a3 w_i p_i v_i\u00b2 / (n \u2212 u))\n"})
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
    EXPECT_NE(bad.err.find("no/dir/plot.png"), std::string::npos) << bad.err;
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

TEST_F(CliTest, ResultOptionErrorsExitWithTwoBeforeAnyFileIsTouched)
{
    const std::string in = Path("in.json"); // an input file with a name a results file may have
    test_support::WriteInput(in, {{1}, {1}, {1}}, {1, 2, 4}, {1, 1, 1});
    const std::string input = test_support::ReadBytes(in);
    const std::string out = Path("never.AUS");
    const std::string results = Path("never.json");
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--results", Path("r.txt"), in, out}, "--results: Der Dateiname muss auf .json oder .csv enden."},
        {{"--results=", in, out}, "auf .json oder .csv enden"},
        {{"--scale", "iqr", "--results", results, in, out}, "--scale: Bekannt ist nur mad."},
        {{"-m", "l1", "--scale", "mad", "--results", results, in, out}, "--scale gilt nur f\u00fcr die Ea-Sch\u00e4tzer"},
        {{"-m", "lp", "-p", "2", "--scale", "mad", in, out}, "--scale gilt nur"},
        {{"--summary=yes", in, out}, "nimmt keinen Wert"},
        {{"--results", in, in, out}, "ist schon die Eingabe-, Ausgabe- oder Grafikdatei"},
        {{"--results", Path("./never.json"), in, results}, "ist schon die"},
        {{"--results", results, "--plot", results, in, out}, "ist schon die"},
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
