#pragma once

#include "core/adjustment_results.h"
#include "core/matrix.h"
#include "core/methods.h"
#include "core/output_file.h"
#include "io/input_file.h"

#include <optional>
#include <string>

class IStatusWindow;

// One Lp-norm problem: the files, the sizes the caller expects, the norm
// factor and the pass limit.
struct LpRequest {
    std::string inputFile;
    std::string outputFile;
    std::optional<int> observations; // expected n; unset accepts the file's
    std::optional<int> unknowns;     // expected u; unset accepts the file's
    double normFactor = 2.0;
    int maxPasses = kDefaultMaxPasses;
    OutputDurability reportDurability = OutputDurability::kRenamed;
    DesignPieceReport designPieceReport; // told of design pieces that are no number; the library stays silent
    bool testShares = false; // keep what testing the observations needs (costs about a pass)
};

struct LpOutcome {
    int result = 0;             // a NormexResult code (normex/normex.h)
    int messageId = 0;          // the reader's string id when the input was rejected, else 0
    InputPlace inputPlace;      // where in the input the reader found its fault
    AdjustmentResults results;  // of the reported solution, when a report was written
    OutputError reportError;    // why the report failed, for NORMEX_OUTPUT_FAILED
};

// The norm factor that selects the exact Chebyshev (minimax) solution.
constexpr double kChebyshevNormFactor = 25.0;

// Reads the input file (weights as a vector, memory O(n u)), checks the
// sizes and the factor, solves and writes the report:
//   factor 1: L1 by Barrodale-Roberts (the engine's code 1);
//   factor 25: the minimax solution of the weighted system, which minimises
//     max_i sqrt(p_i) |v_i|; method line "Loo-Norm Lösung (Tschebycheff)",
//     no pass count;
//   any other factor p > 1: the minimiser of sum_i |sqrt(p_i) v_i|^p by
//     Newton's method (SolveLpNorm), with at most maxPasses passes; the
//     engine's method line for code 0 and the pass count. A run that stops
//     short of the minimiser still writes its report and gives
//     NORMEX_NO_CONVERGENCE.
// The results carry the method "lp" with the factor, robust weights 1, s0
// and no standard deviations; for factor 1 also the basic observations.
// Nothing is written when the factor, the input or the sizes are refused,
// or when the output names the input file (checked before reading).
// The shared path of the LP entry point and of tolvar-cli -m lp.
LpOutcome RunLpSolution(const LpRequest& request, IStatusWindow* status = nullptr);
