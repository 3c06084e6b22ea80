#include "app/lp_command.h"

#include <algorithm>
#include <charconv>

namespace {
constexpr std::size_t kLpBufferSize = 255;

// An empty name needs its quotes too: without them the library would take
// the next field for it.
bool NeedsQuotes(const std::string& name)
{
    return name.empty() || name.find_first_of(" \t\"") != std::string::npos;
}

std::string FixedSixDecimals(double value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return std::string(buffer, result.ptr);
}
} // namespace

std::string QuoteFileName(const std::string& fileName)
{
    if (!NeedsQuotes(fileName))
        return fileName;
    std::string quoted = "\"";
    for (char c : fileName) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string BuildLpCommand(const std::string& inputFileName, const std::string& outputFileName, int observations,
                           int unknowns, double normFactor, int maxIterations)
{
    return QuoteFileName(inputFileName) + ' ' + QuoteFileName(outputFileName) + ' ' + std::to_string(observations) +
           ' ' + std::to_string(unknowns) + ' ' + FixedSixDecimals(normFactor) + ' ' + std::to_string(maxIterations) +
           ' ';
}

std::vector<char> LpCommandBuffer(const std::string& command)
{
    std::vector<char> buffer(std::max(kLpBufferSize, command.size() + 1), '\0');
    std::copy(command.begin(), command.end(), buffer.begin());
    return buffer;
}
