#pragma once

#include <string>

// The fields of an Lp command text "INPUT OUTPUT N U FACTOR PASSES".
struct LpCommand {
    std::string inputFile;
    std::string outputFile;
    int observations = 0;
    int unknowns = 0;
    double normFactor = 0.0;
    int maxPasses = 0;
};

// Parses a command text. It ends at its first zero byte or after length
// bytes, whichever comes first; nothing beyond is read. Fields are
// separated by blanks or tabs. A name is either plain (up to the next blank
// or tab) or in double quotes, where \" stands for a quote and \\ for a
// backslash. Counts are decimal integers, the factor a decimal number with
// "." as the decimal point, each with at most one sign ("+" or "-"); a
// factor beyond the range of a double reads as NaN. Only blanks or tabs may
// follow the sixth field.
// False when the text is null, length < 1, or a field is missing or
// malformed; command is then unspecified.
bool ParseCommandText(const char* text, int length, LpCommand& command);
