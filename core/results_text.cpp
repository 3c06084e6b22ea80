#include "core/results_text.h"

#include "core/file_path.h"
#include "core/number_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <utility>
#include <vector>

std::optional<ResultsFormat> ResultsFormatOf(std::string_view fileName)
{
    const std::string extension = LowerCaseExtension(fileName);
    if (extension == "json")
        return ResultsFormat::kJson;
    if (extension == "csv")
        return ResultsFormat::kCsv;
    return std::nullopt;
}

namespace {

// Collects text and hands it to the sink in pieces of about kPiece bytes.
class PieceWriter {
public:
    explicit PieceWriter(const TextSink& sink) : sink(sink) {}
    ~PieceWriter()
    {
        if (!text.empty())
            sink(text);
    }
    std::string& Text() { return text; }
    // Ends a record: hands the text over once it is long enough.
    void EndRecord()
    {
        if (text.size() < kPiece)
            return;
        sink(text);
        text.clear();
    }

private:
    static constexpr std::size_t kPiece = 1 << 16;
    const TextSink& sink;
    std::string text;
};

// What the tests' normal matrix was, and why nothing was tested: ASCII.
const char* NormalMatrixText(TestWeights weights)
{
    return weights == TestWeights::kRobust ? "N = A^T P W A of the last pass with W the final robust weights"
                                           : "N = A^T P A with the given weights";
}

constexpr const char* kNoRedundancyNote = "n = u: no redundancy; the tests are not defined";

// ---- JSON: null for what the run does not have and for numbers that are not finite.

void AppendJson(std::string& out, double value)
{
    if (std::isfinite(value))
        AppendShortest(out, value);
    else
        out += "null";
}

void AppendJson(std::string& out, const std::optional<double>& value)
{
    AppendJson(out, value.value_or(std::numeric_limits<double>::quiet_NaN()));
}

void AppendJson(std::string& out, bool value)
{
    out += value ? "true" : "false";
}

// The names of the method table and of the run ends: plain ASCII.
void AppendJson(std::string& out, std::string_view text)
{
    out.append("\"").append(text).append("\"");
}

// The "name": value pairs of one object, each after a comma (but the
// first) and the separator.
class JsonFields {
public:
    JsonFields(std::string& out, const char* separator) : out(out), separator(separator) {}
    // Writes the name; the value follows.
    std::string& Name(const char* name)
    {
        return out.append(count++ > 0 ? "," : "").append(separator).append("\"").append(name).append("\": ");
    }
    template <class Value>
    void Add(const char* name, const Value& value)
    {
        AppendJson(Name(name), value);
    }

private:
    std::string& out;
    const char* separator;
    int count = 0;
};

std::optional<double> Integer(const std::optional<int>& value)
{
    return value.has_value() ? std::optional<double>(*value) : std::nullopt;
}

// The bounds of unknown j's confidence interval; none where the tests are
// not defined.
std::pair<std::optional<double>, std::optional<double>> IntervalBounds(const ObservationTests& tests, int j)
{
    if (!tests.defined)
        return {};
    const ConfidenceInterval& interval = tests.intervals[static_cast<std::size_t>(j)];
    return {interval.lower, interval.upper};
}

void WriteJsonGlobalTest(std::string& out, const ObservationTests& tests)
{
    if (!tests.defined) {
        out += "null";
        return;
    }
    out += "{";
    JsonFields global(out, " ");
    global.Add("statistic", tests.global.statistic);
    global.Add("degreesOfFreedom", static_cast<double>(tests.global.degreesOfFreedom));
    global.Add("criticalValue", tests.global.criticalValue);
    global.Add("passed", tests.global.passed);
    out += " }";
}

void WriteJsonTests(std::string& out, const ObservationTests& tests)
{
    out += "{";
    JsonFields fields(out, "\n    ");
    fields.Add("weights", std::string_view(TestWeightsName(tests.weights)));
    fields.Add("normalMatrix", std::string_view(NormalMatrixText(tests.weights)));
    fields.Add("sigma0", tests.settings.sigma0);
    fields.Add("alpha", tests.settings.alpha);
    fields.Add("power", tests.settings.power);
    fields.Add("confidence", tests.settings.confidence);
    fields.Add("defined", tests.defined);
    fields.Name("note") += tests.defined ? "null" : "\"" + std::string(kNoRedundancyNote) + "\"";
    fields.Add("snoopingCriticalValue", tests.criticalValue);
    fields.Add("delta0", tests.delta0);
    fields.Add("tQuantile", tests.defined ? std::optional<double>(tests.tQuantile) : std::nullopt);
    fields.Add("redundancySum", tests.redundancySum);
    fields.Add("flaggedCount", static_cast<double>(tests.flaggedCount));
    fields.Add("uncontrolledCount", static_cast<double>(tests.uncontrolledCount));
    WriteJsonGlobalTest(fields.Name("globalTest"), tests);
    out += "\n  }";
}

// Why s0 and the standard deviations are null although the run succeeded.
constexpr const char* kNoPrecisionNote = "n = u: s0 and standard deviations are not defined";

void WriteJsonCheck(std::string& out, const AdjustmentResults& results)
{
    const SolutionCheck& check = results.check;
    out += "{";
    JsonFields fields(out, " ");
    fields.Add("optimality", std::string_view(OptimalityName(check.optimality)));
    fields.Add("estimatedDigits", Integer(check.estimatedDigits));
    fields.Add("conditionNumber", check.conditionNumber);
    if (results.PrecisionDefined())
        fields.Name("note") += "null";
    else
        fields.Add("note", std::string_view(kNoPrecisionNote));
    out += " }";
}

void WriteJsonRun(std::string& out, const AdjustmentResults& results)
{
    JsonFields run(out, "\n  ");
    run.Add("method", std::string_view(results.method));
    run.Add("tuningConstant", results.tuningConstant);
    run.Name("tuningScale") += results.tuningScale.has_value() ? "{" : "null";
    if (results.tuningScale.has_value()) {
        JsonFields scale(out, " ");
        scale.Add("rule", std::string_view(ScaleRuleName(results.tuningScale->rule)));
        scale.Add("c", results.tuningScale->givenConstant);
        scale.Add("s", results.tuningScale->scale);
        out += " }";
    }
    run.Add("normFactor", results.normFactor);
    run.Add("passes", Integer(results.passes));
    run.Add("stop", std::string_view(RunEndName(results.end)));
    run.Add("largestChange", results.largestChange);
    run.Add("observationCount", static_cast<double>(results.Observations()));
    run.Add("unknownCount", static_cast<double>(results.Unknowns()));
    run.Add("redundancy", static_cast<double>(results.Redundancy()));
    run.Add("s0", results.s0);
    WriteJsonCheck(run.Name("check"), results);
    if (results.tests.has_value())
        WriteJsonTests(run.Name("tests"), *results.tests);
    out += ",\n  \"unknowns\": [";
    for (int j = 0; j < results.Unknowns(); ++j) {
        out += j > 0 ? ",\n    {" : "\n    {";
        JsonFields unknown(out, " ");
        unknown.Add("number", static_cast<double>(j + 1));
        unknown.Add("value", results.unknowns(j, 0));
        unknown.Add("standardDeviation", results.standardDeviations.empty()
                                             ? std::optional<double>()
                                             : results.standardDeviations[static_cast<std::size_t>(j)]);
        if (results.tests.has_value()) {
            const auto [lower, upper] = IntervalBounds(*results.tests, j);
            unknown.Add("confidenceLower", lower);
            unknown.Add("confidenceUpper", upper);
        }
        out += " }";
    }
    out += "\n  ],\n  \"observations\": [";
}

void WriteJsonObservation(std::string& out, const AdjustmentResults& results, int i)
{
    const double w = results.robustWeights[static_cast<std::size_t>(i)];
    out += i > 0 ? ",\n    {" : "\n    {";
    JsonFields observation(out, " ");
    observation.Add("number", static_cast<double>(i + 1));
    observation.Add("observed", results.observed(i, 0));
    observation.Add("weight", results.weights(i, 0));
    observation.Add("correction", results.corrections(i, 0));
    observation.Add("adjusted", results.Adjusted(i));
    observation.Add("robustWeight", w);
    observation.Add("downWeighted", IsDownWeighted(w));
    observation.Add("rejected", IsRejected(w));
    observation.Add("basic", results.IsBasic(i));
    if (results.tests.has_value()) {
        const ObservationTest test = TestOfObservation(results, *results.tests, i);
        observation.Add("redundancy", test.r);
        observation.Add("standardized", test.standardized);
        observation.Add("studentized", test.studentized);
        observation.Add("mdb", test.mdb);
        observation.Add("uncontrolled", test.uncontrolled);
        observation.Add("flagged", test.flagged);
    }
    out += " }";
}

void WriteJson(const AdjustmentResults& results, PieceWriter& writer)
{
    writer.Text() += "{";
    WriteJsonRun(writer.Text(), results);
    for (int i = 0; i < results.Observations(); ++i) {
        WriteJsonObservation(writer.Text(), results, i);
        writer.EndRecord();
    }
    writer.Text() += "\n  ]\n}\n";
}

// ---- CSV: an empty field for what the run does not have.

void AppendCsv(std::string& out, const std::optional<double>& value)
{
    if (value.has_value())
        AppendShortest(out, *value);
}

// A comment line of the head: "# name,value".
void AppendCsvComment(std::string& out, const char* name, const std::optional<double>& value)
{
    out.append("# ").append(name).append(",");
    AppendCsv(out, value);
    out += '\n';
}

void WriteCsvTests(std::string& out, const ObservationTests& tests)
{
    const auto line = [&out](const char* name, const std::optional<double>& value) {
        AppendCsvComment(out, name, value);
    };
    const auto flag = [](bool value) { return std::optional<double>(value ? 1.0 : 0.0); };
    const auto defined = [&tests](double value) { return tests.defined ? std::optional<double>(value) : std::nullopt; };
    out.append("# test_weights,").append(TestWeightsName(tests.weights)).append("\n");
    out.append("# normal_matrix,").append(NormalMatrixText(tests.weights)).append("\n");
    line("sigma0", tests.settings.sigma0);
    line("alpha", tests.settings.alpha);
    line("power", tests.settings.power);
    line("confidence", tests.settings.confidence);
    line("tests_defined", flag(tests.defined));
    out.append("# note,").append(tests.defined ? "" : kNoRedundancyNote).append("\n");
    line("snooping_critical_value", tests.criticalValue);
    line("delta0", tests.delta0);
    line("t_quantile", defined(tests.tQuantile));
    line("redundancy_sum", tests.redundancySum);
    line("flagged_count", tests.flaggedCount);
    line("uncontrolled_count", tests.uncontrolledCount);
    line("global_statistic", defined(tests.global.statistic));
    line("global_degrees_of_freedom", defined(tests.global.degreesOfFreedom));
    line("global_critical_value", defined(tests.global.criticalValue));
    line("global_passed", tests.defined ? flag(tests.global.passed) : std::nullopt);
}

void WriteCsvHead(std::string& out, const AdjustmentResults& results)
{
    const auto comment = [&out](const char* name, const std::optional<double>& value) {
        AppendCsvComment(out, name, value);
    };
    const std::optional<TuningScale>& scale = results.tuningScale;
    out.append("# tolvar results\n# method,").append(results.method).append("\n");
    comment("tuning_constant", results.tuningConstant);
    out.append("# scale_rule,").append(scale.has_value() ? ScaleRuleName(scale->rule) : "").append("\n");
    comment("given_tuning_constant", scale.has_value() ? std::optional<double>(scale->givenConstant) : std::nullopt);
    comment("scale", scale.has_value() ? std::optional<double>(scale->scale) : std::nullopt);
    comment("norm_factor", results.normFactor);
    comment("passes", Integer(results.passes));
    out.append("# stop,").append(RunEndName(results.end)).append("\n");
    comment("largest_change", results.largestChange);
    comment("observations", results.Observations());
    comment("unknowns", results.Unknowns());
    comment("redundancy", results.Redundancy());
    // n = u: s0 and the standard deviations are not defined, and stay empty.
    comment("s0", results.PrecisionDefined() ? std::optional<double>(results.s0) : std::nullopt);
    out.append("# optimality,").append(OptimalityName(results.check.optimality)).append("\n");
    comment("estimated_digits", Integer(results.check.estimatedDigits));
    comment("condition_number", results.check.conditionNumber);
    if (results.tests.has_value())
        WriteCsvTests(out, *results.tests);
    out += results.tests.has_value() ? "# unknown,value,standard_deviation,confidence_lower,confidence_upper\n"
                                     : "# unknown,value,standard_deviation\n";
    for (int j = 0; j < results.Unknowns(); ++j) {
        out += "# ";
        AppendInteger(out, j + 1, 0);
        out += ',';
        AppendShortest(out, results.unknowns(j, 0));
        out += ',';
        if (!results.standardDeviations.empty() && results.PrecisionDefined())
            AppendShortest(out, results.standardDeviations[static_cast<std::size_t>(j)]);
        if (results.tests.has_value()) {
            const auto [lower, upper] = IntervalBounds(*results.tests, j);
            for (const std::optional<double>& bound : {lower, upper}) {
                out += ',';
                AppendCsv(out, bound);
            }
        }
        out += '\n';
    }
    out += "number,observed,weight,correction,adjusted,robust_weight,down_weighted,rejected,basic";
    out += results.tests.has_value() ? ",redundancy,standardized,studentized,mdb,uncontrolled,flagged\n" : "\n";
}

void WriteCsvObservation(std::string& out, const AdjustmentResults& results, int i)
{
    const double w = results.robustWeights[static_cast<std::size_t>(i)];
    AppendInteger(out, i + 1, 0);
    for (double value : {results.observed(i, 0), results.weights(i, 0), results.corrections(i, 0), results.Adjusted(i), w}) {
        out += ',';
        AppendShortest(out, value);
    }
    for (bool flag : {IsDownWeighted(w), IsRejected(w), results.IsBasic(i)})
        out += flag ? ",1" : ",0";
    if (results.tests.has_value()) {
        const ObservationTest test = TestOfObservation(results, *results.tests, i);
        for (const std::optional<double>& value : {std::optional<double>(test.r), test.standardized, test.studentized, test.mdb}) {
            out += ',';
            AppendCsv(out, value);
        }
        for (bool flag : {test.uncontrolled, test.flagged})
            out += flag ? ",1" : ",0";
    }
    out += '\n';
}

void WriteCsv(const AdjustmentResults& results, PieceWriter& writer)
{
    WriteCsvHead(writer.Text(), results);
    for (int i = 0; i < results.Observations(); ++i) {
        WriteCsvObservation(writer.Text(), results, i);
        writer.EndRecord();
    }
}

} // namespace

void WriteResults(const AdjustmentResults& results, ResultsFormat format, const TextSink& sink)
{
    PieceWriter writer(sink);
    if (format == ResultsFormat::kJson)
        WriteJson(results, writer);
    else
        WriteCsv(results, writer);
}

// ---- The summary

namespace {

const char* RunEndText(RunEnd end)
{
    switch (end) {
    case RunEnd::kCriterion:
        return "Abbruchkriterium erreicht";
    case RunEnd::kPassLimit:
        return "H\u00f6chstzahl der Iterationen erreicht";
    case RunEnd::kSinglePass:
        return "kleinste Quadrate in einem Durchgang";
    case RunEnd::kNotFinite:
        return "L\u00f6sung nicht endlich";
    case RunEnd::kOptimum:
        return "Optimum erreicht";
    case RunEnd::kShortOfOptimum:
        return "Optimum nicht erreicht";
    case RunEnd::kScaleZero:
        return "robuste Streuung s = 0";
    }
    return "";
}

std::string General(double value, int significant)
{
    std::string text;
    AppendGeneral(text, value, 0, significant);
    return text;
}

std::string SummaryMethodLine(const AdjustmentResults& results)
{
    std::string line = "Methode: " + results.method;
    if (results.tuningConstant.has_value()) {
        line += ", Tuning-Konstante ";
        AppendShortest(line, *results.tuningConstant);
    }
    if (results.tuningScale.has_value()) {
        line += " = c \u00b7 s mit c = ";
        AppendShortest(line, results.tuningScale->givenConstant);
        line += results.tuningScale->rule == ScaleRule::kEachPass ? ", zuletzt s = " : ", s = ";
        AppendShortest(line, results.tuningScale->scale);
    }
    if (results.normFactor.has_value()) {
        line += ", Normfaktor ";
        AppendShortest(line, *results.normFactor);
    }
    return line + "\n";
}

std::string SummaryRunLine(const AdjustmentResults& results)
{
    std::string line = results.passes.has_value() ? "Iterationen: " + std::to_string(*results.passes) + " ("
                                                  : std::string("L\u00f6sung: ");
    line += RunEndText(results.end);
    if (results.largestChange.has_value())
        line += ", gr\u00f6\u00dfte \u00c4nderung " + General(*results.largestChange, 6);
    return line + (results.passes.has_value() ? ")\n" : "\n");
}

// One line: how far the answer can be trusted.
std::string SummaryCheckLine(const AdjustmentResults& results)
{
    const SolutionCheck& check = results.check;
    std::string line = "Pr\u00fcfung: ";
    switch (check.optimality) {
    case Optimality::kProved: // the reweighting methods prove their digits, not an optimum
        line += check.conditionNumber.has_value() ? "bestanden" : "Optimalit\u00e4t nachgewiesen";
        break;
    case Optimality::kApproximate:
        line += "Optimalit\u00e4t n\u00e4herungsweise nachgewiesen";
        break;
    case Optimality::kFailed:
        line += "nicht bestanden";
        break;
    }
    if (check.estimatedDigits.has_value())
        line += ", etwa " + std::to_string(*check.estimatedDigits) + " richtige Stellen";
    if (check.conditionNumber.has_value())
        line += " (Konditionszahl " + General(*check.conditionNumber, 3) + ")";
    const std::string cause = CheckCauseText(check);
    return line + (cause.empty() ? "" : "; " + cause) + "\n";
}

std::string SummaryS0Line(const AdjustmentResults& results)
{
    const std::string sizes =
        "(n = " + std::to_string(results.Observations()) + ", u = " + std::to_string(results.Unknowns()) + ")\n";
    if (!results.PrecisionDefined())
        return "s0 und Standardabweichungen nicht definiert: so viele Beobachtungen wie Unbekannte " + sizes;
    return "s0 = " + General(results.s0, 6) + " " + sizes;
}

std::string SummaryUnknowns(const AdjustmentResults& results)
{
    const bool deviations = !results.standardDeviations.empty() && results.PrecisionDefined();
    std::string text;
    AppendRightAligned(text, "Nr", 4);
    AppendRightAligned(text, "Unbekannte", 22);
    if (deviations)
        AppendRightAligned(text, "Standardabw.", 16);
    text += '\n';
    for (int j = 0; j < results.Unknowns(); ++j) {
        AppendInteger(text, j + 1, 4);
        AppendGeneral(text, results.unknowns(j, 0), 22, 12);
        if (deviations)
            AppendGeneral(text, results.standardDeviations[static_cast<std::size_t>(j)], 16, 6);
        text += '\n';
    }
    return text;
}

// The observations to list: down-weighted ones (w < 1), for L1 the basic ones.
std::vector<int> NotableObservations(const AdjustmentResults& results)
{
    std::vector<int> notable;
    for (int i = 0; i < results.Observations(); ++i)
        if (IsDownWeighted(results.robustWeights[static_cast<std::size_t>(i)]) || results.IsBasic(i))
            notable.push_back(i);
    return notable;
}

std::string SummaryObservations(const AdjustmentResults& results)
{
    const std::vector<int> notable = NotableObservations(results);
    int rejected = 0;
    for (double w : results.robustWeights)
        rejected += IsRejected(w) ? 1 : 0;
    std::string text = results.basic.empty()
                           ? "Beobachtungen mit Gewicht w < 1: " + std::to_string(notable.size()) +
                                 ", davon verworfen (w = 0): " + std::to_string(rejected) + "\n"
                           : "Basisbeobachtungen (v = 0): " + std::to_string(notable.size()) + "\n";
    if (notable.empty())
        return text;
    AppendRightAligned(text, "Nr", 8);
    AppendRightAligned(text, "Verbesserung", 18);
    AppendRightAligned(text, "w", 12);
    text += '\n';
    const std::size_t shown = std::min(notable.size(), static_cast<std::size_t>(kSummaryObservationLines));
    for (std::size_t k = 0; k < shown; ++k) {
        const int i = notable[k];
        const double w = results.robustWeights[static_cast<std::size_t>(i)];
        AppendInteger(text, i + 1, 8);
        AppendGeneral(text, results.corrections(i, 0), 18, 6);
        AppendGeneral(text, w, 12, 4);
        text += IsRejected(w) ? "  verworfen\n" : "\n";
    }
    if (shown < notable.size())
        text += "... und " + std::to_string(notable.size() - shown) + " weitere\n";
    return text;
}

std::string SummaryGlobalTest(const ObservationTests& tests)
{
    const GlobalTest& global = tests.global;
    std::string line = "Globaltest: (n \u2212 u) s0\u00b2 / \u03c30\u00b2 = " + General(global.statistic, 6);
    line += global.passed ? " \u2264 " : " > ";
    line += "\u03c7\u00b2(" + std::to_string(global.degreesOfFreedom) + "; " + General(1.0 - tests.settings.alpha, 6) +
            ") = " + General(global.criticalValue, 6);
    return line + (global.passed ? ": bestanden\n" : ": nicht bestanden\n");
}

// The observations with the largest |w_i|, at most kSummaryTestLines, by
// one pass that keeps only those: ties go to the first.
std::vector<std::pair<int, ObservationTest>> LargestStandardized(const AdjustmentResults& results,
                                                                 const ObservationTests& tests)
{
    std::vector<std::pair<int, ObservationTest>> largest;
    const auto size = [](const std::pair<int, ObservationTest>& entry) { return std::fabs(*entry.second.standardized); };
    for (int i = 0; i < results.Observations(); ++i) {
        const ObservationTest test = TestOfObservation(results, tests, i);
        if (!test.standardized.has_value())
            continue;
        const std::pair<int, ObservationTest> entry{i, test};
        auto at = largest.begin();
        while (at != largest.end() && size(*at) >= size(entry))
            ++at;
        if (at - largest.begin() < kSummaryTestLines) {
            largest.insert(at, entry);
            if (largest.size() > static_cast<std::size_t>(kSummaryTestLines))
                largest.pop_back();
        }
    }
    return largest;
}

std::string SummaryLargestStandardized(const AdjustmentResults& results, const ObservationTests& tests)
{
    std::string text;
    AppendRightAligned(text, "Nr", 8);
    AppendRightAligned(text, "Verbesserung", 18);
    AppendRightAligned(text, "w_i", 12);
    AppendRightAligned(text, "r_i", 10);
    AppendRightAligned(text, "MDB", 14);
    text += '\n';
    for (const auto& [i, test] : LargestStandardized(results, tests)) {
        AppendInteger(text, i + 1, 8);
        AppendGeneral(text, results.corrections(i, 0), 18, 6);
        AppendGeneral(text, *test.standardized, 12, 4);
        AppendGeneral(text, test.r, 10, 4);
        AppendGeneral(text, *test.mdb, 14, 6);
        text += test.flagged ? "  markiert\n" : test.uncontrolled ? "  unkontrolliert\n" : "\n";
    }
    return text;
}

std::string SummaryTests(const AdjustmentResults& results, const ObservationTests& tests)
{
    std::string text = tests.weights == TestWeights::kRobust
                           ? "Tests mit den Gewichten der letzten Iteration (p_i \u00b7 w_i)\n"
                           : "Tests mit den gegebenen Gewichten p_i (N = A\u1d40 P A)\n";
    if (!tests.defined)
        return text + "Tests nicht definiert: n = u, keine Redundanz\n";
    text += SummaryGlobalTest(tests);
    text += "Data Snooping: |w_i| > " + General(tests.criticalValue, 6) + " (\u03b1 = " +
            General(tests.settings.alpha, 6) + "): " + std::to_string(tests.flaggedCount) + " markiert, " +
            std::to_string(tests.uncontrolledCount) + " unkontrolliert (r_i < " + General(kControlledRedundancy, 6) +
            ")\n";
    return text + SummaryLargestStandardized(results, tests);
}

} // namespace

std::string ResultsSummary(const AdjustmentResults& results)
{
    std::string text = SummaryMethodLine(results) + SummaryRunLine(results) + SummaryCheckLine(results);
    text += SummaryS0Line(results) + "\n";
    text += SummaryUnknowns(results) + "\n";
    text += SummaryObservations(results);
    if (results.tests.has_value()) {
        text += '\n';
        text += SummaryTests(results, *results.tests);
    }
    return text;
}
