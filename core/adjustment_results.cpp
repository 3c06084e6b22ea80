#include "core/adjustment_results.h"

#include <cmath>
#include <limits>

const char* RunEndName(RunEnd end)
{
    switch (end) {
    case RunEnd::kCriterion:
        return "criterion";
    case RunEnd::kPassLimit:
        return "limit";
    case RunEnd::kSinglePass:
        return "single pass";
    case RunEnd::kNotFinite:
        return "not finite";
    case RunEnd::kOptimum:
        return "optimum";
    case RunEnd::kShortOfOptimum:
        return "short of optimum";
    case RunEnd::kScaleZero:
        return "scale zero";
    }
    return "";
}

const char* ScaleRuleName(ScaleRule rule)
{
    return rule == ScaleRule::kEachPass ? "mad-each-pass" : "mad";
}

void SetPrecision(AdjustmentResults& results, const Matrix* Q)
{
    const int n = results.Observations();
    const int redundancy = results.Redundancy();
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        const double v = results.corrections(i, 0);
        sum += results.robustWeights[static_cast<std::size_t>(i)] * results.weights(i, 0) * v * v;
    }
    results.s0 = redundancy > 0 ? std::sqrt(sum / redundancy) : std::numeric_limits<double>::quiet_NaN();
    results.standardDeviations.clear();
    if (Q == nullptr)
        return;
    for (int j = 0; j < results.Unknowns(); ++j)
        results.standardDeviations.push_back(results.s0 * std::sqrt((*Q)(j, j)));
}
