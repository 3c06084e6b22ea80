#pragma once

#include "core/adjustment_results.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The results of a run as text: JSON or CSV for scripts, and a short table
// for people. Every number of the files is written in the shortest form
// that reads back as exactly the same double; the files end lines with LF.
//
// JSON, one object:
//   method, tuningConstant (the constant the weights used, the last pass's),
//   tuningScale ({"rule": "mad" or "mad-each-pass", "c": given constant,
//   "s": scale, the last one} or null), normFactor,
//   passes, stop (RunEndName), largestChange, observationCount,
//   unknownCount, redundancy, s0,
//   check ({"optimality": "proved" | "approximate" | "failed",
//           "estimatedDigits", "conditionNumber", "note"}: the digits and
//           the condition of the scaled normal matrix for least squares and
//           the reweighting methods, else null; the note says why s0 is
//           null when n = u, else null),
//   unknowns: [{number, value, standardDeviation}],
//   observations: [{number, observed, weight, correction, adjusted,
//                   robustWeight, downWeighted, rejected, basic}]
// with null for what the run does not have and for numbers that are not
// finite. Numbers count from 1.
//
// CSV: a block of "# name,value" lines with the same run values (names in
// snake case, empty where the run has none; the unknowns as
// "# unknown,value,standard_deviation" and one "# j,x_j,s_j" line each),
// the check as "# optimality", "# estimated_digits", "# condition_number",
// then a header line and one row per observation:
//   number,observed,weight,correction,adjusted,robust_weight,
//   down_weighted,rejected,basic
// with 1 and 0 for the flags.

enum class ResultsFormat { kJson, kCsv };

// The format that a file name's extension asks for: ".json" or ".csv", in
// any case; none for every other name.
std::optional<ResultsFormat> ResultsFormatOf(std::string_view fileName);

// Receives the text in pieces, in order.
using TextSink = std::function<void(std::string_view)>;

// Writes the whole file text to sink, in pieces of bounded size, so that a
// million observations need no text of their size in memory.
void WriteResults(const AdjustmentResults& results, ResultsFormat format, const TextSink& sink);

// The short table for people (UTF-8, German): method and constant, passes
// and how the run ended, the check of the answer, s0, the unknowns with their standard deviations,
// and the observations down-weighted or rejected (L1: the basic ones), at
// most kSummaryObservationLines of them with the count of the rest.
inline constexpr int kSummaryObservationLines = 50;
// With the tests: the global test's line and the observations with the
// largest standardized residuals |w_i|, at most kSummaryTestLines.
inline constexpr int kSummaryTestLines = 5;
std::string ResultsSummary(const AdjustmentResults& results);
