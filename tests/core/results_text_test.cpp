// The results files and the summary: read back to the same doubles, and
// carry the flags of the run they come from.

#include "core/results_text.h"

#include "core/estimator.h"
#include "json_reader.h"
#include "stack_loss.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using test_support::JsonValue;
using test_support::ParseJson;

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

std::uint64_t Bits(double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Same double, the sign of zero included; every NaN is the same.
testing::AssertionResult SameDouble(double actual, double expected)
{
    if ((std::isnan(actual) && std::isnan(expected)) || Bits(actual) == Bits(expected))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << std::hexfloat << actual << " instead of " << expected;
}

// Doubles that are hard to write exactly: fractions without a finite binary
// form, the extremes, a subnormal, a negative zero, 17 significant digits.
const std::vector<double> kAwkward = {0.1,
                                      1.0 / 3.0,
                                      -39.919674420222316,
                                      1e-300,
                                      std::numeric_limits<double>::denorm_min(),
                                      std::numeric_limits<double>::max(),
                                      -0.0,
                                      123456789012.5,
                                      9007199254740993.0,
                                      2.2250738585072014e-308,
                                      0.30000000000000004,
                                      -1.5e-5};

// A result with the awkward doubles in every numeric place; the weights
// run through 1, below 1 and 0.
AdjustmentResults AwkwardResults()
{
    const int n = static_cast<int>(kAwkward.size());
    AdjustmentResults results;
    results.method = "huber";
    results.tuningConstant = 1.0 / 3.0 * 0.0451;
    results.tuningScale = TuningScale{1.5, 0.1 / 3.0};
    results.passes = 17;
    results.end = RunEnd::kPassLimit;
    results.largestChange = 2.0 / 3.0 * 1e-5;
    results.unknowns = test_support::Column({kAwkward[0], kAwkward[2], kAwkward[6]});
    results.standardDeviations = {kAwkward[1], kAwkward[3], kAwkward[4]};
    results.s0 = 0.1 + 0.2;
    results.observed = Matrix(n, 1, 0.0);
    results.weights = Matrix(n, 1, 0.0);
    results.corrections = Matrix(n, 1, 0.0);
    for (int i = 0; i < n; ++i) {
        results.observed(i, 0) = kAwkward[static_cast<std::size_t>(i)];
        results.weights(i, 0) = 1.0 / (i + 3);
        results.corrections(i, 0) = kAwkward[static_cast<std::size_t>((i + 3) % n)];
        results.robustWeights.push_back(i % 3 == 0 ? 1.0 : i % 3 == 1 ? 1.0 / (i + 2) : 0.0);
    }
    results.basic.assign(static_cast<std::size_t>(n), false);
    results.basic[2] = true;
    return results;
}

TEST(ResultsText, FormatFollowsTheExtensionInAnyCase)
{
    struct Case {
        const char* name;
        std::optional<ResultsFormat> format;
    };
    for (const Case& c : {Case{"out.json", ResultsFormat::kJson}, Case{"OUT.JSON", ResultsFormat::kJson},
                          Case{"a/b.Csv", ResultsFormat::kCsv}, Case{".csv", ResultsFormat::kCsv},
                          Case{"out.json.txt", std::nullopt}, Case{"out.AUS", std::nullopt},
                          Case{"results.json/file", std::nullopt}, Case{"json", std::nullopt},
                          Case{"out.", std::nullopt}, Case{"", std::nullopt}})
        EXPECT_EQ(ResultsFormatOf(c.name), c.format) << c.name;
}

TEST(ResultsText, JsonReadsBackToTheSameDoubles)
{
    const AdjustmentResults results = AwkwardResults();
    const JsonValue json = ParseJson(ResultsText(results, ResultsFormat::kJson));
    ASSERT_EQ(json.kind, JsonValue::kObject);
    EXPECT_EQ(json["method"].text, "huber");
    EXPECT_TRUE(SameDouble(json["tuningConstant"].number, *results.tuningConstant));
    EXPECT_EQ(json["tuningScale"]["rule"].text, "mad");
    EXPECT_TRUE(SameDouble(json["tuningScale"]["c"].number, 1.5));
    EXPECT_TRUE(SameDouble(json["tuningScale"]["s"].number, results.tuningScale->scale));
    EXPECT_EQ(json["normFactor"].kind, JsonValue::kNull);
    EXPECT_EQ(json["passes"].number, 17);
    EXPECT_EQ(json["stop"].text, "limit");
    EXPECT_TRUE(SameDouble(json["largestChange"].number, *results.largestChange));
    EXPECT_TRUE(SameDouble(json["s0"].number, results.s0));
    EXPECT_EQ(json["redundancy"].number, results.Redundancy());

    const JsonValue& unknowns = json["unknowns"];
    ASSERT_EQ(unknowns.items.size(), 3u);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(unknowns.items[j]["number"].number, j + 1);
        EXPECT_TRUE(SameDouble(unknowns.items[j]["value"].number, results.unknowns(j, 0))) << j;
        EXPECT_TRUE(SameDouble(unknowns.items[j]["standardDeviation"].number, results.standardDeviations[j])) << j;
    }
    const JsonValue& observations = json["observations"];
    ASSERT_EQ(observations.items.size(), kAwkward.size());
    for (int i = 0; i < results.Observations(); ++i) {
        const JsonValue& row = observations.items[i];
        const double w = results.robustWeights[i];
        EXPECT_EQ(row["number"].number, i + 1);
        EXPECT_TRUE(SameDouble(row["observed"].number, results.observed(i, 0))) << i;
        EXPECT_TRUE(SameDouble(row["weight"].number, results.weights(i, 0))) << i;
        EXPECT_TRUE(SameDouble(row["correction"].number, results.corrections(i, 0))) << i;
        EXPECT_TRUE(SameDouble(row["robustWeight"].number, w)) << i;
        if (std::isfinite(results.Adjusted(i)))
            EXPECT_TRUE(SameDouble(row["adjusted"].number, results.Adjusted(i))) << i;
        else
            EXPECT_EQ(row["adjusted"].kind, JsonValue::kNull) << i;
        EXPECT_EQ(row["downWeighted"].boolean, w < 1.0) << i;
        EXPECT_EQ(row["rejected"].boolean, w == 0.0) << i;
        EXPECT_EQ(row["basic"].boolean, i == 2) << i;
    }
}

// JSON has no infinity and no NaN: such numbers are null; absent values too.
TEST(ResultsText, JsonWritesNullForWhatIsNotANumberOrNotThere)
{
    AdjustmentResults results = AwkwardResults();
    results.tuningConstant.reset();
    results.tuningScale.reset();
    results.passes.reset();
    results.largestChange.reset();
    results.s0 = kNaN;
    results.standardDeviations.clear();
    results.unknowns(0, 0) = kInf;
    results.unknowns(1, 0) = -kInf;
    results.corrections(0, 0) = kNaN;
    const JsonValue json = ParseJson(ResultsText(results, ResultsFormat::kJson));
    ASSERT_EQ(json.kind, JsonValue::kObject);
    for (const char* key : {"tuningConstant", "tuningScale", "passes", "largestChange", "s0"})
        EXPECT_EQ(json[key].kind, JsonValue::kNull) << key;
    EXPECT_EQ(json["unknowns"].items[0]["value"].kind, JsonValue::kNull);
    EXPECT_EQ(json["unknowns"].items[1]["value"].kind, JsonValue::kNull);
    EXPECT_EQ(json["unknowns"].items[2]["standardDeviation"].kind, JsonValue::kNull);
    EXPECT_EQ(json["observations"].items[0]["correction"].kind, JsonValue::kNull);
    EXPECT_EQ(json["observations"].items[0]["adjusted"].kind, JsonValue::kNull);
}

// The CSV text split into its comment block (name -> value) and rows.
struct ParsedCsv {
    std::vector<std::pair<std::string, std::string>> comments;
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
};

std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, ','))
        fields.push_back(field);
    if (!line.empty() && line.back() == ',')
        fields.emplace_back();
    return fields;
}

ParsedCsv ParseCsv(const std::string& text)
{
    ParsedCsv csv;
    std::stringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        if (line.rfind("# ", 0) == 0) {
            const std::string body = line.substr(2);
            const std::size_t comma = body.find(',');
            csv.comments.emplace_back(body.substr(0, comma), comma == std::string::npos ? "" : body.substr(comma + 1));
        } else if (csv.header.empty()) {
            csv.header = SplitFields(line);
        } else {
            csv.rows.push_back(SplitFields(line));
        }
    }
    return csv;
}

std::string CommentValue(const ParsedCsv& csv, const std::string& name)
{
    for (const auto& [key, value] : csv.comments)
        if (key == name)
            return value;
    return "(missing)";
}

double Read(const std::string& field)
{
    char* end = nullptr;
    const double value = std::strtod(field.c_str(), &end);
    EXPECT_EQ(*end, '\0') << field;
    return value;
}

TEST(ResultsText, CsvReadsBackToTheSameDoubles)
{
    AdjustmentResults results = AwkwardResults();
    results.corrections(1, 0) = kNaN;
    results.corrections(3, 0) = -kInf;
    const ParsedCsv csv = ParseCsv(ResultsText(results, ResultsFormat::kCsv));
    EXPECT_EQ(CommentValue(csv, "method"), "huber");
    EXPECT_TRUE(SameDouble(Read(CommentValue(csv, "tuning_constant")), *results.tuningConstant));
    EXPECT_EQ(CommentValue(csv, "scale_rule"), "mad");
    EXPECT_TRUE(SameDouble(Read(CommentValue(csv, "given_tuning_constant")), 1.5));
    EXPECT_TRUE(SameDouble(Read(CommentValue(csv, "scale")), results.tuningScale->scale));
    EXPECT_EQ(CommentValue(csv, "norm_factor"), "");
    EXPECT_EQ(CommentValue(csv, "passes"), "17");
    EXPECT_EQ(CommentValue(csv, "stop"), "limit");
    EXPECT_TRUE(SameDouble(Read(CommentValue(csv, "largest_change")), *results.largestChange));
    EXPECT_TRUE(SameDouble(Read(CommentValue(csv, "s0")), results.s0));
    for (int j = 0; j < 3; ++j) {
        const std::vector<std::string> fields = SplitFields(CommentValue(csv, std::to_string(j + 1)));
        ASSERT_EQ(fields.size(), 2u) << j;
        EXPECT_TRUE(SameDouble(Read(fields[0]), results.unknowns(j, 0))) << j;
        EXPECT_TRUE(SameDouble(Read(fields[1]), results.standardDeviations[j])) << j;
    }
    EXPECT_EQ(csv.header, (std::vector<std::string>{"number", "observed", "weight", "correction", "adjusted",
                                                    "robust_weight", "down_weighted", "rejected", "basic"}));
    ASSERT_EQ(csv.rows.size(), kAwkward.size());
    for (int i = 0; i < results.Observations(); ++i) {
        const std::vector<std::string>& row = csv.rows[i];
        ASSERT_EQ(row.size(), 9u) << i;
        const double w = results.robustWeights[i];
        EXPECT_EQ(row[0], std::to_string(i + 1));
        const double expected[] = {results.observed(i, 0), results.weights(i, 0), results.corrections(i, 0),
                                   results.Adjusted(i), w};
        for (int k = 0; k < 5; ++k)
            EXPECT_TRUE(SameDouble(Read(row[k + 1]), expected[k])) << i << " " << csv.header[k + 1];
        EXPECT_EQ(row[6], w < 1.0 ? "1" : "0") << i;
        EXPECT_EQ(row[7], w == 0.0 ? "1" : "0") << i;
        EXPECT_EQ(row[8], i == 2 ? "1" : "0") << i;
    }
}

// Far more observations than one piece of text: the sink gets them in
// bounded pieces that join to the whole text.
TEST(ResultsText, ManyObservationsReachTheSinkInBoundedPieces)
{
    const int n = 20000;
    AdjustmentResults results = AwkwardResults();
    results.observed = Matrix(n, 1, 1.0 / 7.0);
    results.weights = Matrix(n, 1, 1.0);
    results.corrections = Matrix(n, 1, -2.0 / 7.0);
    results.robustWeights.assign(n, 0.5);
    results.basic.clear();
    for (ResultsFormat format : {ResultsFormat::kJson, ResultsFormat::kCsv}) {
        std::string joined;
        std::size_t largest = 0;
        int pieces = 0;
        WriteResults(results, format, [&](std::string_view piece) {
            joined.append(piece);
            largest = std::max(largest, piece.size());
            ++pieces;
        });
        EXPECT_EQ(joined, ResultsText(results, format));
        EXPECT_GT(pieces, 10);
        EXPECT_LT(largest, std::size_t{1} << 17);
    }
    EXPECT_EQ(ParseJson(ResultsText(results, ResultsFormat::kJson))["observations"].items.size(),
              static_cast<std::size_t>(n));
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

// The numbers in the first column of the summary's observation table.
std::set<int> ListedObservations(const std::string& summary, const std::string& tableHeading)
{
    std::set<int> listed;
    std::stringstream stream(summary.substr(summary.find(tableHeading)));
    std::string line;
    std::getline(stream, line); // the heading
    std::getline(stream, line); // the column titles
    while (std::getline(stream, line) && !line.empty() && line.find("...") == std::string::npos)
        listed.insert(std::atoi(line.c_str()));
    return listed;
}

TEST(ResultsText, SummaryListsTheDownWeightedOrTheBasicObservations)
{
    const std::string huber = ResultsSummary(StackLossRun(kMethodHuber, 1.5));
    EXPECT_NE(huber.find("Methode: huber, Tuning-Konstante 1.5\n"), std::string::npos) << huber;
    EXPECT_NE(huber.find("(Abbruchkriterium erreicht"), std::string::npos) << huber;
    EXPECT_NE(huber.find("Standardabw."), std::string::npos) << huber;
    EXPECT_NE(huber.find("Gewicht w < 1: 9, davon verworfen (w = 0): 0"), std::string::npos) << huber;
    EXPECT_EQ(ListedObservations(huber, "Gewicht w < 1"), (std::set<int>{1, 3, 4, 6, 9, 13, 15, 20, 21}));

    const std::string talwar = ResultsSummary(StackLossRun(kMethodTalwar, 2.795));
    EXPECT_EQ(ListedObservations(talwar, "Gewicht w < 1"), (std::set<int>{1, 3, 4, 21}));
    EXPECT_NE(talwar.find("davon verworfen (w = 0): 4"), std::string::npos) << talwar;

    const std::string l1 = ResultsSummary(StackLossRun(kMethodL1, 0.0));
    EXPECT_NE(l1.find("L\u00f6sung: Optimum erreicht"), std::string::npos) << l1;
    EXPECT_EQ(l1.find("Standardabw."), std::string::npos) << l1;
    EXPECT_EQ(ListedObservations(l1, "Basisbeobachtungen"), (std::set<int>{2, 8, 16, 18}));
}

TEST(ResultsText, SummaryCutsALongListAndCountsTheRest)
{
    AdjustmentResults results = AwkwardResults();
    const int n = kSummaryObservationLines + 7;
    results.observed = Matrix(n, 1, 1.0);
    results.weights = Matrix(n, 1, 1.0);
    results.corrections = Matrix(n, 1, 2.0);
    results.robustWeights.assign(n, 0.0);
    results.basic.clear();
    const std::string summary = ResultsSummary(results);
    EXPECT_EQ(ListedObservations(summary, "Gewicht w < 1").size(), static_cast<std::size_t>(kSummaryObservationLines));
    EXPECT_NE(summary.find("... und 7 weitere\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find("c \u00b7 s mit c = 1.5"), std::string::npos) << summary;
}

} // namespace
