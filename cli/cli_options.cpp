#include "cli/cli_options.h"

#include "core/file_path.h"
#include "core/methods.h"
#include "core/number_text.h"
#include "core/residual_scale.h"
#include "core/results_text.h"
#include "normex/normex.h"
#include "plot/plot_format.h"
#include "res/string_table.h"

#include <cmath>
#include <string_view>
#include <vector>

namespace {

// "lp": the Lp library's way, beside the engine's methods of core/methods.h.
constexpr const char* kLpLibraryName = "lp";

bool ParseNumber(std::string_view text, double& value)
{
    return ReadWholeNumber(text, value) == NumberText::kValid;
}

bool ParseInteger(std::string_view text, int& value)
{
    return ReadWholeInteger(text, value) == NumberText::kValid;
}

enum class OptionId {
    kMethod,
    kTuning,
    kNorm,
    kIterations,
    kStop,
    kQuiet,
    kPlot,
    kResults,
    kScale,
    kSummary,
    kSigma0,
    kAlpha,
    kPower,
    kConfidence,
    kSync,
    kHelp,
    kVersion
};


struct OptionEntry {
    OptionId id;
    char shortName; // 0: long form only
    const char* longName;
    bool takesValue;
};

constexpr OptionEntry kOptions[] = {
    {OptionId::kMethod, 'm', "method", true},      {OptionId::kTuning, 'c', "tuning", true},
    {OptionId::kNorm, 'p', "norm", true},          {OptionId::kIterations, 'i', "iterations", true},
    {OptionId::kStop, 's', "stop", true},          {OptionId::kQuiet, 'q', "quiet", false},
    {OptionId::kPlot, 0, "plot", true},            {OptionId::kResults, 0, "results", true},
    {OptionId::kScale, 0, "scale", true},          {OptionId::kSummary, 0, "summary", false},
    {OptionId::kSigma0, 0, "sigma0", true},        {OptionId::kAlpha, 0, "alpha", true},
    {OptionId::kPower, 0, "power", true},          {OptionId::kConfidence, 0, "confidence", true},
    {OptionId::kSync, 0, "sync", false},           {OptionId::kHelp, 'h', "help", false},
    {OptionId::kVersion, 0, "version", false},
};

class ArgumentParser {
public:
    ArgumentParser(int argc, const char* const* argv, CliOptions& options, std::string& error)
        : argc(argc), argv(argv), options(options), error(error)
    {
    }
    CliAction Parse();

private:
    bool Fail(const std::string& message)
    {
        error = message;
        return false;
    }
    bool ParseOne(int& index);
    bool Apply(const OptionEntry& option, std::string_view shown, std::string_view value);
    bool ApplyMethod(std::string_view value);
    bool ApplyTestValue(const std::string& prefix, std::string_view value, double& target, bool probability);
    bool CheckCombination();

    int argc;
    const char* const* argv;
    CliOptions& options;
    std::string& error;
    std::vector<std::string> positional;
    bool help = false;
    bool version = false;
};

CliAction ArgumentParser::Parse()
{
    bool optionsEnded = false;
    for (int index = 1; index < argc; ++index) {
        const std::string_view argument = argv[index];
        if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
            positional.emplace_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (!ParseOne(index))
            return CliAction::kUsageError;
    }
    if (help)
        return CliAction::kHelp;
    if (version)
        return CliAction::kVersion;
    if (positional.size() != 2) {
        error = "Eingabe- und Ausgabedatei angeben: tolvar-cli [OPTIONEN] EINGABE.EIN AUSGABE.AUS";
        return CliAction::kUsageError;
    }
    options.inputFile = positional[0];
    options.outputFile = positional[1];
    if (options.outputFile.empty()) {
        error = "Der Name der Ausgabedatei ist leer.";
        return CliAction::kUsageError;
    }
    return CheckCombination() ? CliAction::kRun : CliAction::kUsageError;
}

// One option at argv[index]: "-m NAME", "-mNAME", "--method NAME" or
// "--method=NAME"; index moves past a separate value.
bool ArgumentParser::ParseOne(int& index)
{
    const std::string_view argument = argv[index];
    const OptionEntry* found = nullptr;
    std::string_view inlineValue;
    bool hasInlineValue = false;
    if (argument.starts_with("--")) {
        std::string_view name = argument.substr(2);
        const std::size_t equals = name.find('=');
        if (equals != std::string_view::npos) {
            inlineValue = name.substr(equals + 1);
            hasInlineValue = true;
            name = name.substr(0, equals);
        }
        for (const OptionEntry& option : kOptions)
            if (name == option.longName)
                found = &option;
    } else {
        for (const OptionEntry& option : kOptions)
            if (option.shortName != 0 && argument[1] == option.shortName)
                found = &option;
        if (found != nullptr && argument.size() > 2) {
            inlineValue = argument.substr(2);
            hasInlineValue = true;
        }
    }
    if (found == nullptr)
        return Fail("Unbekannte Option: " + std::string(argument));
    if (!found->takesValue) {
        if (hasInlineValue)
            return Fail("Die Option " + std::string(argument) + " nimmt keinen Wert.");
        return Apply(*found, argument, {});
    }
    if (hasInlineValue)
        return Apply(*found, argument, inlineValue);
    if (index + 1 >= argc)
        return Fail("Die Option " + std::string(argument) + " braucht einen Wert.");
    ++index;
    return Apply(*found, argument, argv[index]);
}

bool ArgumentParser::Apply(const OptionEntry& option, std::string_view shown, std::string_view value)
{
    const std::string prefix = std::string(shown) + ": ";
    const std::string notANumber = prefix + LoadString(kStringNotANumber);
    switch (option.id) {
    case OptionId::kMethod:
        return ApplyMethod(value);
    case OptionId::kTuning:
        if (!ParseNumber(value, options.tuningConstant))
            return Fail(notANumber);
        if (options.tuningConstant < kLowestTuningConstant || options.tuningConstant > kHighestTuningConstant)
            return Fail(prefix + FormatString(kStringNumberRange, {FormatGeneral(kLowestTuningConstant),
                                                                   FormatGeneral(kHighestTuningConstant)}));
        options.tuningGiven = true;
        return true;
    case OptionId::kNorm:
        if (!ParseNumber(value, options.normFactor))
            return Fail(notANumber);
        options.normGiven = true;
        return true;
    case OptionId::kIterations:
        return ParseInteger(value, options.maxPasses) || Fail(prefix + LoadString(kStringNotAnInteger));
    case OptionId::kStop:
        options.stopGiven = true;
        return ParseNumber(value, options.stopCriterion) || Fail(notANumber);
    case OptionId::kQuiet:
        options.quiet = true;
        return true;
    case OptionId::kPlot:
        if (value.empty())
            return Fail(prefix + "Dateiname fehlt.");
        if (PlotFormatOfOutput(value) == PlotFormat::kNone)
            return Fail(prefix + FormatString(kStringPlotFormat, std::string(value)));
        options.plotFile = std::string(value);
        return true;
    case OptionId::kResults:
        if (!ResultsFormatOfOutput(value).has_value())
            return Fail(prefix + "Der Dateiname muss auf .json oder .csv enden.");
        options.resultsFile = std::string(value);
        return true;
    case OptionId::kScale:
        for (ScaleRule rule : {ScaleRule::kLeastSquares, ScaleRule::kEachPass}) {
            if (AsciiLower(value) == ScaleRuleName(rule)) {
                options.scale = rule;
                return true;
            }
        }
        return Fail(prefix + "Bekannt sind " + ScaleRuleName(ScaleRule::kLeastSquares) + " und " +
                    ScaleRuleName(ScaleRule::kEachPass) + ".");
    case OptionId::kSummary:
        options.summary = true;
        return true;
    case OptionId::kSigma0:
        return ApplyTestValue(prefix, value, options.tests.sigma0, false);
    case OptionId::kAlpha:
        return ApplyTestValue(prefix, value, options.tests.alpha, true);
    case OptionId::kPower:
        return ApplyTestValue(prefix, value, options.tests.power, true);
    case OptionId::kConfidence:
        return ApplyTestValue(prefix, value, options.tests.confidence, true);
    case OptionId::kSync:
        options.sync = true;
        return true;
    case OptionId::kHelp:
        help = true;
        return true;
    case OptionId::kVersion:
        version = true;
        return true;
    }
    return false;
}

// sigma0 above 0 and finite; a probability strictly between 0 and 1.
bool ArgumentParser::ApplyTestValue(const std::string& prefix, std::string_view value, double& target,
                                    bool probability)
{
    double number = 0.0;
    if (!ParseNumber(value, number))
        return Fail(prefix + LoadString(kStringNotANumber));
    if (probability && !(number > 0.0 && number < 1.0))
        return Fail(prefix + "Der Wert muss gr\u00f6\u00dfer als 0 und kleiner als 1 sein.");
    if (!probability && !(number > 0.0 && std::isfinite(number)))
        return Fail(prefix + "Der Wert muss eine endliche Zahl gr\u00f6\u00dfer als 0 sein.");
    target = number;
    return true;
}

bool ArgumentParser::ApplyMethod(std::string_view value)
{
    const std::string name = AsciiLower(value);
    if (name == kLpLibraryName) {
        options.lpLibrary = true;
        options.methodCode = kMethodLpNorm;
        return true;
    }
    for (const MethodInfo& method : kMethods) {
        if (name != method.commandLineName)
            continue;
        options.lpLibrary = false;
        options.methodCode = method.code;
        if (!options.tuningGiven)
            options.tuningConstant = method.defaultTuningConstant;
        return true;
    }
    return Fail("Unbekannte Berechnungsart: " + std::string(value));
}

// A tuning constant belongs to the M-estimators, a norm factor to the Lp ways.
bool ArgumentParser::CheckCombination()
{
    const bool lpWay = options.lpLibrary || options.methodCode == kMethodLpNorm;
    const bool estimator = !lpWay && options.methodCode != kMethodL1;
    if (lpWay && !options.normGiven)
        return Fail(std::string("Die Berechnungsart ") +
                    (options.lpLibrary ? kLpLibraryName : kMethods[options.methodCode].commandLineName) +
                    " braucht einen Normfaktor (-p).");
    // Both Lp ways: below 1 the norm is no norm (and the library refuses it).
    if (lpWay && options.normFactor < NORMEX_MIN_NORM_FACTOR)
        return Fail(std::string("-p: ") + LoadString(kStringNormFactorBelowOne));
    if (!lpWay && options.normGiven)
        return Fail("Ein Normfaktor (-p) gilt nur f\u00fcr lp und lp-irls.");
    if (options.lpLibrary && options.stopGiven)
        return Fail(std::string("Ein Abbruchkriterium (-s) gilt nicht f\u00fcr ") + kLpLibraryName + ".");
    if (!estimator && options.tuningGiven)
        return Fail("Eine Tuning-Konstante (-c) gilt nur f\u00fcr die Ea-Sch\u00e4tzer.");
    if (!estimator && options.scale.has_value())
        return Fail("--scale gilt nur f\u00fcr die Ea-Sch\u00e4tzer.");
    return true;
}

} // namespace

std::string OutputFileToWrite(const std::string& name)
{
    return name == kStandardStreamName ? "/dev/stdout" : name;
}

PlotFormat PlotFormatOfOutput(std::string_view name)
{
    return name == kStandardStreamName ? PlotFormat::kPng : PlotFormatOf(name);
}

std::optional<ResultsFormat> ResultsFormatOfOutput(std::string_view name)
{
    return name == kStandardStreamName ? ResultsFormat::kJson : ResultsFormatOf(name);
}

CliAction ParseArguments(int argc, const char* const* argv, CliOptions& options, std::string& error)
{
    return ArgumentParser(argc, argv, options, error).Parse();
}

namespace {

constexpr std::size_t kUsageWidth = 80;
constexpr std::size_t kUsageIndent = 24;

// Characters as a terminal shows them: UTF-8 continuation bytes take no column.
std::size_t Columns(const std::string& text)
{
    std::size_t columns = 0;
    for (char c : text)
        columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return columns;
}

// One option's lines: its name in the first column, the description
// wrapped at blanks to the usage width in the second.
std::string OptionLines(const std::string& option, const std::string& description)
{
    std::string text = "  " + option;
    // A name too long for the first column stands on a line of its own.
    const bool ownLine = Columns(text) + 1 >= kUsageIndent;
    std::string line = ownLine ? std::string(kUsageIndent, ' ') : text + std::string(kUsageIndent - Columns(text), ' ');
    std::string result = ownLine ? text + '\n' : "";
    std::size_t start = 0;
    bool lineHasWord = false;
    while (start <= description.size()) {
        std::size_t stop = description.find(' ', start);
        if (stop == std::string::npos)
            stop = description.size();
        const std::string word = description.substr(start, stop - start);
        if (lineHasWord && Columns(line) + 1 + Columns(word) > kUsageWidth) {
            result += line + '\n';
            line = std::string(kUsageIndent, ' ');
            lineHasWord = false;
        }
        line += (lineHasWord ? " " : "") + word;
        lineHasWord = true;
        start = stop + 1;
    }
    return result + line + '\n';
}

std::string MethodChoices()
{
    std::string estimators;
    for (int code = kFirstEstimator; code < kFirstEstimator + kEstimatorCount; ++code)
        estimators += std::string(code == kFirstEstimator ? "" : " | ") + kMethods[code].commandLineName;
    return estimators + " (Ea-Sch\u00e4tzer), " + kMethods[kMethodL1].commandLineName + " (Barrodale-Roberts), " +
           kMethods[kMethodLpNorm].commandLineName + " (Lp-Norm durch Umgewichtung), " + kLpLibraryName +
           " (Lp-Norm wie im Dialog: 1 = L1, 25 = Tschebycheff, sonst das Minimum nach Newton) [" +
           kMethods[CliOptions().methodCode].commandLineName + "]";
}

std::string TuningDefaults()
{
    std::string text = "Tuning-Konstante, " + FormatGeneral(kLowestTuningConstant) + " bis " +
                       FormatGeneral(kHighestTuningConstant) + " [Vorgabe der Methode:";
    for (int code = kFirstEstimator; code < kFirstEstimator + kEstimatorCount; ++code)
        text += std::string(code == kFirstEstimator ? " " : ", ") + kMethods[code].reportName + " " +
                FormatGeneral(kMethods[code].defaultTuningConstant);
    return text + "]";
}

// The formulas of the tests. Their weights are those of the last
// iteration, p_i w_i; L1, Lp and Tschebycheff test with the given p_i.
std::string TestFormulas()
{
    return "Tests nach einer gelungenen Berechnung (--results, --summary). Gewichte:\n"
           "Ea-Sch\u00e4tzer p_i \u00b7 w_i der letzten Iteration; L1, Lp-Norm, Tschebycheff die\n"
           "gegebenen p_i (w_i = 1). N = A\u1d40 P A, Q = N\u207b\u00b9, f = n \u2212 u:\n"
           "  r_i = 1 \u2212 p_i w_i a_i\u1d40 Q a_i\n"
           "        Redundanzanteil, \u03a3 r_i = f; r_i < 0.01: unkontrolliert, nie markiert\n"
           "  w_i = v_i / (\u03c30 \u221a(r_i / (p_i w_i)))\n"
           "        normierte Verbesserung mit \u03c30 (--sigma0), studentisiert mit s0\n"
           "  Data Snooping: markiert, wenn |w_i| > z(1 \u2212 \u03b1/2) (--alpha \u03b1; 3.29 bei 0.001)\n"
           "  Globaltest: f s0\u00b2 / \u03c30\u00b2 \u2264 \u03c7\u00b2(f; 1 \u2212 \u03b1)\n"
           "  MDB_i = \u03c30 \u03b40 / \u221a(p_i w_i r_i), \u03b40 = z(1 \u2212 \u03b1/2) + z(\u03b2)\n"
           "        kleinster aufdeckbarer Fehler (--power \u03b2; \u03b40 = 4.13 bei 0.001 und 0.8)\n"
           "  x_j \u00b1 t(f; (1 + K)/2) \u00b7 s0 \u221aQ_jj\n"
           "        Konfidenzintervall der Unbekannten (--confidence K)\n"
           "  Kein w_i und kein MDB bei r_i = 0 (eine Beobachtung bestimmt eine Unbekannte\n"
           "  allein) und w_i = 0 (verworfen); n = u: Tests nicht definiert; eine\n"
           "  fehlgeschlagene Berechnung wird nicht getestet.\n";
}

// The formulas of the results, each on a line of its own.
std::string ResultFormulas()
{
    return "Ergebnisse (--results, --summary, --scale):\n"
           "  s0  = \u221a(\u03a3 w_i p_i v_i\u00b2 / (n \u2212 u))\n"
           "        Standardabweichung der Gewichtseinheit; w_i letztes Robustgewicht\n"
           "        (1 bei L1, Lp, Tschebycheff), p_i Gewicht, v_i Verbesserung,\n"
           "        n Beobachtungen, u Unbekannte\n"
           "  s_j = s0 \u00b7 \u221aQ_jj\n"
           "        Standardabweichung der Unbekannten j bei kleinsten Quadraten und\n"
           "        Ea-Sch\u00e4tzern; Q Inverse der Normalgleichungsmatrix der letzten Iteration\n"
           "  s   = median(|v_i \u2212 median(v)|) / " +
           FormatGeneral(kMadNormalisation) +
           "\n"
           "        --scale mad: robuste Streuung der gewichteten Residuen \u221ap_i v_i nach\n"
           "        kleinsten Quadraten, einmal bestimmt; alle Iterationen rechnen mit c \u00b7 s\n"
           "  s   = median(|v_i|) / " +
           FormatShortest(kNormalQuartile) +
           " (\u03a6\u207b\u00b9(3/4))\n"
           "        --scale mad-each-pass: vor jeder Iteration nach der ersten aus den\n"
           "        gewichteten Residuen der vorigen; die Iteration rechnet mit c \u00b7 s,\n"
           "        s = 0 (mehr als die H\u00e4lfte der Residuen genau 0) beendet die Rechnung\n"
           "  Pr\u00fcfung (check): jede L\u00f6sung wird nach der Rechnung unabh\u00e4ngig gepr\u00fcft\n"
           "        optimality: proved (nachgewiesen), approximate (n\u00e4herungsweise,\n"
           "        Warnung) oder failed (Fehler, R\u00fcckgabewert 1); L1 und Tschebycheff \u00fcber\n"
           "        die duale L\u00f6sung, lp und lp-irls \u00fcber die Optimalit\u00e4tsbedingung\n"
           "        1. Ordnung; lp bei gro\u00dfen p auch gegen die Schranke max|v| \u2264 n^(1/p) t*\n"
           "        (t* Minimax-Wert)\n"
           "        conditionNumber = ||D N D||_1 \u00b7 ||D\u207b\u00b9 Q D\u207b\u00b9||_1, D = diag(N)^-1/2:\n"
           "        Kondition der spaltenskalierten Normalgleichungsmatrix N der letzten\n"
           "        Iteration (kleinste Quadrate, Ea-Sch\u00e4tzer, lp-irls)\n"
           "        estimatedDigits \u2248 \u2212log10(conditionNumber \u00b7 2.2e-16) richtige Stellen\n"
           "        der Unbekannten; unter 1 Fehler, unter 6 Warnung\n"
           "  Bei n = u sind s0 und s_j nicht definiert (null); n < u wird abgewiesen.\n"
           "\n"
           "Vorbilder: --scale mad-each-pass rechnet wie statsmodels RLM (scale_est=\"mad\",\n"
           "update_scale=True): mit fit(conv=\"coefs\", tol=S) und -s S dieselben Zahlen\n"
           "bis auf die Rundung, solange statsmodels nicht an maxiter (50) endet. R MASS::rlm\n"
           "(scale.est=\"MAD\") teilt durch 0.6745 statt \u03a6\u207b\u00b9(3/4) und pr\u00fcft die\n"
           "\u00c4nderung der Residuen; MATLAB robustfit nimmt Residuen, die um ihre\n"
           "Hebelwirkung korrigiert sind. --scale mad h\u00e4lt s fest wie statsmodels\n"
           "fit(update_scale=False), das aber um 0 statt um den Median misst und durch\n"
           "\u03a6\u207b\u00b9(3/4) teilt.\n\n" +
           TestFormulas();
}

} // namespace

std::string UsageText()
{
    return "Aufruf: tolvar-cli [OPTIONEN] EINGABE.EIN AUSGABE.AUS\n"
           "\n"
           "Ausgleichung der Beobachtungen der Eingabedatei; das Protokoll geht in die Ausgabedatei.\n"
           "EINGABE.EIN \"-\" liest die Standardeingabe (auch eine Pipe oder <(...) geht).\n"
           "AUSGABE.AUS \"-\" schreibt auf die Standardausgabe (auch bei --plot, dann PNG, und\n"
           "--results, dann JSON); /dev/stdout, /dev/stderr und /dev/fd/N schreiben dorthin,\n"
           "wohin die Shell sie lenkt (bei >> angeh\u00e4ngt).\n"
           "\n" +
           OptionLines("-m, --method NAME", MethodChoices()) + OptionLines("-c, --tuning C", TuningDefaults()) +
           OptionLines("-p, --norm P", "Normfaktor f\u00fcr lp und lp-irls (dort n\u00f6tig)") +
           OptionLines("-i, --iterations N",
                       "h\u00f6chste Anzahl an Iterationen [" + std::to_string(kDefaultMaxPasses) + "]") +
           OptionLines("-s, --stop S", "Abbruchkriterium, nicht f\u00fcr lp [" + FormatGeneral(kDefaultStopCriterion) + "]") +
           OptionLines("-q, --quiet", "keine Fortschrittsanzeige") +
           OptionLines("    --plot DATEI", "Residuen-Grafik als PNG oder SVG speichern") +
           OptionLines("    --results DATEI",
                       "Ergebnisse f\u00fcr Skripte als JSON (.json) oder CSV (.csv): Methode, Tuning-Konstante, "
                       "Iterationen, Abbruchgrund, letzte \u00c4nderung, Unbekannte mit s_j, s0, Pr\u00fcfung "
                       "(check: optimality, estimatedDigits, conditionNumber); je Beobachtung "
                       "Wert, Gewicht, Verbesserung, ausgeglichener Wert, Robustgewicht w und die Markierungen "
                       "w < 1, w = 0 und L1-Basis; nach einer gelungenen Berechnung die Tests (unten): "
                       "Redundanzanteil, normierte und studentisierte Verbesserung, MDB, Markierungen, "
                       "Globaltest, Konfidenzintervalle; jede Zahl liest sich genau zur\u00fcck") +
           OptionLines("    --scale mad", "nur Ea-Sch\u00e4tzer: mit der Tuning-Konstante c \u00b7 s rechnen, s einmal aus "
                                         "den Residuen nach kleinsten Quadraten (unten); das Protokoll zeigt c \u00b7 s, "
                                         "die Fehlerausgabe c, s und c \u00b7 s") +
           OptionLines("    --scale mad-each-pass",
                       "nur Ea-Sch\u00e4tzer: s vor jeder Iteration neu aus den Residuen der vorigen "
                       "(unten), wie statsmodels RLM; das Protokoll zeigt c und in einer Zeile mehr das "
                       "letzte s, die Fehlerausgabe c und s, die Ergebnisse das letzte s und die "
                       "Iterationen") +
           OptionLines("    --summary", "kurze Tabelle auf die Standardausgabe: Unbekannte mit s_j, s0, Iterationen, Pr\u00fcfung, "
                                       "Beobachtungen mit w < 1 (L1: Basisbeobachtungen), der Globaltest und die "
                                       "f\u00fcnf Beobachtungen mit dem gr\u00f6\u00dften |w_i|") +
           OptionLines("    --sigma0 S", "Standardabweichung der Gewichtseinheit a priori, gr\u00f6\u00dfer als 0 [" +
                                            FormatGeneral(TestSettings().sigma0) + "]") +
           OptionLines("    --alpha A", "Irrtumswahrscheinlichkeit von Data Snooping und Globaltest, zwischen 0 und 1 [" +
                                           FormatGeneral(TestSettings().alpha) + "]") +
           OptionLines("    --power B", "Testst\u00e4rke f\u00fcr den kleinsten aufdeckbaren Fehler (MDB), zwischen 0 "
                                       "und 1 [" + FormatGeneral(TestSettings().power) + "]") +
           OptionLines("    --confidence K", "Wahrscheinlichkeit der Konfidenzintervalle der Unbekannten, zwischen 0 "
                                            "und 1 [" + FormatGeneral(TestSettings().confidence) + "]") +
           OptionLines("    --sync", "Protokoll und Ergebnisdatei erst auf die Platte schreiben (fsync), dann "
                                    "eine \u00e4ltere Datei ersetzen: nach einem Absturz des Systems die alte oder die "
                                    "ganze neue Datei; kostet die Zeit, die die Platte zum Schreiben braucht (gemessen "
                                    "bei 10^6 Beobachtungen, Protokoll 147 MB: 0,66 s statt 0,63 s; auf langsamen Platten "
                                    "mehr)") +
           OptionLines("-h, --help", "diese Hilfe") + OptionLines("    --version", "Version") +
           "\n" + ResultFormulas() +
           "\n"
           "Jede Ausgabe wird zuerst als namenlose Datei in ihrem Ordner geschrieben und ersetzt\n"
           "eine vorhandene Datei erst, wenn sie vollst\u00e4ndig ist: nach einem Fehler oder einem\n"
           "Abbruch (Strg+C, auch kill -9) bleibt die alte Datei, wie sie war. Keine Ausgabe darf\n"
           "die Eingabedatei sein. Werte der Designmatrix, die keine Zahl sind, bleiben 0, Text\n"
           "nach dem Gewicht bleibt ungelesen; beides wird mit Zeile und Stelle gemeldet.\n"
           "\n"
           "R\u00fcckgabewert: 0 Protokoll geschrieben, alle Ergebnisse endlich und gepr\u00fcft\n"
           "(bei n = u s0 und s_j null); 1 Berechnung fehlgeschlagen (Protokoll, Grafik\n"
           "oder Ergebnisdatei nicht schreibbar, eine Unbekannte, Verbesserung oder\n"
           "ausgeglichene Beobachtung nicht endlich, Pr\u00fcfung nicht bestanden, bei lp nicht\n"
           "konvergiert, weniger Beobachtungen als Unbekannte, zu wenig Speicher); 2 Aufruffehler (auch eine Ausgabe, die die\n"
           "Eingabedatei oder eine andere Ausgabe ist) oder Eingabedatei abgewiesen.\n";
}
