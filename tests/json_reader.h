#pragma once

// A small JSON reader for the tests of the results files: objects, arrays,
// strings without escapes beyond \" and \\, numbers (read with strtod, so a
// number reads back to the double it was written from), true, false, null.
// Anything else makes the value invalid.

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace test_support {

struct JsonValue {
    enum Kind { kInvalid, kNull, kBool, kNumber, kString, kArray, kObject } kind = kInvalid;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    const JsonValue& operator[](const std::string& key) const
    {
        static const JsonValue missing;
        const auto found = members.find(key);
        return found == members.end() ? missing : found->second;
    }
};

class JsonReader {
public:
    explicit JsonReader(std::string_view text) : text(text) {}

    // The whole text as one value; invalid when anything is left over.
    JsonValue ReadDocument()
    {
        JsonValue value = Read();
        SkipSpace();
        if (position != text.size())
            value.kind = JsonValue::kInvalid;
        return value;
    }

private:
    void SkipSpace()
    {
        while (position < text.size() && (text[position] == ' ' || text[position] == '\n' || text[position] == '\t' ||
                                          text[position] == '\r'))
            ++position;
    }
    bool Take(char c)
    {
        SkipSpace();
        if (position < text.size() && text[position] == c) {
            ++position;
            return true;
        }
        return false;
    }
    bool TakeWord(std::string_view word)
    {
        if (text.substr(position, word.size()) != word)
            return false;
        position += word.size();
        return true;
    }
    bool ReadString(std::string& out)
    {
        if (!Take('"'))
            return false;
        while (position < text.size() && text[position] != '"') {
            if (text[position] == '\\')
                ++position;
            if (position < text.size())
                out += text[position++];
        }
        return Take('"');
    }
    JsonValue Read()
    {
        JsonValue value;
        SkipSpace();
        if (position >= text.size())
            return value;
        const char c = text[position];
        if (c == '{')
            return ReadObject();
        if (c == '[')
            return ReadArray();
        if (c == '"') {
            value.kind = ReadString(value.text) ? JsonValue::kString : JsonValue::kInvalid;
        } else if (TakeWord("null")) {
            value.kind = JsonValue::kNull;
        } else if (TakeWord("true")) {
            value.kind = JsonValue::kBool;
            value.boolean = true;
        } else if (TakeWord("false")) {
            value.kind = JsonValue::kBool;
        } else {
            // JSON numbers start with a digit, after an optional minus.
            const std::string rest(text.substr(position, 40));
            const std::size_t digit = rest[0] == '-' ? 1 : 0;
            char* end = nullptr;
            value.number = std::strtod(rest.c_str(), &end);
            if (digit < rest.size() && rest[digit] >= '0' && rest[digit] <= '9') {
                value.kind = JsonValue::kNumber;
                position += static_cast<std::size_t>(end - rest.c_str());
            }
        }
        return value;
    }
    JsonValue ReadArray()
    {
        JsonValue value;
        Take('[');
        if (!Take(']')) {
            do
                value.items.push_back(Read());
            while (Take(','));
            if (!Take(']'))
                return JsonValue();
        }
        value.kind = JsonValue::kArray;
        return value;
    }
    JsonValue ReadObject()
    {
        JsonValue value;
        Take('{');
        if (!Take('}')) {
            do {
                std::string key;
                if (!ReadString(key) || !Take(':'))
                    return JsonValue();
                value.members[key] = Read();
            } while (Take(','));
            if (!Take('}'))
                return JsonValue();
        }
        value.kind = JsonValue::kObject;
        return value;
    }

    std::string_view text;
    std::size_t position = 0;
};

inline JsonValue ParseJson(std::string_view text)
{
    return JsonReader(text).ReadDocument();
}

} // namespace test_support
