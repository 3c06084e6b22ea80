// The results files read back to the same doubles; the summary lists what
// the run marked.

#include "core/results_text.h"

#include "core/estimator.h"
#include "results_reader.h"
#include "stack_loss.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using test_support::JsonNumbers;
using test_support::JsonValues;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// The same bits, the sign of zero included; every NaN is the same.
bool Same(double a, double b)
{
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::memcpy(&x, &a, sizeof a);
    std::memcpy(&y, &b, sizeof b);
    return x == y || (std::isnan(a) && std::isnan(b));
}

// Doubles hard to write exactly: fractions without a finite binary form,
// the extremes, a subnormal, a negative zero, 17 significant digits, and
// the values that are not finite.
const std::vector<double> kAwkward = {0.1, 1.0 / 3.0, -39.919674420222314, 1e-300,
                                      std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
                                      -0.0, 123456789012.5, 9007199254740993.0, 0.30000000000000004, kNaN, -kInf};

// Observation i: observed kAwkward[i], weight 1/(i+3), correction
// kAwkward[i+3], robust weight 1, 1/(i+2) or 0; observation 3 basic.
AdjustmentResults AwkwardResults()
{
    const int n = static_cast<int>(kAwkward.size());
    AdjustmentResults results;
    results.method = "huber";
    results.tuningConstant = 0.1 / 3.0;
    results.tuningScale = TuningScale{1.5, 1.0 / 45.0};
    results.passes = 17;
    results.end = RunEnd::kPassLimit;
    results.largestChange = 2.0 / 3.0 * 1e-5;
    results.unknowns = test_support::Column({kAwkward[0], kAwkward[2], kInf});
    results.standardDeviations = {kAwkward[1], kAwkward[3], kAwkward[4]};
    results.s0 = 0.1 + 0.2;
    results.observed = test_support::Column(kAwkward);
    results.weights = Matrix(n, 1, 0.0);
    results.corrections = Matrix(n, 1, 0.0);
    for (int i = 0; i < n; ++i) {
        results.weights(i, 0) = 1.0 / (i + 3);
        results.corrections(i, 0) = kAwkward[static_cast<std::size_t>((i + 3) % n)];
        results.robustWeights.push_back(i % 3 == 0 ? 1.0 : i % 3 == 1 ? 1.0 / (i + 2) : 0.0);
    }
    results.basic.assign(static_cast<std::size_t>(n), false);
    results.basic[2] = true;
    return results;
}

std::string ResultsText(const AdjustmentResults& results, ResultsFormat format)
{
    std::string text;
    WriteResults(results, format, [&text](std::string_view piece) { text.append(piece); });
    return text;
}

TEST(ResultsText, FormatFollowsTheExtensionInAnyCase)
{
    EXPECT_EQ(ResultsFormatOf("out.json"), ResultsFormat::kJson);
    EXPECT_EQ(ResultsFormatOf("a/OUT.Csv"), ResultsFormat::kCsv);
    for (const char* name : {"out.json.txt", "out.AUS", "results.json/file", "json", "out.", ""})
        EXPECT_FALSE(ResultsFormatOf(name).has_value()) << name;
}

// The observation columns of one format, read back as numbers (JSON
// writes null for what is not finite, CSV "nan" and "inf").
std::vector<std::vector<double>> ObservationColumns(const std::string& text, ResultsFormat format)
{
    const char* json[] = {"observed", "weight", "correction", "adjusted", "robustWeight"};
    std::vector<std::vector<double>> columns(5);
    if (format == ResultsFormat::kJson) {
        for (int k = 0; k < 5; ++k)
            columns[k] = JsonNumbers(text, json[k]);
        return columns;
    }
    std::stringstream stream(text.substr(text.find("\nnumber,") + 1));
    std::string line;
    std::getline(stream, line);
    while (std::getline(stream, line)) {
        std::stringstream fields(line);
        std::string field;
        std::getline(fields, field, ',');
        for (int k = 0; k < 5 && std::getline(fields, field, ','); ++k)
            columns[k].push_back(std::strtod(field.c_str(), nullptr));
    }
    return columns;
}

TEST(ResultsText, BothFormatsReadBackToTheSameDoubles)
{
    const AdjustmentResults results = AwkwardResults();
    for (ResultsFormat format : {ResultsFormat::kJson, ResultsFormat::kCsv}) {
        const bool json = format == ResultsFormat::kJson;
        const std::string text = ResultsText(results, format);
        const std::vector<std::vector<double>> columns = ObservationColumns(text, format);
        for (int i = 0; i < results.Observations(); ++i) {
            const double expected[] = {results.observed(i, 0), results.weights(i, 0), results.corrections(i, 0),
                                       results.Adjusted(i), results.robustWeights[static_cast<std::size_t>(i)]};
            for (int k = 0; k < 5; ++k) {
                ASSERT_EQ(columns[k].size(), kAwkward.size()) << json << k;
                const bool written = !json || std::isfinite(expected[k]);
                EXPECT_TRUE(Same(columns[k][i], written ? expected[k] : kNaN)) << json << " " << i << " " << k;
            }
        }
        const std::string csvHead = text.substr(0, text.find("\nnumber,"));
        const auto run = [&](const char* jsonKey, const char* csvName) {
            if (json)
                return JsonNumbers(text, jsonKey).at(0);
            const std::string line = "# " + std::string(csvName) + ",";
            return std::strtod(csvHead.c_str() + csvHead.find(line) + line.size(), nullptr);
        };
        EXPECT_TRUE(Same(run("tuningConstant", "tuning_constant"), 0.1 / 3.0));
        EXPECT_TRUE(Same(run("s", "scale"), 1.0 / 45.0));
        EXPECT_TRUE(Same(run("largestChange", "largest_change"), *results.largestChange));
        EXPECT_TRUE(Same(run("s0", "s0"), results.s0));
        if (json) {
            EXPECT_EQ(JsonValues(text, "stop").at(0), "\"limit\"");
            EXPECT_EQ(JsonValues(text, "normFactor").at(0), "null");
            EXPECT_EQ(JsonValues(text, "value").at(2), "null"); // the infinite unknown
            EXPECT_TRUE(Same(JsonNumbers(text, "standardDeviation").at(2), kAwkward[4]));
            EXPECT_EQ(JsonValues(text, "basic").at(2), "true");
            EXPECT_EQ(JsonValues(text, "rejected").at(2), "true");
            EXPECT_EQ(JsonValues(text, "downWeighted").at(1), "true");
            EXPECT_EQ(JsonValues(text, "downWeighted").at(0), "false");
        } else {
            EXPECT_NE(csvHead.find("\n# norm_factor,\n# passes,17\n# stop,limit\n"), std::string::npos) << csvHead;
            EXPECT_NE(csvHead.find("\n# 2,-39.919674420222314,1e-300\n# 3,inf,5e-324"), std::string::npos) << csvHead;
            EXPECT_NE(text.find("\n3,-39.919674420222314,0.2,"), std::string::npos);
            EXPECT_NE(text.find(",0,1,1,1\n4,"), std::string::npos) << "w = 0: down-weighted, rejected, basic";
        }
    }
}

AdjustmentResults StackLossRun(int code, double c)
{
    const test_support::StackLossProblem problem = test_support::ReadStackLoss();
    test_support::TempFolder folder;
    CEstimator engine;
    engine.SetOutputFile(folder.Path("out.AUS"));
    engine.TuningConstant = c;
    engine.RunWithWeightVector(problem.A, problem.l, problem.weights, code, 0.0, 1000, 1e-5);
    return engine.TakeResults();
}

// The numbers in the first column of the table under heading.
std::set<int> Listed(const std::string& summary, const std::string& heading)
{
    std::set<int> listed;
    std::stringstream stream(summary.substr(summary.find(heading)));
    std::string line;
    std::getline(stream, line);
    std::getline(stream, line); // the column titles
    while (std::getline(stream, line) && !line.empty())
        listed.insert(std::atoi(line.c_str()));
    return listed;
}

TEST(ResultsText, SummaryListsTheDownWeightedOrTheBasicObservations)
{
    const std::string huber = ResultsSummary(StackLossRun(kMethodHuber, 1.5));
    EXPECT_NE(huber.find("Methode: huber, Tuning-Konstante 1.5\nIterationen: "), std::string::npos) << huber;
    EXPECT_NE(huber.find("Gewicht w < 1: 9, davon verworfen (w = 0): 0"), std::string::npos) << huber;
    EXPECT_EQ(Listed(huber, "Gewicht w < 1"), (std::set<int>{1, 3, 4, 6, 9, 13, 15, 20, 21}));
    const std::string l1 = ResultsSummary(StackLossRun(kMethodL1, 0.0));
    EXPECT_NE(l1.find("L\u00f6sung: Optimum erreicht"), std::string::npos) << l1;
    EXPECT_EQ(Listed(l1, "Basisbeobachtungen"), (std::set<int>{2, 8, 16, 18}));
}

} // namespace
