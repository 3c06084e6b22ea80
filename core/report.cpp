#include "core/report.h"

#include "core/methods.h"
#include "core/number_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

const char kStarRule[] = "************************************************************\n";
const char kEqualsRule[] = "============================================================\n";
constexpr int kFrameWidth = 60;
// Significant digits of the re-estimated scale: enough to compare with
// another program, whatever the units.
constexpr int kScaleDigits = 10;

// "***" + text centred in the 54 characters between + "***".
std::string FramedLine(const std::string& text)
{
    const int inner = kFrameWidth - 6;
    const int left = (inner - static_cast<int>(text.size())) / 2;
    std::string line = "***";
    line.append(static_cast<std::size_t>(left), ' ');
    line += text;
    line.append(static_cast<std::size_t>(inner - left - static_cast<int>(text.size())), ' ');
    line += "***\n";
    return line;
}

void WriteBanner(ReportFile& file)
{
    const std::string empty = FramedLine("");
    file.WriteString(kStarRule);
    file.WriteString(empty);
    file.WriteString("***                 TOLVAR VERSION 2.0                   ***\n");
    file.WriteString(empty);
    file.WriteString(FramedLine("Robuste Ausgleichung von Beobachtungen"));
    file.WriteString(FramedLine("M-Sch\xE4tzer, L1-, Lp- und Tschebycheff-Norm"));
    file.WriteString(empty);
    file.WriteString(kStarRule);
    file.WriteString("\n");
}

// Writes line with its end and empties it for the next one.
void WriteLine(ReportFile& file, std::string& line, const char* end = "\n")
{
    line += end;
    file.WriteString(line);
    line.clear();
}

std::size_t RowCount(const Matrix& matrix)
{
    return static_cast<std::size_t>(std::max(matrix.Rows(), 0));
}

// Element (i, 0), straight from the block: the tables stream the columns.
double FirstColumn(const Matrix& matrix, std::size_t i)
{
    return matrix.Data()[i * static_cast<std::size_t>(matrix.Columns())];
}

// Ends a table row written up to out.
void EndRow(TextPiece& text, char* out)
{
    std::memcpy(out, kReportLineEnd.data(), kReportLineEnd.size());
    text.Advance(out + kReportLineEnd.size());
}

// A section title between two rules of "=", then an empty line.
void WriteSectionHeading(ReportFile& file, const char* title)
{
    file.WriteString(kEqualsRule);
    file.WriteString(title);
    file.WriteString(kEqualsRule);
    file.WriteString("\n");
}

void WriteInputSummary(ReportFile& file, const Matrix& A, const Matrix& l, const Matrix& weights)
{
    WriteSectionHeading(file, " Zusammenfassung der Eingangsdaten\n");
    file.WriteString(" Designmatrix:\n\n");
    A.Print(file);
    file.WriteString("\n");

    std::string line;
    AppendRightAligned(line, "Beobachtung", 20);
    AppendRightAligned(line, "Gewicht", 20);
    WriteLine(file, line, "\n\n");
    file.WriteTable(RowCount(l), 2 * 20 + kReportLineEnd.size(),
                    [&l, &weights](std::size_t first, std::size_t last, TextPiece& text) {
                        for (std::size_t i = first; i < last; ++i) {
                            char* out = text.Room(2 * (20 + kFixedFieldRoom) + kReportLineEnd.size());
                            out = WriteFixedField(out, FirstColumn(l, i), 20, 5);
                            out = WriteFixedField(out, FirstColumn(weights, i), 20, 5);
                            EndRow(text, out);
                        }
                    });
    file.WriteString("\n");
}

void WriteHeadThroughMethod(ReportFile& file, const Matrix& A, const Matrix& l, const Matrix& weights,
                            const std::string& methodText)
{
    WriteBanner(file);
    WriteInputSummary(file, A, l, weights);
    file.WriteString("Berechnungsart: ");
    file.WriteString(methodText);
}

void WriteHeadRest(ReportFile& file)
{
    file.WriteString("\n\n");
    WriteSectionHeading(file, " Berechnungsergebnisse\n");
}

void WriteHeadWithMethod(ReportFile& file, const Matrix& A, const Matrix& l, const Matrix& weights,
                         const std::string& methodText)
{
    WriteHeadThroughMethod(file, A, l, weights, methodText);
    WriteHeadRest(file);
}

void WriteUnknownsAndTable(ReportFile& file, const Matrix& x, const Matrix& l, const Matrix& v)
{
    file.WriteString(" Ermittelte Unbekannte:\n\n");
    std::string line;
    for (int j = 0; j < x.Rows(); ++j) {
        AppendFixed(line, x(j, 0), 15, 5);
        WriteLine(file, line);
    }
    file.WriteString("\n");

    AppendRightAligned(line, "Nr", 4);
    AppendRightAligned(line, "Beobachtung", 15);
    AppendRightAligned(line, "Verbesserung", 15);
    AppendRightAligned(line, "Ausgegl. Beob.", 15);
    WriteLine(file, line, ":\n\n");
    file.WriteTable(RowCount(l), 4 + 3 * 15 + kReportLineEnd.size(),
                    [&l, &v](std::size_t first, std::size_t last, TextPiece& text) {
                        for (std::size_t i = first; i < last; ++i) {
                            const double observed = FirstColumn(l, i);
                            const double correction = FirstColumn(v, i);
                            char* out = text.Room(4 + 24 + 3 * (15 + kFixedFieldRoom) + kReportLineEnd.size());
                            out = WriteIntegerField(out, static_cast<long long>(i) + 1, 4);
                            out = WriteFixedField(out, observed, 15, 5);
                            out = WriteFixedField(out, correction, 15, 5);
                            out = WriteFixedField(out, observed + correction, 15, 5);
                            EndRow(text, out);
                        }
                    });
    file.WriteString(kEqualsRule);
}

} // namespace

bool ResultsAreFinite(const Matrix& x, const Matrix& l, const Matrix& v)
{
    if (!AllFinite(x))
        return false;
    for (int i = 0; i < l.Rows(); ++i)
        if (!std::isfinite(v(i, 0)) || !std::isfinite(l(i, 0) + v(i, 0)))
            return false;
    return true;
}

std::string MethodText(int methodCode, double tuningConstant, double normFactor)
{
    if (!IsMethodCode(methodCode))
        return "";
    const MethodInfo& method = kMethods[methodCode];
    std::string text = method.reportName;
    switch (method.parameter) {
    case MethodParameter::kNone:
        break;
    case MethodParameter::kNormFactor:
        text.append(" ").append(FormatFixed6(normFactor));
        break;
    case MethodParameter::kTuningConstant:
        text.append(" mit Tuning-Konstante ").append(FormatFixed6(tuningConstant));
        break;
    }
    return text.append("\n");
}

void WriteReportHead(ReportFile& file, const Matrix& A, const Matrix& l, const Matrix& weights, int methodCode,
                     double tuningConstant, double normFactor)
{
    WriteHeadWithMethod(file, A, l, weights, MethodText(methodCode, tuningConstant, normFactor));
}

void WriteReportHeadThroughMethod(ReportFile& file, const Matrix& A, const Matrix& l, const Matrix& weights,
                                  int methodCode, double tuningConstant)
{
    WriteHeadThroughMethod(file, A, l, weights, MethodText(methodCode, tuningConstant, 0.0));
}

void WriteReportScaleLineAndRest(ReportFile& file, double lastScale)
{
    std::string line = "Skala in jeder Iteration neu gesch\xE4tzt (MAD um 0), zuletzt s = ";
    AppendGeneral(line, lastScale, 0, kScaleDigits);
    WriteLine(file, line);
    WriteHeadRest(file);
}

void WriteReportHeadWithMethodText(ReportFile& file, const Matrix& A, const Matrix& l, const Matrix& weights,
                                   const std::string& methodText)
{
    WriteHeadWithMethod(file, A, l, weights, methodText);
}

void WriteReportResults(ReportFile& file, int methodCode, int passCount, const Matrix& x, const Matrix& l,
                        const Matrix& v)
{
    if (methodCode != kMethodL1) {
        std::string line = " Ben\xF6tigte Anzahl an Iterationen: ";
        AppendInteger(line, passCount, 0);
        WriteLine(file, line, "\n\n");
    }
    WriteUnknownsAndTable(file, x, l, v);
}

void WriteReportResultsWithoutPassCount(ReportFile& file, const Matrix& x, const Matrix& l, const Matrix& v)
{
    WriteUnknownsAndTable(file, x, l, v);
}
