#include "normex/command_text.h"

#include "core/number_text.h"

#include <algorithm>
#include <limits>
#include <string_view>

namespace {

constexpr std::size_t kLpBufferSize = 255;

// An empty name needs its quotes too: without them the library would take
// the next field for it.
bool NeedsQuotes(const std::string& name)
{
    return name.empty() || name.find_first_of(" \t\"") != std::string::npos;
}

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

// Fields are separated by blanks (tabs too). Any other byte, a line end
// included, belongs to a field, as the builder quotes only names with
// blanks, tabs or quotes.
bool IsSeparator(char c)
{
    return c == ' ' || c == '\t';
}

// Reads fields from [position, end); never touches a byte at or past end.
class FieldReader {
public:
    FieldReader(const char* begin, const char* end) : position(begin), end(end) {}

    bool ReadName(std::string& name);
    bool ReadInteger(int& value);
    bool ReadCount(std::optional<int>& value)
    {
        int read = 0;
        if (!ReadInteger(read))
            return false;
        value = read;
        return true;
    }
    bool ReadNumber(double& value);
    bool AtEndAfterSeparators()
    {
        SkipSeparators();
        return position == end;
    }

private:
    void SkipSeparators()
    {
        while (position != end && IsSeparator(*position))
            ++position;
    }
    // The next run of non-separator bytes; empty at the end of the text.
    std::string_view ReadToken();
    bool ReadQuotedName(std::string& name);

    const char* position;
    const char* end;
};

std::string_view FieldReader::ReadToken()
{
    SkipSeparators();
    const char* start = position;
    while (position != end && !IsSeparator(*position))
        ++position;
    return std::string_view(start, static_cast<std::size_t>(position - start));
}

bool FieldReader::ReadName(std::string& name)
{
    SkipSeparators();
    if (position == end)
        return false;
    if (*position == '"')
        return ReadQuotedName(name);
    name = std::string(ReadToken());
    return true;
}

// After the opening quote: up to the closing quote, which must be followed
// by a separator or the end of the text.
bool FieldReader::ReadQuotedName(std::string& name)
{
    name.clear();
    ++position;
    while (position != end) {
        const char c = *position++;
        if (c == '"')
            return position == end || IsSeparator(*position);
        if (c == '\\' && position != end && (*position == '"' || *position == '\\')) {
            name += *position++;
            continue;
        }
        name += c;
    }
    return false; // no closing quote
}

bool FieldReader::ReadInteger(int& value)
{
    return ReadWholeInteger(ReadToken(), value) == NumberText::kValid;
}

// A factor beyond the range of a double, "inf" or "nan" is kept as NaN, so
// that it is refused later like any factor that is not finite.
bool FieldReader::ReadNumber(double& value)
{
    switch (ReadWholeNumber(ReadToken(), value)) {
    case NumberText::kValid:
        return true;
    case NumberText::kOutOfRange:
        value = std::numeric_limits<double>::quiet_NaN();
        return true;
    case NumberText::kMalformed:
        break;
    }
    return false;
}

} // namespace

std::string BuildLpCommand(const std::string& inputFileName, const std::string& outputFileName, int observations,
                           int unknowns, double normFactor, int maxIterations)
{
    return QuoteFileName(inputFileName) + ' ' + QuoteFileName(outputFileName) + ' ' + std::to_string(observations) +
           ' ' + std::to_string(unknowns) + ' ' + FormatFixed6(normFactor) + ' ' + std::to_string(maxIterations) +
           ' ';
}

std::vector<char> LpCommandBuffer(const std::string& command)
{
    std::vector<char> buffer(std::max(kLpBufferSize, command.size() + 1), '\0');
    std::copy(command.begin(), command.end(), buffer.begin());
    return buffer;
}

bool ParseLpCommand(const char* text, int length, LpRequest& request)
{
    if (text == nullptr || length < 1)
        return false;
    // Byte by byte, so that no byte after the terminating zero is touched.
    const char* end = text;
    while (end != text + length && *end != '\0')
        ++end;
    FieldReader reader(text, end);
    return reader.ReadName(request.inputFile) && reader.ReadName(request.outputFile) &&
           reader.ReadCount(request.observations) && reader.ReadCount(request.unknowns) &&
           reader.ReadNumber(request.normFactor) && reader.ReadInteger(request.maxPasses) &&
           reader.AtEndAfterSeparators();
}
