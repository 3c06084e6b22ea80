#include "normex/command_text.h"

#include <charconv>
#include <cstring>
#include <string_view>
#include <system_error>

namespace {

// Fields are separated by blanks (tabs too). Any other byte, a line end
// included, belongs to a field, as the caller quotes only names with blanks,
// tabs or quotes.
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
    std::string_view token = ReadToken();
    if (!token.empty() && token.front() == '+')
        token.remove_prefix(1);
    if (token.empty() || token.front() == '+')
        return false;
    const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
    return result.ec == std::errc() && result.ptr == token.data() + token.size();
}

bool FieldReader::ReadNumber(double& value)
{
    std::string_view token = ReadToken();
    if (!token.empty() && token.front() == '+')
        token.remove_prefix(1);
    if (token.empty() || token.front() == '+')
        return false;
    const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
    // Out of range keeps the text's meaning: the factor is checked later.
    return (result.ec == std::errc() || result.ec == std::errc::result_out_of_range) &&
           result.ptr == token.data() + token.size();
}

} // namespace

bool ParseCommandText(const char* text, int length, LpCommand& command)
{
    if (text == nullptr || length < 1)
        return false;
    const void* zero = std::memchr(text, '\0', static_cast<std::size_t>(length));
    const char* end = zero != nullptr ? static_cast<const char*>(zero) : text + length;
    FieldReader reader(text, end);
    return reader.ReadName(command.inputFile) && reader.ReadName(command.outputFile) &&
           reader.ReadInteger(command.observations) && reader.ReadInteger(command.unknowns) &&
           reader.ReadNumber(command.normFactor) && reader.ReadInteger(command.maxPasses) &&
           reader.AtEndAfterSeparators();
}
