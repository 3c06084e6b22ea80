#pragma once

#include "normex/lp_solution.h"

#include <string>
#include <vector>

// The command text of the Lp library's LP entry point, written by the
// desktop program and read by the library:
//   "<input> <output> <n> <u> <factor> <maxIterations> "
// ("%s %s %d %d %lf %d "), fields separated by blanks (tabs too when read).

// The text with the factor in six decimals and "." whatever the locale. A
// file name with a blank, a tab or a double quote in it, and an empty one,
// is put in double quotes, with '"' and '\' escaped by a backslash, so that
// the library reads it back whole.
std::string BuildLpCommand(const std::string& inputFileName, const std::string& outputFileName, int observations,
                           int unknowns, double normFactor, int maxIterations);

// The buffer handed to LP: 255 bytes as the library expects, or the text's
// length + 1 when it is longer, so that nothing is cut. Zero-terminated.
std::vector<char> LpCommandBuffer(const std::string& command);

// Reads a command text into request: the files, the sizes the caller
// expects, the factor and the pass limit. The text ends at its first zero
// byte or after length bytes, whichever comes first; nothing beyond is
// read. Fields are separated by blanks or tabs; any other byte, a line end
// included, belongs to a field (a name keeps it). A name is either plain (up to the next
// blank or tab, backslashes kept) or in double quotes, where \" stands for a
// quote and \\ for a backslash. Counts and the factor follow the whole-text
// rule of core/number_text.h; a factor beyond the range of a double, "inf"
// or "nan" reads as NaN, to be refused with the other factors that are not
// finite. Only blanks or tabs may follow the sixth field.
// False when the text is null, length < 1, or a field is missing or
// malformed; request is then unspecified.
bool ParseLpCommand(const char* text, int length, LpRequest& request);
