#pragma once

#include <array>

// The engine's methods in one table: every front end (the main dialog, the
// tuning dialog, the command line), the report, the help text check and
// the tests read their codes, names and default constants from here.

// Method codes of the engine.
enum MethodCodes : int {
    kMethodLpNorm = 0,
    kMethodL1 = 1,
    kMethodAndrews = 2,
    kMethodBiweight = 3,
    kMethodCauchy = 4,
    kMethodFair = 5,
    kMethodHuber = 6,
    kMethodLogistic = 7,
    kMethodTalwar = 8,
    kMethodWelsch = 9,
};

// What the number after the method's name in the report is.
enum class MethodParameter {
    kNone,           // L1: "L1-Norm Lösung (Barrodale-Roberts)"
    kNormFactor,     // "Lp-Norm Lösung mit Normfaktor 1.500000"
    kTuningConstant, // "Huber mit Tuning-Konstante 1.500000"
};

struct MethodInfo {
    int code;
    const char* reportName;       // Windows-1252, as in the report's method line
    const char* commandLineName;  // tolvar-cli -m NAME
    MethodParameter parameter;
    double defaultTuningConstant; // the tuning dialog's first offer; 0 without a tuning constant
};

// In code order, so that kMethods[code] is the method of code. The eight
// M-estimators follow each other in the order of the dialog's radios.
inline constexpr std::array<MethodInfo, 10> kMethods = {{
    {kMethodLpNorm, "Lp-Norm L\xF6sung mit Normfaktor", "lp-irls", MethodParameter::kNormFactor, 0.0},
    {kMethodL1, "L1-Norm L\xF6sung (Barrodale-Roberts)", "l1", MethodParameter::kNone, 0.0},
    {kMethodAndrews, "Andrews", "andrews", MethodParameter::kTuningConstant, 0.5},
    {kMethodBiweight, "Biweight", "biweight", MethodParameter::kTuningConstant, 4.685},
    {kMethodCauchy, "Cauchy", "cauchy", MethodParameter::kTuningConstant, 2.385},
    {kMethodFair, "Fair", "fair", MethodParameter::kTuningConstant, 1.4},
    {kMethodHuber, "Huber", "huber", MethodParameter::kTuningConstant, 1.5},
    {kMethodLogistic, "Logistic", "logistic", MethodParameter::kTuningConstant, 1.205},
    {kMethodTalwar, "Talwar", "talwar", MethodParameter::kTuningConstant, 2.795},
    {kMethodWelsch, "Welsch", "welsch", MethodParameter::kTuningConstant, 2.985},
}};

inline constexpr int kFirstEstimator = kMethodAndrews;
inline constexpr int kEstimatorCount = kMethodWelsch - kMethodAndrews + 1;

constexpr bool IsMethodCode(int code)
{
    return code >= kMethodLpNorm && code <= kMethodWelsch;
}

// The tuning constants that the tuning dialog and the command line accept.
inline constexpr double kLowestTuningConstant = 0.0;
inline constexpr double kHighestTuningConstant = 100000000.0;

// The main dialog's first iteration limit and stop criterion, also the
// command line's defaults; the Lp library always stops at this criterion.
inline constexpr int kDefaultMaxPasses = 1000;
inline constexpr double kDefaultStopCriterion = 1e-5;

static_assert(kMethods[kMethodWelsch].code == kMethodWelsch, "kMethods is in code order");
