// The Lp command text: any bytes, exactly as long as given (nothing past
// them may be read), either parse or not; a text that parses, built again
// from its fields, parses to the same fields; and any two names (without
// NUL bytes), quoted where needed, come back byte for byte.

#include "fuzz/fuzz_support.h"

#include "normex/command_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

namespace {

// The text built from the fields prints the factor with six decimals.
bool SameFactor(double built, double original)
{
    if (std::isnan(original) || std::isinf(original))
        return std::isnan(original) ? std::isnan(built) : built == original;
    return std::fabs(built - original) <= 5e-7 + 1e-15 * std::fabs(original);
}

void CheckBuiltTextParsesBack(const LpRequest& fields)
{
    const std::string text = BuildLpCommand(fields.inputFile, fields.outputFile, *fields.observations, *fields.unknowns,
                                            fields.normFactor, fields.maxPasses);
    LpRequest again;
    FUZZ_CHECK(ParseLpCommand(text.c_str(), static_cast<int>(text.size()) + 1, again));
    FUZZ_CHECK(again.inputFile == fields.inputFile && again.outputFile == fields.outputFile);
    FUZZ_CHECK(again.observations == fields.observations && again.unknowns == fields.unknowns);
    FUZZ_CHECK(again.maxPasses == fields.maxPasses);
    FUZZ_CHECK(SameFactor(again.normFactor, fields.normFactor));
}

// Two names and the numbers from the bytes: a split position, then the rest.
LpRequest FieldsFromBytes(const std::uint8_t* data, std::size_t size)
{
    LpRequest fields;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    bytes.erase(std::remove(bytes.begin(), bytes.end(), '\0'), bytes.end()); // a C string ends there
    const std::size_t split = bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]) % bytes.size();
    fields.inputFile = bytes.substr(bytes.empty() ? 0 : 1, split);
    fields.outputFile = bytes.substr(std::min(bytes.size(), split + 1));
    fields.observations = static_cast<int>(size * 7919 % 100003) - 50;
    fields.unknowns = static_cast<int>(size % 13);
    fields.normFactor = static_cast<double>(size % 97) / 4.0;
    fields.maxPasses = static_cast<int>(size * 31 % 2001);
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A copy of exactly size bytes, so that AddressSanitizer sees any read past it.
    const std::unique_ptr<char[]> text(new char[size == 0 ? 1 : size]);
    if (size != 0)
        std::memcpy(text.get(), data, size);
    LpRequest parsed;
    if (ParseLpCommand(text.get(), static_cast<int>(size), parsed))
        CheckBuiltTextParsesBack(parsed);
    CheckBuiltTextParsesBack(FieldsFromBytes(data, size));
    return 0;
}
