#pragma once

#include "core/matrix.h"
#include "core/methods.h"

#include <optional>
#include <string>

class IStatusWindow;

// One Lp-norm problem: the files, the sizes the caller expects, the norm
// factor and the limits of the reweighting.
struct LpRequest {
    std::string inputFile;
    std::string outputFile;
    std::optional<int> observations; // expected n; unset accepts the file's
    std::optional<int> unknowns;     // expected u; unset accepts the file's
    double normFactor = 2.0;
    int maxPasses = kDefaultMaxPasses;
    double stopCriterion = kDefaultStopCriterion;
};

struct LpOutcome {
    int result = 0;      // a NormexResult code (normex/normex.h)
    int messageId = 0;   // the reader's string id when the input was rejected, else 0
    Matrix corrections;  // v in the units of l, when a report was written
};

// The norm factor that selects the exact Chebyshev (minimax) solution.
constexpr double kChebyshevNormFactor = 25.0;

// Reads the input file (weights as a vector, memory O(n u)), checks the
// sizes and the factor, solves and writes the report:
//   factor 1: L1 by Barrodale-Roberts (the engine's code 1);
//   factor 25: the minimax solution of the weighted system, which minimises
//     max_i sqrt(p_i) |v_i|; method line "Loo-Norm Lösung (Tschebycheff)",
//     no pass count;
//   any other factor >= 1: the engine's Lp reweighting (code 0).
// Nothing is written when the factor, the input or the sizes are refused.
// The shared path of the LP entry point and of tolvar-cli -m lp.
LpOutcome RunLpSolution(const LpRequest& request, IStatusWindow* status = nullptr);
