#pragma once

// Test helpers shared by the Lp library and command-line tests: reading a
// report back into numbers and writing input files.

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace test_support {

struct ParsedReport {
    bool ok = false;
    std::string methodLine; // the text after "Berechnungsart: ", Windows-1252
    int passCount = -1;     // -1 when the report has no pass-count line
    std::vector<double> unknowns;
    std::vector<double> observations;
    std::vector<double> corrections;
    std::vector<double> adjusted;
};

inline std::vector<std::string> SplitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// Reads the method line, pass count, unknowns and observation table.
inline ParsedReport ParseReport(const std::string& path)
{
    ParsedReport report;
    const std::vector<std::string> lines = SplitCrLf(ReadBytes(path));
    const std::string methodPrefix = "Berechnungsart: ";
    const std::string passPrefix = " Ben\xF6tigte Anzahl an Iterationen: ";
    std::size_t i = 0;
    for (; i < lines.size(); ++i) {
        if (lines[i].rfind(methodPrefix, 0) == 0)
            report.methodLine = lines[i].substr(methodPrefix.size());
        if (lines[i].rfind(passPrefix, 0) == 0)
            report.passCount = std::stoi(lines[i].substr(passPrefix.size()));
        if (lines[i] == " Ermittelte Unbekannte:")
            break;
    }
    for (i += 2; i < lines.size() && !lines[i].empty(); ++i)
        report.unknowns.push_back(std::stod(lines[i]));
    for (; i < lines.size() && lines[i].rfind("  Nr", 0) != 0; ++i) {
    }
    for (i += 2; i < lines.size() && lines[i].rfind("====", 0) != 0; ++i) {
        std::istringstream row(lines[i]);
        int number = 0;
        double l = 0.0, v = 0.0, adjusted = 0.0;
        if (!(row >> number >> l >> v >> adjusted))
            return report;
        report.observations.push_back(l);
        report.corrections.push_back(v);
        report.adjusted.push_back(adjusted);
    }
    report.ok = i < lines.size() && !report.unknowns.empty();
    return report;
}

// Writes an input file: n design rows, then n lines "l p". Full precision.
inline void WriteInput(const std::string& path, const std::vector<std::vector<double>>& A, const std::vector<double>& l,
                       const std::vector<double>& p)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return;
    for (const std::vector<double>& row : A) {
        for (double value : row)
            std::fprintf(file, " %.17g", value);
        std::fputs("\r\n", file);
    }
    for (std::size_t i = 0; i < l.size(); ++i)
        std::fprintf(file, "%.17g %.17g\r\n", l[i], p[i]);
    std::fclose(file);
}

// Expects the report's unknowns to be expected's, each within tolerance.
inline void ExpectUnknowns(const ParsedReport& report, const std::vector<double>& expected, double tolerance)
{
    ASSERT_EQ(report.unknowns.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k)
        EXPECT_NEAR(report.unknowns[k], expected[k], tolerance) << "unknown " << k;
}

} // namespace test_support
