#pragma once

// Reading the results files back in the tests: the JSON text has one value
// per "key": pair, the observations one object per line.

#include <cstdlib>
#include <string>
#include <vector>

namespace test_support {

// The texts of the values of every "key": in json, in order.
inline std::vector<std::string> JsonValues(const std::string& json, const std::string& key)
{
    std::vector<std::string> values;
    const std::string quoted = "\"" + key + "\": ";
    for (std::size_t at = json.find(quoted); at != std::string::npos; at = json.find(quoted, at + 1)) {
        const std::size_t start = at + quoted.size();
        std::string value = json.substr(start, json.find_first_of(",}\n", start) - start);
        value.erase(value.find_last_not_of(' ') + 1);
        values.push_back(value);
    }
    return values;
}

// The same read as numbers; null reads as NaN.
inline std::vector<double> JsonNumbers(const std::string& json, const std::string& key)
{
    std::vector<double> numbers;
    for (const std::string& text : JsonValues(json, key))
        numbers.push_back(text == "null" ? std::strtod("nan", nullptr) : std::strtod(text.c_str(), nullptr));
    return numbers;
}

} // namespace test_support
