#pragma once

#include <string_view>

// How a text reads as one number.
enum class NumberText {
    kValid,      // the whole text is the number
    kOutOfRange, // well formed, but beyond the type's range; value unchanged
    kMalformed,  // not a number, or something before or after it
};

// The whole text, nothing before or after it, is one number: an optional
// sign ("+" or "-", one only), then the digits, for a double with "." as
// the decimal point and an optional exponent ("inf" and "nan" read as
// such). Independent of the C locale.
NumberText ReadWholeInteger(std::string_view text, int& value);
NumberText ReadWholeNumber(std::string_view text, double& value);
