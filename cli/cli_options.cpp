#include "cli/cli_options.h"

#include "core/estimator.h"
#include "normex/number_text.h"

#include <cctype>
#include <cmath>
#include <string_view>
#include <vector>

namespace {

struct MethodEntry {
    const char* name;
    int code;              // -1: the Lp library
    double defaultTuning;  // the tuning dialog's default for the method
};

constexpr MethodEntry kMethods[] = {
    {"andrews", kMethodAndrews, 0.5},    {"biweight", kMethodBiweight, 4.685}, {"cauchy", kMethodCauchy, 2.385},
    {"fair", kMethodFair, 1.4},          {"huber", kMethodHuber, 1.5},         {"logistic", kMethodLogistic, 1.205},
    {"talwar", kMethodTalwar, 2.795},    {"welsch", kMethodWelsch, 2.985},     {"l1", kMethodL1, 0.0},
    {"lp-irls", kMethodLpNorm, 0.0},     {"lp", -1, 0.0},
};

constexpr double kLargestTuningConstant = 100000000.0;
constexpr const char* kNotANumber = "Geben Sie bitte eine Zahl ein.";
constexpr const char* kNotAnInteger = "Geben Sie bitte eine ganze Zahl ein.";
constexpr const char* kTuningRange = "Geben Sie bitte eine Zahl zwischen 0 und 100000000 ein.";

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// A whole finite number with "." as the decimal point, surrounding blanks allowed.
bool ParseNumber(std::string_view text, double& value)
{
    double read = 0.0;
    if (ReadWholeNumber(TrimBlanks(text), read) != NumberText::kValid || !std::isfinite(read))
        return false;
    value = read;
    return true;
}

bool ParseInteger(std::string_view text, int& value)
{
    return ReadWholeInteger(TrimBlanks(text), value) == NumberText::kValid;
}

enum class OptionId { kMethod, kTuning, kNorm, kIterations, kStop, kQuiet, kPlot, kHelp, kVersion };

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
    {OptionId::kPlot, 0, "plot", true},            {OptionId::kHelp, 'h', "help", false},
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
    bool CheckCombination();

    int argc;
    const char* const* argv;
    CliOptions& options;
    std::string& error;
    std::vector<std::string> positional;
    std::string methodName = "huber";
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
    switch (option.id) {
    case OptionId::kMethod:
        return ApplyMethod(value);
    case OptionId::kTuning:
        if (!ParseNumber(value, options.tuningConstant))
            return Fail(prefix + kNotANumber);
        if (options.tuningConstant < 0.0 || options.tuningConstant > kLargestTuningConstant)
            return Fail(prefix + kTuningRange);
        options.tuningGiven = true;
        return true;
    case OptionId::kNorm:
        if (!ParseNumber(value, options.normFactor))
            return Fail(prefix + kNotANumber);
        options.normGiven = true;
        return true;
    case OptionId::kIterations:
        return ParseInteger(value, options.maxPasses) || Fail(prefix + kNotAnInteger);
    case OptionId::kStop:
        return ParseNumber(value, options.stopCriterion) || Fail(prefix + kNotANumber);
    case OptionId::kQuiet:
        options.quiet = true;
        return true;
    case OptionId::kPlot:
        if (value.empty())
            return Fail(prefix + "Dateiname fehlt.");
        options.plotFile = std::string(value);
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

bool ArgumentParser::ApplyMethod(std::string_view value)
{
    const std::string name = Lower(value);
    for (const MethodEntry& method : kMethods) {
        if (name != method.name)
            continue;
        methodName = name;
        options.lpLibrary = method.code < 0;
        options.methodCode = method.code < 0 ? kMethodLpNorm : method.code;
        if (!options.tuningGiven)
            options.tuningConstant = method.defaultTuning;
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
        return Fail("Die Berechnungsart " + methodName + " braucht einen Normfaktor (-p).");
    if (!lpWay && options.normGiven)
        return Fail("Ein Normfaktor (-p) gilt nur f\u00fcr lp und lp-irls.");
    if (!estimator && options.tuningGiven)
        return Fail("Eine Tuning-Konstante (-c) gilt nur f\u00fcr die Ea-Sch\u00e4tzer.");
    return true;
}

} // namespace

CliAction ParseArguments(int argc, const char* const* argv, CliOptions& options, std::string& error)
{
    return ArgumentParser(argc, argv, options, error).Parse();
}

std::string UsageText()
{
    return "Aufruf: tolvar-cli [OPTIONEN] EINGABE.EIN AUSGABE.AUS\n"
           "\n"
           "Ausgleichung der Beobachtungen der Eingabedatei; das Protokoll geht in die Ausgabedatei.\n"
           "\n"
           "  -m, --method NAME     andrews | biweight | cauchy | fair | huber | logistic |\n"
           "                        talwar | welsch (Ea-Sch\u00e4tzer), l1 (Barrodale-Roberts),\n"
           "                        lp-irls (Lp-Norm durch Umgewichtung),\n"
           "                        lp (Lp-Norm wie im Dialog: 1 = L1, 25 = Tschebycheff,\n"
           "                        sonst das Minimum nach Newton)               [huber]\n"
           "  -c, --tuning C        Tuning-Konstante, 0 bis 100000000 [Vorgabe der Methode:\n"
           "                        Andrews 0.5, Biweight 4.685, Cauchy 2.385, Fair 1.4,\n"
           "                        Huber 1.5, Logistic 1.205, Talwar 2.795, Welsch 2.985]\n"
           "  -p, --norm P          Normfaktor f\u00fcr lp und lp-irls (dort n\u00f6tig)\n"
           "  -i, --iterations N    h\u00f6chste Anzahl an Iterationen       [1000]\n"
           "  -s, --stop S          Abbruchkriterium, nicht f\u00fcr lp       [1e-5]\n"
           "  -q, --quiet           keine Fortschrittsanzeige\n"
           "      --plot DATEI      Residuen-Grafik als PNG oder SVG speichern\n"
           "  -h, --help            diese Hilfe\n"
           "      --version         Version\n"
           "\n"
           "R\u00fcckgabewert: 0 Protokoll geschrieben und L\u00f6sung endlich; 1 Berechnung\n"
           "fehlgeschlagen (Protokoll nicht schreibbar, L\u00f6sung nicht endlich oder bei lp\n"
           "nicht konvergiert); 2 Aufruffehler oder Eingabedatei abgewiesen.\n";
}
