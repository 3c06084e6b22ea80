#pragma once

#include <string>
#include <vector>

// The command text for the Lp-norm library's LP entry point:
//   "<input> <output> <n> <u> <factor> <maxIterations> "
// ("%s %s %d %d %lf %d "), the factor with six decimals and "." whatever
// the locale. A file name with a blank, a tab or a double quote in it, and
// an empty one, is put in double quotes, with '"' and '\' escaped by a
// backslash, so that the library reads it back whole.
std::string QuoteFileName(const std::string& fileName);
std::string BuildLpCommand(const std::string& inputFileName, const std::string& outputFileName, int observations,
                           int unknowns, double normFactor, int maxIterations);

// The buffer handed to LP: 255 bytes as the library expects, or the text's
// length + 1 when it is longer, so that nothing is cut. Zero-terminated.
std::vector<char> LpCommandBuffer(const std::string& command);
