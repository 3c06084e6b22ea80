#include "core/results_text.h"

#include "core/number_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

std::optional<ResultsFormat> ResultsFormatOf(std::string_view fileName)
{
    const std::size_t dot = fileName.rfind('.');
    const std::size_t slash = fileName.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::nullopt;
    std::string extension(fileName.substr(dot + 1));
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
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
    ~PieceWriter() { Flush(); }

    std::string& Text() { return text; }
    // Ends a record: hands the text over once it is long enough.
    void EndRecord()
    {
        if (text.size() >= kPiece)
            Flush();
    }
    void Flush()
    {
        if (!text.empty())
            sink(text);
        text.clear();
    }

private:
    static constexpr std::size_t kPiece = 1 << 16;
    const TextSink& sink;
    std::string text;
};

// ---- JSON

void AppendJsonNumber(std::string& out, double value)
{
    if (std::isfinite(value))
        AppendShortest(out, value);
    else
        out += "null";
}

void AppendJsonNumber(std::string& out, const std::optional<double>& value)
{
    if (value.has_value())
        AppendJsonNumber(out, *value);
    else
        out += "null";
}

// Names of the method table and of the run ends: plain ASCII, quoted.
void AppendJsonString(std::string& out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
}

const char* JsonBool(bool value)
{
    return value ? "true" : "false";
}

// "  "name": " before a value of the top-level object.
void JsonKey(std::string& out, const char* name)
{
    out.append("  \"").append(name).append("\": ");
}

void WriteJsonRun(std::string& out, const AdjustmentResults& results)
{
    out += "{\n";
    JsonKey(out, "method");
    AppendJsonString(out, results.method);
    out += ",\n";
    JsonKey(out, "tuningConstant");
    AppendJsonNumber(out, results.tuningConstant);
    out += ",\n";
    JsonKey(out, "tuningScale");
    if (results.tuningScale.has_value()) {
        out += "{\"rule\": \"mad\", \"c\": ";
        AppendJsonNumber(out, results.tuningScale->givenConstant);
        out += ", \"s\": ";
        AppendJsonNumber(out, results.tuningScale->scale);
        out += "}";
    } else {
        out += "null";
    }
    out += ",\n";
    JsonKey(out, "normFactor");
    AppendJsonNumber(out, results.normFactor);
    out += ",\n";
    JsonKey(out, "passes");
    if (results.passes.has_value())
        AppendInteger(out, *results.passes, 0);
    else
        out += "null";
    out += ",\n";
    JsonKey(out, "stop");
    AppendJsonString(out, RunEndName(results.end));
    out += ",\n";
    JsonKey(out, "largestChange");
    AppendJsonNumber(out, results.largestChange);
    out += ",\n";
    JsonKey(out, "observationCount");
    AppendInteger(out, results.Observations(), 0);
    out += ",\n";
    JsonKey(out, "unknownCount");
    AppendInteger(out, results.Unknowns(), 0);
    out += ",\n";
    JsonKey(out, "redundancy");
    AppendInteger(out, results.Redundancy(), 0);
    out += ",\n";
    JsonKey(out, "s0");
    AppendJsonNumber(out, results.s0);
    out += ",\n";
}

void WriteJsonUnknowns(std::string& out, const AdjustmentResults& results)
{
    JsonKey(out, "unknowns");
    out += "[\n";
    for (int j = 0; j < results.Unknowns(); ++j) {
        out += "    {\"number\": ";
        AppendInteger(out, j + 1, 0);
        out += ", \"value\": ";
        AppendJsonNumber(out, results.unknowns(j, 0));
        out += ", \"standardDeviation\": ";
        if (results.standardDeviations.empty())
            out += "null";
        else
            AppendJsonNumber(out, results.standardDeviations[static_cast<std::size_t>(j)]);
        out += j + 1 < results.Unknowns() ? "},\n" : "}\n";
    }
    out += "  ],\n";
}

void WriteJsonObservation(std::string& out, const AdjustmentResults& results, int i)
{
    const double w = results.robustWeights[static_cast<std::size_t>(i)];
    out += "    {\"number\": ";
    AppendInteger(out, i + 1, 0);
    out += ", \"observed\": ";
    AppendJsonNumber(out, results.observed(i, 0));
    out += ", \"weight\": ";
    AppendJsonNumber(out, results.weights(i, 0));
    out += ", \"correction\": ";
    AppendJsonNumber(out, results.corrections(i, 0));
    out += ", \"adjusted\": ";
    AppendJsonNumber(out, results.Adjusted(i));
    out += ", \"robustWeight\": ";
    AppendJsonNumber(out, w);
    out.append(", \"downWeighted\": ").append(JsonBool(IsDownWeighted(w)));
    out.append(", \"rejected\": ").append(JsonBool(IsRejected(w)));
    out.append(", \"basic\": ").append(JsonBool(results.IsBasic(i)));
    out += i + 1 < results.Observations() ? "},\n" : "}\n";
}

void WriteJson(const AdjustmentResults& results, PieceWriter& writer)
{
    WriteJsonRun(writer.Text(), results);
    WriteJsonUnknowns(writer.Text(), results);
    JsonKey(writer.Text(), "observations");
    writer.Text() += "[\n";
    for (int i = 0; i < results.Observations(); ++i) {
        WriteJsonObservation(writer.Text(), results, i);
        writer.EndRecord();
    }
    writer.Text() += "  ]\n}\n";
}

// ---- CSV

// A field: the number, or nothing where the run has none.
void AppendCsvNumber(std::string& out, const std::optional<double>& value)
{
    if (value.has_value())
        AppendShortest(out, *value);
}

void CsvComment(std::string& out, const char* name, std::string_view value)
{
    out.append("# ").append(name).append(",").append(value).append("\n");
}

void CsvComment(std::string& out, const char* name, const std::optional<double>& value)
{
    std::string text;
    AppendCsvNumber(text, value);
    CsvComment(out, name, text);
}

void CsvComment(std::string& out, const char* name, long long value)
{
    std::string text;
    AppendInteger(text, value, 0);
    CsvComment(out, name, text);
}

void WriteCsvHead(std::string& out, const AdjustmentResults& results)
{
    const std::optional<TuningScale>& scale = results.tuningScale;
    out += "# tolvar results\n";
    CsvComment(out, "method", results.method);
    CsvComment(out, "tuning_constant", results.tuningConstant);
    CsvComment(out, "scale_rule", scale.has_value() ? "mad" : "");
    CsvComment(out, "given_tuning_constant",
               scale.has_value() ? std::optional<double>(scale->givenConstant) : std::nullopt);
    CsvComment(out, "scale", scale.has_value() ? std::optional<double>(scale->scale) : std::nullopt);
    CsvComment(out, "norm_factor", results.normFactor);
    CsvComment(out, "passes", results.passes.has_value() ? std::to_string(*results.passes) : "");
    CsvComment(out, "stop", RunEndName(results.end));
    CsvComment(out, "largest_change", results.largestChange);
    CsvComment(out, "observations", results.Observations());
    CsvComment(out, "unknowns", results.Unknowns());
    CsvComment(out, "redundancy", results.Redundancy());
    CsvComment(out, "s0", std::optional<double>(results.s0));
    out += "# unknown,value,standard_deviation\n";
    for (int j = 0; j < results.Unknowns(); ++j) {
        out += "# ";
        AppendInteger(out, j + 1, 0);
        out += ',';
        AppendShortest(out, results.unknowns(j, 0));
        out += ',';
        if (!results.standardDeviations.empty())
            AppendShortest(out, results.standardDeviations[static_cast<std::size_t>(j)]);
        out += '\n';
    }
    out += "number,observed,weight,correction,adjusted,robust_weight,down_weighted,rejected,basic\n";
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
        out.append(flag ? ",1" : ",0");
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

std::string ResultsText(const AdjustmentResults& results, ResultsFormat format)
{
    std::string text;
    WriteResults(results, format, [&text](std::string_view piece) { text.append(piece); });
    return text;
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
        line += ", s = ";
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

std::string SummaryUnknowns(const AdjustmentResults& results)
{
    const bool deviations = !results.standardDeviations.empty();
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

} // namespace

std::string ResultsSummary(const AdjustmentResults& results)
{
    std::string text = SummaryMethodLine(results) + SummaryRunLine(results);
    text += "s0 = " + General(results.s0, 6) + " (n = " + std::to_string(results.Observations()) +
            ", u = " + std::to_string(results.Unknowns()) + ")\n\n";
    text += SummaryUnknowns(results) + "\n";
    return text + SummaryObservations(results);
}
