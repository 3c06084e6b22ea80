// tolvar-cli run as a user runs it: a child process with its arguments,
// exit status, standard output and standard error.

#include "core/estimator.h"
#include "core/number_text.h"
#include "core/report.h"
#include "io/input_file.h"
#include "json_reader.h"
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
#include <sstream>
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
        for (const char* word : {"--tuning", "--norm", "--iterations", "--stop", "--quiet", "Biweight 4.685"})
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

using test_support::JsonValue;
using test_support::ParseJson;

// The observations (from 1) whose JSON flag is set.
std::set<int> Flagged(const JsonValue& json, const char* flag)
{
    std::set<int> numbers;
    for (const JsonValue& row : json["observations"].items)
        if (row[flag].boolean)
            numbers.insert(static_cast<int>(row["number"].number));
    return numbers;
}

// The numbers of one CSV row after its observation number.
std::vector<double> CsvNumbers(const std::string& line)
{
    std::vector<double> numbers;
    std::stringstream stream(line);
    std::string field;
    std::getline(stream, field, ',');
    while (std::getline(stream, field, ','))
        numbers.push_back(std::strtod(field.c_str(), nullptr));
    return numbers;
}

// The run's own numbers, from the engine in this process, read back from
// both files exactly; the flags are the certified ones.
TEST_F(CliTest, ResultsFilesHoldTheRunsOwnNumbers)
{
    const std::string in = test_support::StackLossFile();
    const std::string json = Path("r.json");
    const std::string csv = Path("r.CSV");
    ASSERT_EQ(Run({"--results", json, in, Path("a.AUS")}).exitCode, 0);
    ASSERT_EQ(Run({"--results=" + csv, in, Path("b.AUS")}).exitCode, 0);
    EXPECT_EQ(test_support::ReadBytes(Path("a.AUS")), test_support::ReadBytes(Path("b.AUS")));

    Matrix A, l, p;
    ASSERT_EQ(ReadInputFileWeightVector(in, A, l, p), 0);
    CEstimator engine;
    engine.SetOutputFile(Path("engine.AUS"));
    engine.TuningConstant = 1.5;
    ASSERT_EQ(engine.RunWithWeightVector(A, l, p, kMethodHuber, 0.0, 1000, 1e-5), kRunSuccess);
    const AdjustmentResults& expected = engine.Results();

    const JsonValue results = ParseJson(test_support::ReadBytes(json));
    ASSERT_EQ(results.kind, JsonValue::kObject);
    EXPECT_EQ(results["method"].text, "huber");
    EXPECT_EQ(results["tuningConstant"].number, 1.5);
    EXPECT_EQ(results["stop"].text, "criterion");
    EXPECT_EQ(results["passes"].number, expected.passes.value());
    EXPECT_EQ(results["s0"].number, expected.s0);
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(results["unknowns"].items.at(j)["value"].number, expected.unknowns(j, 0)) << j;
        EXPECT_EQ(results["unknowns"].items.at(j)["standardDeviation"].number, expected.standardDeviations[j]) << j;
    }
    EXPECT_EQ(Flagged(results, "downWeighted"), (std::set<int>{1, 3, 4, 6, 9, 13, 15, 20, 21}));
    EXPECT_TRUE(Flagged(results, "rejected").empty());

    std::stringstream rows(test_support::ReadBytes(csv));
    std::string line;
    while (std::getline(rows, line) && line.rfind("number,", 0) != 0) {
    }
    for (int i = 0; i < 21; ++i) {
        ASSERT_TRUE(std::getline(rows, line)) << i;
        const std::vector<double> numbers = CsvNumbers(line);
        ASSERT_EQ(numbers.size(), 8u) << line;
        const JsonValue& row = results["observations"].items.at(i);
        EXPECT_EQ(numbers[0], expected.observed(i, 0)) << i;
        EXPECT_EQ(numbers[2], expected.corrections(i, 0)) << i;
        EXPECT_EQ(numbers[3], expected.Adjusted(i)) << i;
        EXPECT_EQ(numbers[4], expected.robustWeights[i]) << i;
        EXPECT_EQ(row["correction"].number, numbers[2]) << i;
        EXPECT_EQ(row["robustWeight"].number, numbers[4]) << i;
    }
    EXPECT_FALSE(std::getline(rows, line));
}

// --scale mad: the report is the one of a fixed-constant run with c * s,
// byte for byte; standard error and the results file name c and s.
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
        for (const std::string& arg : {std::string("--scale"), std::string("MAD"), std::string("--results"),
                                       Path("s.json"), run.input, Path("scaled.AUS")})
            args.push_back(arg);
        const CliRun scaled = Run(args);
        ASSERT_EQ(scaled.exitCode, 0) << scaled.err;
        const JsonValue results = ParseJson(test_support::ReadBytes(Path("s.json")));
        const double c = results["tuningScale"]["c"].number;
        const double s = results["tuningScale"]["s"].number;
        const double effective = results["tuningConstant"].number;
        EXPECT_EQ(c, run.c);
        EXPECT_EQ(effective, c * s);
        std::string said = "tolvar-cli: --scale mad: s = ";
        AppendShortest(said, s);
        said += ", c = ";
        AppendShortest(said, c);
        said += ", Tuning-Konstante c \u00b7 s = ";
        AppendShortest(said, effective);
        EXPECT_EQ(scaled.err, said + "\n");

        std::string constant;
        AppendShortest(constant, effective);
        std::vector<std::string> fixed = {"-c", constant};
        if (!run.method.empty())
            fixed.insert(fixed.begin(), run.method.begin(), run.method.begin() + 2);
        fixed.push_back(run.input);
        fixed.push_back(Path("fixed.AUS"));
        ASSERT_EQ(Run(fixed).exitCode, 0);
        EXPECT_EQ(test_support::ReadBytes(Path("scaled.AUS")), test_support::ReadBytes(Path("fixed.AUS")))
            << run.input;
        EXPECT_NE(test_support::ParseReport(Path("scaled.AUS")).methodLine.find(FormatFixed6(effective)),
                  std::string::npos);
    }
}

// The levelling example in metres: Huber's default constant 1.5 lies far
// beyond every residual, so nothing is down-weighted; scaled by the spread
// of the residuals it flags the blunder of the line from B to D alone.
TEST_F(CliTest, ScaledHuberFlagsTheBlunderOfTheLevellingExample)
{
    const std::string in = test_support::ExampleFile("levelling_network.EIN");
    ASSERT_EQ(Run({"--results", Path("plain.json"), in, Path("plain.AUS")}).exitCode, 0);
    EXPECT_TRUE(Flagged(ParseJson(test_support::ReadBytes(Path("plain.json"))), "downWeighted").empty());
    const CliRun scaled = Run({"--scale", "mad", "--summary", "--results", Path("mad.json"), in, Path("mad.AUS")});
    ASSERT_EQ(scaled.exitCode, 0) << scaled.err;
    EXPECT_EQ(Flagged(ParseJson(test_support::ReadBytes(Path("mad.json"))), "downWeighted"), (std::set<int>{6}));
    EXPECT_NE(scaled.out.find("Beobachtungen mit Gewicht w < 1: 1, davon verworfen (w = 0): 0\n"), std::string::npos)
        << scaled.out;
    EXPECT_NE(scaled.out.find("\n       6 "), std::string::npos) << scaled.out;
    EXPECT_NE(scaled.out.find("Standardabw."), std::string::npos) << scaled.out;
}

TEST_F(CliTest, SummaryOnlyWhenAskedForAndForEveryWay)
{
    const std::string in = test_support::StackLossFile();
    EXPECT_EQ(Run({in, Path("quiet.AUS")}).out, "");
    const CliRun l1 = Run({"--summary", "-m", "lp", "-p", "1", "--results", Path("l1.csv"), in, Path("l1.AUS")});
    ASSERT_EQ(l1.exitCode, 0) << l1.err;
    EXPECT_NE(l1.out.find("Methode: lp, Normfaktor 1\n"), std::string::npos) << l1.out;
    EXPECT_NE(l1.out.find("Basisbeobachtungen (v = 0): 4\n"), std::string::npos) << l1.out;
    const std::string csv = test_support::ReadBytes(Path("l1.csv"));
    EXPECT_NE(csv.find("# method,lp\n# tuning_constant,\n"), std::string::npos) << csv;
    int basic = 0;
    std::stringstream rows(csv);
    std::string line;
    while (std::getline(rows, line))
        basic += line[0] != '#' && line.compare(line.size() - 2, 2, ",1") == 0 ? 1 : 0;
    EXPECT_EQ(basic, 4);
}

// A run that fails still leaves its results (null where not finite); a
// results file that cannot be written fails the run after the report.
TEST_F(CliTest, ResultsOfFailedRunsAndUnwritableResults)
{
    const std::string talwar = Path("talwar.EIN");
    test_support::WriteInput(talwar, {{1}, {1}, {1}, {1}, {1}}, {1, 2, 3, 4, 100}, {1, 1, 1, 1, 1});
    EXPECT_EQ(Run({"-m", "talwar", "--results", Path("t.json"), talwar, Path("t.AUS")}).exitCode, 1);
    const JsonValue results = ParseJson(test_support::ReadBytes(Path("t.json")));
    EXPECT_EQ(results["stop"].text, "not finite");
    EXPECT_EQ(results["unknowns"].items.at(0)["value"].kind, JsonValue::kNull);
    EXPECT_EQ(Flagged(results, "rejected"), (std::set<int>{1, 2, 3, 4, 5}));

    const std::string unwritable = Path("no/dir/r.json");
    const CliRun run = Run({"--results", unwritable, test_support::StackLossFile(), Path("ok.AUS")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(unwritable), std::string::npos) << run.err;
    EXPECT_TRUE(test_support::ParseReport(Path("ok.AUS")).ok);
}

// More than half of the least-squares residuals 0: the scale is 0 and the
// run is refused before the report is touched.
TEST_F(CliTest, ScaleZeroIsRefusedBeforeTheReport)
{
    const std::string exact = Path("exact.EIN");
    test_support::WriteInput(exact, {{1}, {1}, {1}}, {2, 2, 2}, {1, 1, 1});
    const CliRun run = Run({"--scale", "mad", exact, Path("never.AUS")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("--scale mad: Die robuste Streuung s der Residuen nach kleinsten Quadraten ist 0;"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(test_support::FileExists(Path("never.AUS")));
}

TEST_F(CliTest, ResultOptionErrorsExitWithTwoBeforeAnyFileIsTouched)
{
    const std::string in = Path("in.EIN");
    test_support::WriteInput(in, {{1}, {1}, {1}}, {1, 2, 4}, {1, 1, 1});
    const std::string input = test_support::ReadBytes(in);
    const std::string jsonNamedInput = Path("in.json"); // an input file with a name a results file may have
    test_support::WriteInput(jsonNamedInput, {{1}, {1}, {1}}, {1, 2, 4}, {1, 1, 1});
    const std::string out = Path("never.AUS");
    const std::string results = Path("never.json");
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--results", Path("r.txt"), in, out}, "--results: Der Dateiname muss auf .json oder .csv enden."},
        {{"--results=", in, out}, "auf .json oder .csv enden"},
        {{"--results"}, "braucht einen Wert"},
        {{"--scale", "iqr", "--results", results, in, out}, "--scale: Bekannt ist nur mad."},
        {{"-m", "l1", "--scale", "mad", "--results", results, in, out}, "--scale gilt nur f\u00fcr die Ea-Sch\u00e4tzer"},
        {{"-m", "lp", "-p", "2", "--scale", "mad", in, out}, "--scale gilt nur"},
        {{"--summary=yes", in, out}, "nimmt keinen Wert"},
        {{"--results", jsonNamedInput, jsonNamedInput, out}, "ist schon die Eingabe-, Ausgabe- oder Grafikdatei"},
        {{"--results", Path("./never.json"), in, results}, "ist schon die Eingabe-, Ausgabe- oder Grafikdatei"},
        {{"--results", results, "--plot", results, in, out}, "ist schon die"},
    };
    for (const Case& c : cases) {
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, 2) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << c.message;
    }
    EXPECT_FALSE(test_support::FileExists(out));
    EXPECT_FALSE(test_support::FileExists(results));
    EXPECT_EQ(test_support::ReadBytes(in), input);
    EXPECT_EQ(test_support::ReadBytes(jsonNamedInput), input);
}

// The text of the fenced block that follows the block holding call in a
// Markdown file.
std::string BlockAfter(const std::string& markdown, const std::string& call)
{
    const std::size_t at = markdown.find(call);
    if (at == std::string::npos)
        return "(call not found)";
    const std::size_t callBlockEnd = markdown.find("\n```\n", at);
    const std::size_t open = markdown.find("\n```\n", callBlockEnd + 5);
    const std::size_t close = markdown.find("\n```", open + 5);
    if (callBlockEnd == std::string::npos || open == std::string::npos || close == std::string::npos)
        return "(no block after the call)";
    return markdown.substr(open + 5, close + 1 - (open + 5));
}

// Both READMEs show what the levelling example's call prints, standard
// error first.
TEST_F(CliTest, ReadmesShowWhatTheLevellingCallPrints)
{
    const CliRun run =
        Run({"--scale", "mad", "--summary", test_support::ExampleFile("levelling_network.EIN"), Path("levelling.AUS")});
    ASSERT_EQ(run.exitCode, 0);
    const std::string shown = run.err + run.out;
    EXPECT_EQ(BlockAfter(test_support::ReadBytes(test_support::ExampleFile("README.md")),
                         "tolvar-cli --scale mad --summary examples/levelling_network.EIN levelling.AUS"),
              shown);
    EXPECT_EQ(BlockAfter(test_support::ReadBytes(TOLVAR_SOURCE_DIR "/README.md"), "tolvar-cli --scale mad --summary"),
              shown);
}

TEST_F(CliTest, HelpDescribesTheResultOptions)
{
    const CliRun run = Run({"--help"});
    for (const char* text : {"--results DATEI", "--scale mad", "--summary", "= \u221a(\u03a3 w_i p_i v_i\u00b2 / (n \u2212 u))\n",
                             "= s0 \u00b7 \u221aQ_jj\n", "= median(|v_i \u2212 median(v)|) / 0.6745\n"})
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
}

} // namespace
