// The Lp command text: what the desktop program builds, the library reads
// back as it was built.

#include "normex/command_text.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Fields {
    std::string input;
    std::string output;
    int observations;
    int unknowns;
    double factor;
    int passes;
    bool plain; // no name needs quotes: the text is exactly printf's
};

// "%s %s %d %d %lf %d " of the C library, the format the text must keep.
std::string Printf(const Fields& f)
{
    std::vector<char> text(f.input.size() + f.output.size() + 400);
    std::snprintf(text.data(), text.size(), "%s %s %d %d %lf %d ", f.input.c_str(), f.output.c_str(),
                  f.observations, f.unknowns, f.factor, f.passes);
    return text.data();
}

bool Parse(const std::string& text, LpRequest& request)
{
    return ParseLpCommand(text.data(), static_cast<int>(text.size()), request);
}

TEST(LpCommandText, EveryBuiltTextReadsBackAsItWasBuilt)
{
    const std::string longName = "/daten/" + std::string(300, 'x') + ".EIN";
    const Fields cases[] = {
        {"/daten/a.ein", "/daten/a.aus", 12, 3, 2.0, 1000, true},
        {"C:\\daten\\a.ein", "back\\slash\\", 1, 1, 1.0 / 3.0, -5, true}, // plain names keep backslashes
        {"/meine daten/a.ein", "er\"gebnis.AUS", 21, 4, 25.0, 0, false},   // blank, quote
        {"x y\\z", "a\tb", 2, 1, 1.5, 50, false},                          // backslash in quotes, tab
        {"a.ein", "", 2, 1, 1.0, 10, false},                               // empty name
        {"line\nend.EIN", "\"\\", 7, 2, 1e6, 2147483647, false},           // line end; quote and backslash only
        {longName, "b.aus", 2, 1, 3.0, 1, true},                           // longer than the 255-byte buffer
    };
    for (const Fields& f : cases) {
        const std::string text = BuildLpCommand(f.input, f.output, f.observations, f.unknowns, f.factor, f.passes);
        if (f.plain) {
            EXPECT_EQ(text, Printf(f));
        }
        const std::vector<char> buffer = LpCommandBuffer(text);
        EXPECT_EQ(buffer.size(), std::max<std::size_t>(255, text.size() + 1)) << text;
        EXPECT_EQ(std::string(buffer.data()), text);

        LpRequest request;
        ASSERT_TRUE(ParseLpCommand(buffer.data(), static_cast<int>(buffer.size()), request)) << text;
        EXPECT_EQ(request.inputFile, f.input);
        EXPECT_EQ(request.outputFile, f.output);
        EXPECT_EQ(request.observations, f.observations);
        EXPECT_EQ(request.unknowns, f.unknowns);
        char sixDecimals[64];
        std::snprintf(sixDecimals, sizeof sixDecimals, "%lf", f.factor);
        EXPECT_EQ(request.normFactor, std::strtod(sixDecimals, nullptr)) << text;
        EXPECT_EQ(request.maxPasses, f.passes);
    }
}

TEST(LpCommandText, TabsSeparateAndOneSignIsAllowed)
{
    LpRequest request;
    ASSERT_TRUE(Parse("in\tout\t21\t4\t2.000000\t1000", request));
    EXPECT_EQ(request.outputFile, "out");
    EXPECT_EQ(request.maxPasses, 1000);
    ASSERT_TRUE(Parse("in out +21 +4 +2.000000 +1000", request));
    EXPECT_EQ(request.observations, 21);
    EXPECT_EQ(request.normFactor, 2.0);
    // A factor that is no finite double is read, as NaN, for the library to refuse.
    for (const char* factor : {"nan", "inf", "-inf", "1e999", "-1e999", "1e-999"}) {
        ASSERT_TRUE(Parse(std::string("in out 21 4 ") + factor + " 1000 ", request)) << factor;
        EXPECT_TRUE(std::isnan(request.normFactor)) << factor;
    }
}

TEST(LpCommandText, MalformedTextsAreRefused)
{
    LpRequest request;
    EXPECT_FALSE(ParseLpCommand(nullptr, 255, request));
    const std::string valid = "in out 21 4 2.000000 1000 ";
    EXPECT_TRUE(Parse(valid, request));
    EXPECT_FALSE(ParseLpCommand(valid.data(), 0, request));
    EXPECT_FALSE(ParseLpCommand(valid.data(), -5, request));
    for (const char* text : {
             "",
             "   ",
             "in",
             "in out 21 4 2.000000",           // passes missing
             "in out x 4 2.000000 1000",       // n not a number
             "in out 21 4.5 2.000000 1000",    // u not an integer
             "in out 21 4 zwei 1000",          // factor not a number
             "in out 21 4 2,5 1000",           // decimal comma
             "in out 99999999999 4 2.0 1000",  // beyond int
             "in out +-21 4 2.000000 1000",    // two signs
             "in out 21 4 ++2.000000 1000",
             "in out 21 4 2.000000 +-1000",
             "in out 21 4 2.000000 1000 mehr", // trailing field
             "\"in out 21 4 2.000000 1000",    // quote never closed
             "\"in\"x out 21 4 2.000000 1000", // text glued to the quote
         }) {
        EXPECT_FALSE(Parse(text, request)) << text;
    }
}

// The text sits at the very end of a readable page, followed by a page that
// cannot be read: any byte read past length faults.
TEST(LpCommandText, NeverReadsPastLengthOrTerminator)
{
    const long page = sysconf(_SC_PAGESIZE);
    char* pages = static_cast<char*>(
        mmap(nullptr, static_cast<std::size_t>(2 * page), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(pages + page, static_cast<std::size_t>(page), PROT_NONE), 0);
    LpRequest request;
    auto parseAtPageEnd = [&](const std::string& text) {
        char* start = pages + page - static_cast<long>(text.size());
        std::memcpy(start, text.data(), text.size());
        return ParseLpCommand(start, static_cast<int>(text.size()), request);
    };
    EXPECT_TRUE(parseAtPageEnd("in out 21 4 2.000000 1000 "));
    EXPECT_TRUE(parseAtPageEnd("in out 21 4 2.000000 10"));
    EXPECT_EQ(request.maxPasses, 10);
    EXPECT_FALSE(parseAtPageEnd("\"in\" \"out"));
    EXPECT_FALSE(parseAtPageEnd("\"in\\"));
    EXPECT_FALSE(parseAtPageEnd("in out 21 4 2."));
    munmap(pages, static_cast<std::size_t>(2 * page));

    // A zero before length ends the text; what follows it is not read as fields.
    std::string text = "in out 21 4 2.000000 1000 ";
    text += '\0';
    text += "garbage 1 2 3";
    std::vector<char> buffer(text.begin(), text.end());
    buffer.resize(255, 'x');
    EXPECT_TRUE(ParseLpCommand(buffer.data(), 255, request));
    EXPECT_EQ(request.maxPasses, 1000);
}

} // namespace
