#include "normex/number_text.h"

#include <charconv>
#include <system_error>

namespace {

// std::from_chars reads a "-" but no "+"; a "+" is taken off here, and a
// second sign after it is refused ("+-5", "++5").
bool DropPlus(std::string_view& text)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-'))
            return false;
    }
    return !text.empty();
}

template <class T>
NumberText ReadWhole(std::string_view text, T& value)
{
    if (!DropPlus(text))
        return NumberText::kMalformed;
    T read{};
    const auto result = std::from_chars(text.data(), text.data() + text.size(), read);
    if (result.ptr != text.data() + text.size())
        return NumberText::kMalformed;
    if (result.ec == std::errc::result_out_of_range)
        return NumberText::kOutOfRange;
    if (result.ec != std::errc())
        return NumberText::kMalformed;
    value = read;
    return NumberText::kValid;
}

} // namespace

NumberText ReadWholeInteger(std::string_view text, int& value)
{
    return ReadWhole(text, value);
}

NumberText ReadWholeNumber(std::string_view text, double& value)
{
    return ReadWhole(text, value);
}
