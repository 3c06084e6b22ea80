#include "io/input_file.h"
#include "io/line_reader.h"
#include "res/string_table.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <vector>

using test_support::FromRows;
using test_support::SameMatrix;
using test_support::WriteBytes;

namespace {

// The three matrices of one read, filled with marks that no file gives.
struct Read {
    Matrix designMatrix = FromRows({{-7.0, -7.0}});
    Matrix observations = FromRows({{-8.0}});
    Matrix weights = FromRows({{-9.0}});
    int result = -1;
};

// Reads text as a file with ReadInputFile, or with the weight-vector form.
Read ReadText(const std::string& text, decltype(&ReadInputFile) reader = &ReadInputFile)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("input.EIN");
    WriteBytes(path, text);
    Read read;
    read.result = reader(path, read.designMatrix, read.observations, read.weights, nullptr, nullptr, nullptr);
    return read;
}

Read ReadVectorForm(const std::string& text)
{
    return ReadText(text, &ReadInputFileWeightVector);
}

int ResultOf(const std::string& text)
{
    return ReadText(text).result;
}

Matrix Diagonal(std::initializer_list<double> values)
{
    const int n = static_cast<int>(values.size());
    Matrix m(n, n, 0.0);
    int i = 0;
    for (double value : values) {
        m(i, i) = value;
        ++i;
    }
    return m;
}

bool Untouched(const Read& read)
{
    return SameMatrix(read.designMatrix, FromRows({{-7.0, -7.0}})) && SameMatrix(read.observations, FromRows({{-8.0}})) &&
           SameMatrix(read.weights, FromRows({{-9.0}}));
}

using InputFileRead = testing::Test; // the "C" locale; GermanLocale puts it back

}  // namespace

TEST_F(InputFileRead, ReadsDesignObservationsAndDiagonalWeights)
{
    const Read read = ReadText("1 2.5\r\n1 -3e2\r\n4 2\r\n-0.5 0.25\r\n");
    ASSERT_EQ(read.result, 0);
    EXPECT_TRUE(SameMatrix(read.designMatrix, FromRows({{1.0, 2.5}, {1.0, -300.0}})));
    EXPECT_TRUE(SameMatrix(read.observations, FromRows({{4.0}, {-0.5}})));
    EXPECT_TRUE(SameMatrix(read.weights, Diagonal({2.0, 0.25})));

    const Read vector = ReadVectorForm("1 2.5\r\n1 -3e2\r\n4 2\r\n-0.5 0.25\r\n");
    ASSERT_EQ(vector.result, 0);
    EXPECT_TRUE(SameMatrix(vector.designMatrix, read.designMatrix));
    EXPECT_TRUE(SameMatrix(vector.observations, read.observations));
    EXPECT_TRUE(SameMatrix(vector.weights, FromRows({{2.0}, {0.25}})));
}

TEST_F(InputFileRead, LineEndsCrLfBareLfAndNoneAtTheEnd)
{
    const Read expected = ReadText("1 2\r\n3 4\r\n5 1\r\n6 2\r\n");
    ASSERT_EQ(expected.result, 0);
    for (const char* text : {"1 2\n3 4\n5 1\n6 2\n", "1 2\r\n3 4\n5 1\r\n6 2", "1 2\n3 4\r\n5 1\n6 2\r\n\r\n"}) {
        const Read read = ReadText(text);
        ASSERT_EQ(read.result, 0) << text;
        EXPECT_TRUE(SameMatrix(read.designMatrix, expected.designMatrix)) << text;
        EXPECT_TRUE(SameMatrix(read.observations, expected.observations)) << text;
        EXPECT_TRUE(SameMatrix(read.weights, expected.weights)) << text;
    }
    // A CR before the end of the file, without LF, is part of the last line
    // and ends the weight like any white space.
    const Read lastCr = ReadText("1 2\r\n3 4\r\n5 1\r\n6 2\r");
    ASSERT_EQ(lastCr.result, 0);
    EXPECT_TRUE(SameMatrix(lastCr.weights, expected.weights));
}

TEST_F(InputFileRead, EmptyNameComesFirstThenOpening)
{
    const test_support::TempFolder folder;
    Read read;
    EXPECT_EQ(ReadInputFile("", read.designMatrix, read.observations, read.weights), 103);
    EXPECT_EQ(ReadInputFileWeightVector("", read.designMatrix, read.observations, read.weights), 103);
    const std::string valid = folder.Path("valid.EIN");
    WriteBytes(valid, "1\r\n5 1\r\n");
    ASSERT_EQ(ReadInputFile(valid, read.designMatrix, read.observations, read.weights), 0);
    // 104 comes with its cause, for both forms of the reader.
    const struct {
        std::string name;
        int systemError;
    } failures[] = {
        {folder.Path("does-not-exist.EIN"), ENOENT},
        {folder.Path(), EISDIR}, // a directory opens but cannot be read
        // A name with a NUL byte must not open the file named by its first part.
        {valid + std::string(1, '\0') + "x", EINVAL},
    };
    for (const auto& failure : failures) {
        for (auto* reader : {&ReadInputFile, &ReadInputFileWeightVector}) {
            int systemError = 0;
            EXPECT_EQ(reader(failure.name, read.designMatrix, read.observations, read.weights, &systemError, nullptr, nullptr),
                      104)
                << failure.name;
            EXPECT_EQ(systemError, failure.systemError) << failure.name;
        }
    }
    // Other results leave the cause alone.
    int untouched = -1;
    EXPECT_EQ(ReadInputFile("/dev/null", read.designMatrix, read.observations, read.weights, &untouched), 119);
    EXPECT_EQ(untouched, -1);
}

TEST_F(InputFileRead, NoObservationsGives119)
{
    EXPECT_EQ(ResultOf(""), 119);
    EXPECT_EQ(ResultOf("\r\n"), 119);
    EXPECT_EQ(ResultOf("\n1 2\n5 1\n"), 119);
    EXPECT_EQ(ResultOf("\r\n1 2\r\n5 1\r\n"), 119);
    Read read;
    EXPECT_EQ(ReadInputFile("/dev/null", read.designMatrix, read.observations, read.weights), 119);
}

TEST_F(InputFileRead, OddLineCountGives102BeforeAnyValueIsLookedAt)
{
    EXPECT_EQ(ResultOf("1 2\r\n5 1\r\n6 1\r\n"), 102);
    // The third line would be a missing weight; the count decides first.
    EXPECT_EQ(ResultOf("1\r\n2\r\n5\r\n"), 102);
    // 2n + 1 lines before the first empty line, whatever follows.
    EXPECT_EQ(ResultOf("1\r\n2\r\n5 1\r\n\r\n6 1\r\n"), 102);
    EXPECT_EQ(ResultOf("1"), 102);
}

TEST_F(InputFileRead, FirstLineOfBlanksOnlyGives102)
{
    // A line of blanks is not empty: it counts, but names no unknown.
    EXPECT_EQ(ResultOf("   \r\n1 2\r\n5 1\r\n6 1\r\n"), 102);
    EXPECT_EQ(ResultOf(" \r\n5 1\r\n"), 102);
}

TEST_F(InputFileRead, DesignLineWithMoreValuesThanTheFirstGives102)
{
    EXPECT_EQ(ResultOf("1 2\r\n1 2 3\r\n5 1\r\n6 1\r\n"), 102);
    // Found in the design block, before the missing weight further down.
    EXPECT_EQ(ResultOf("1 2\r\n1 2 3\r\n5\r\n6 1\r\n"), 102);
    // Trailing and leading blanks add no value.
    EXPECT_EQ(ResultOf("1 2\r\n   1    2   \r\n5 1\r\n6 1\r\n"), 0);
}

TEST_F(InputFileRead, MissingZeroNegativeOrNonFiniteWeightGives118)
{
    for (const char* line : {"5", "5 0", "5 -1", "5 -0", "5 nan", "5 inf", "5 -inf", "5 1e999", "1,5 2", "abc 2",
                             "5\t", " ", "- 2", "5 x"}) {
        const Read read = ReadText(std::string("1\r\n") + line + "\r\n");
        EXPECT_EQ(read.result, 118) << "\"" << line << "\"";
        EXPECT_TRUE(Untouched(read)) << line;
    }
}

// A rejected file names the place of its fault: the line, and in the
// design block the position of the first value too many; a UTF-16 file
// is named as such.
TEST_F(InputFileRead, RejectedFilesNameThePlaceOfTheFault)
{
    struct Case {
        std::string text;
        int result;
        InputPlace place;
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"1 2\r\n1 2  3 4\r\n5 1\r\n6 1\r\n", 102, {2, 6}},
        {"1\r\n2\r\n3\r\n5 1\r\n6 1\r\nabc 1\r\n", 118, {6, 0}},
        {"1\r\n2\r\n5 inf\r\n6 1\r\n", 118, {3, 0}},
        {"1\r\n2\r\n5 1\r\n6 nan\r\n", 118, {4, 0}},
        {"1 2\r\n3 4\r\n5 1\r\n", 102, {0, 0}}, // the layout: no line to blame
        {"\xFF\xFE" "1\0\r\0\n\0" "2\0 \0" "1\0\r\0\n\0"s, kStringUtf16, {0, 0}},
        {"\xFE\xFF\0" "1\0\r\0\n\0" "2\0 \0" "1\0\r\0\n"s, kStringUtf16, {0, 0}},
    };
    for (const auto& c : cases) {
        const test_support::TempFolder folder;
        const std::string path = folder.Path("fault.EIN");
        WriteBytes(path, c.text);
        Read read;
        InputPlace place{-1, -1};
        EXPECT_EQ(ReadInputFileWeightVector(path, read.designMatrix, read.observations, read.weights, nullptr, nullptr,
                                            &place),
                  c.result)
            << c.text;
        // Left alone where no line is to blame.
        EXPECT_EQ(place.line, c.place.line == 0 ? -1 : c.place.line) << c.text;
        EXPECT_EQ(place.position, c.place.line == 0 ? -1 : c.place.position) << c.text;
    }
    EXPECT_EQ(PlaceText({2, 6}), "Zeile 2, Stelle 6");
    EXPECT_EQ(PlaceText({6, 0}), "Zeile 6");
    EXPECT_EQ(PlaceText({}), "");
}

TEST_F(InputFileRead, BlanksAndTabsSeparateObservedValueAndWeight)
{
    const Read read = ReadText("1\r\n2\r\n3\r\n\t5\t\t2  \r\n 6 \t 0.5e1xyz\r\n 7 2,5\r\n");
    ASSERT_EQ(read.result, 0);
    EXPECT_TRUE(SameMatrix(read.observations, FromRows({{5.0}, {6.0}, {7.0}})));
    // "2,5" is read as 2: the conversion stops at the comma.
    EXPECT_TRUE(SameMatrix(read.weights, Diagonal({2.0, 5.0, 2.0})));
}

TEST_F(InputFileRead, OnlyTheSpaceCharacterSeparatesDesignValues)
{
    const Read blanks = ReadText("1 2 3\r\n5 1\r\n");
    ASSERT_EQ(blanks.result, 0);
    EXPECT_TRUE(SameMatrix(blanks.designMatrix, FromRows({{1.0, 2.0, 3.0}})));

    // Three numbers separated by tabs are one value, read up to the tab.
    const Read tabs = ReadText("1\t2\t3\r\n5 1\r\n");
    ASSERT_EQ(tabs.result, 0);
    EXPECT_TRUE(SameMatrix(tabs.designMatrix, FromRows({{1.0}})));

    // u comes from the first line alone; a later piece with a tab counts once.
    const Read mixed = ReadText("1 2 3\r\n4\t5 6\r\n5 1\r\n6 1\r\n");
    ASSERT_EQ(mixed.result, 0);
    EXPECT_TRUE(SameMatrix(mixed.designMatrix, FromRows({{1.0, 2.0, 3.0}, {4.0, 6.0, 0.0}})));
}

TEST_F(InputFileRead, MissingAndNonNumericDesignValuesAreZero)
{
    const Read read = ReadText("1 2 3 4\r\n7\r\nx 1,5 -.5e1 +2\r\n \r\n1 1\r\n2 1\r\n3 1\r\n4 1\r\n");
    ASSERT_EQ(read.result, 0);
    EXPECT_TRUE(SameMatrix(read.designMatrix,
                           FromRows({{1.0, 2.0, 3.0, 4.0}, {7.0, 0.0, 0.0, 0.0}, {0.0, 1.0, -5.0, 2.0}, {0, 0, 0, 0}})));
}

// The reader tells its caller of every design piece that is not wholly a
// number, with the value it kept, and of text after a weight; the values
// are the same as without.
TEST_F(InputFileRead, DesignPiecesThatAreNoNumberAreReported)
{
    struct Report {
        long long line, position;
        std::string piece;
        double value;
        bool afterWeight = false;
        bool operator==(const Report&) const = default;
    };
    struct Case {
        std::string design; // n = 2 design lines, u = 3
        std::vector<Report> reports;
        std::string observations = "1 1\r\n2 1\r\n";
    };
    const Case cases[] = {
        {"1 2 3\r\n4 5 6", {}},
        {"1 abc 3\r\n4 5 6", {{1, 3, "abc", 0.0}}},
        {"1 2 3\r\n  x1 2,5 1e", {{2, 3, "x1", 0.0}, {2, 6, "2,5", 2.0}, {2, 10, "1e", 1.0}}},
        {"1\t2 3 4\r\n4 5 6", {{1, 1, "1\t2", 1.0}}}, // a tab is no separator here
        {"1\t 2 3\r\n4 5 6", {}},                       // white space after a number is none of it
        {"\xEF\xBB\xBFx 2 3\r\n4 5 -", {{1, 1, "x", 0.0}, {2, 5, "-", 0.0}}}, // counted after the mark
        {"1 2 3\r\n4 -inf 0x10", {}},                     // "%lf" reads these
        {"1 2 3\r\n4 5 6", {{3, 6, ",5", 2.0, true}, {4, 7, "; note", 1.0, true}}, "3.4 2,5\r\n2.5 1 ; note \r\n"},
        {"1 2 3\r\n4 5 6", {}, "1 1\t\r\n2 1   \r\n"}, // white space after the weight is none
        {"1 x 3\r\n4 5 6", {{1, 3, "x", 0.0}, {3, 4, "x", 1.0, true}}, "1 1x\r\n2 1"},
    };
    for (const Case& c : cases) {
        const std::string text = c.design + "\r\n" + c.observations;
        std::vector<Report> reports;
        const DesignPieceReport collect = [&reports](const DesignPieceNotANumber& piece) {
            reports.push_back({piece.line, piece.position, std::string(piece.piece), piece.value, piece.afterWeight});
        };
        const test_support::TempFolder folder;
        const std::string path = folder.Path("pieces.EIN");
        WriteBytes(path, text);
        Read read;
        ASSERT_EQ(ReadInputFileWeightVector(path, read.designMatrix, read.observations, read.weights, nullptr, collect), 0);
        EXPECT_EQ(reports, c.reports) << c.design;
        const Read silent = ReadVectorForm(text);
        EXPECT_TRUE(SameMatrix(read.designMatrix, silent.designMatrix)) << c.design;
        EXPECT_TRUE(SameMatrix(read.observations, silent.observations)) << c.observations;
        EXPECT_TRUE(SameMatrix(read.weights, silent.weights)) << c.observations;
    }
}

// Long design lines whose pieces and runs of spaces cross every position
// of the reader's 64-byte steps, against strtod on each piece split off at
// the spaces: the same values and the same pieces reported.
TEST_F(InputFileRead, LongDesignLinesReadAsStrtodReadsTheirPieces)
{
    struct Report {
        long long line, position;
        std::string piece;
        double value;
        bool operator==(const Report&) const = default;
    };
    const char* const pieces[] = {"7", "-12.5", "0.000001", "123456789.123", "-0.56930", "98765432109876543210",
                                  "1.234567890123456789", "x", "1,5", "2e", "1\t2", "-.5e1", "+2", "0x1p3", "-", "."};
    constexpr int kUnknowns = 12;
    constexpr int kLines = 300;
    std::mt19937 random(64);
    std::string text;
    Matrix expected(kLines, kUnknowns, 0.0);
    std::vector<Report> expectedReports;
    for (int line = 0; line < kLines; ++line) {
        const int count = line == 0 ? kUnknowns : 1 + static_cast<int>(random() % kUnknowns);
        std::string design;
        for (int j = 0; j < count; ++j) {
            design += std::string(1 + random() % 40, ' ');
            const std::string piece = pieces[random() % std::size(pieces)];
            char* stop = nullptr;
            const double value = std::strtod(piece.c_str(), &stop);
            if (stop != piece.c_str())
                expected(line, j) = value;
            if (*stop != '\0')
                expectedReports.push_back({line + 1, static_cast<long long>(design.size()) + 1, piece,
                                           stop != piece.c_str() ? value : 0.0});
            design += piece;
        }
        design += std::string(random() % 3, ' ');
        text += design + "\r\n";
    }
    for (int line = 0; line < kLines; ++line)
        text += "1 1\r\n";
    const test_support::TempFolder folder;
    const std::string path = folder.Path("long.EIN");
    WriteBytes(path, text);
    std::vector<Report> reports;
    Read read;
    ASSERT_EQ(ReadInputFileWeightVector(path, read.designMatrix, read.observations, read.weights, nullptr,
                                        [&reports](const DesignPieceNotANumber& piece) {
                                            reports.push_back(
                                                {piece.line, piece.position, std::string(piece.piece), piece.value});
                                        }),
              0);
    EXPECT_TRUE(SameMatrix(read.designMatrix, expected));
    EXPECT_EQ(reports, expectedReports);
}

TEST_F(InputFileRead, ReadingStopsAtTheFirstEmptyLine)
{
    const std::string data = "1 2\r\n3 4\r\n5 1\r\n6 2\r\n";
    const Read plain = ReadText(data);
    ASSERT_EQ(plain.result, 0);
    // Whatever follows an empty line is never read, not even as observations.
    for (const char* tail : {"\r\n7 3\r\n8 4\r\n", "\n\n\n", "\r\nrubbish\r\n1 2 3 4 5\r\n0\r\n-1 -1\r\n"}) {
        const Read read = ReadText(data + tail);
        ASSERT_EQ(read.result, 0) << tail;
        EXPECT_TRUE(SameMatrix(read.observations, plain.observations));
        EXPECT_TRUE(SameMatrix(read.weights, plain.weights));
    }
}

TEST_F(InputFileRead, AllTinyWeightsBecomeOne)
{
    const Read tiny = ReadText("1\r\n1\r\n5 1e-20\r\n6 9.9e-17\r\n");
    ASSERT_EQ(tiny.result, 0);
    EXPECT_TRUE(SameMatrix(tiny.weights, Diagonal({1.0, 1.0})));

    const Read vector = ReadVectorForm("1\r\n1\r\n5 1e-20\r\n6 4.9e-324\r\n");
    ASSERT_EQ(vector.result, 0);
    EXPECT_TRUE(SameMatrix(vector.weights, FromRows({{1.0}, {1.0}})));

    // One ordinary weight keeps the tiny ones as they are; 1e-16 is not tiny.
    const Read mixed = ReadText("1\r\n1\r\n5 1e-20\r\n6 1\r\n");
    ASSERT_EQ(mixed.result, 0);
    EXPECT_TRUE(SameMatrix(mixed.weights, Diagonal({1e-20, 1.0})));
    const Read boundary = ReadText("1\r\n1\r\n5 1e-20\r\n6 1e-16\r\n");
    ASSERT_EQ(boundary.result, 0);
    EXPECT_TRUE(SameMatrix(boundary.weights, Diagonal({1e-20, 1e-16})));
}

TEST_F(InputFileRead, FailureLeavesTheCallersMatricesUnchanged)
{
    for (const char* text : {"", "1\r\n", " \r\n5 1\r\n", "1\r\n1 2\r\n5 1\r\n6 1\r\n", "1\r\n5 0\r\n",
                             "1\r\n1\r\n5 1\r\n6\r\n"}) {
        const Read read = ReadText(text);
        EXPECT_NE(read.result, 0) << text;
        EXPECT_TRUE(Untouched(read)) << text;
        const Read vector = ReadVectorForm(text);
        EXPECT_EQ(vector.result, read.result) << text;
        EXPECT_TRUE(Untouched(vector)) << text;
    }
}

TEST_F(InputFileRead, LinesAndLineEndsAcrossReadChunks)
{
    // The first design line is so long that the CR LF of the empty line
    // after the data is split between two reads, and so is the CR LF of a
    // design line that ends with a blank (a kept CR would be one value more).
    std::string firstLine;
    int unknowns = 0;
    while (firstLine.size() < kReadChunkSize - 40) {
        firstLine += std::to_string(unknowns % 97) + " ";
        ++unknowns;
    }
    const std::string secondLine = "1 ";
    std::string text = firstLine + "\r\n";
    std::string observationLines = "5 1\r\n6 2\r\n";
    // Pad the second design line with blanks so that its CR is the last byte
    // of the first read.
    const std::size_t padding = kReadChunkSize - 1 - text.size() - secondLine.size();
    text += secondLine + std::string(padding, ' ') + "\r\n";
    ASSERT_EQ(text[kReadChunkSize - 1], '\r');
    text += observationLines + "\r\n" + "garbage after the data\r\n";

    const Read read = ReadText(text);
    ASSERT_EQ(read.result, 0);
    ASSERT_EQ(read.designMatrix.Columns(), unknowns);
    ASSERT_EQ(read.designMatrix.Rows(), 2);
    for (int j = 0; j < unknowns; ++j)
        ASSERT_EQ(read.designMatrix(0, j), j % 97) << j;
    EXPECT_EQ(read.designMatrix(1, 0), 1.0);
    EXPECT_EQ(read.designMatrix(1, unknowns - 1), 0.0);
    EXPECT_TRUE(SameMatrix(read.weights, Diagonal({1.0, 2.0})));

    // The empty line itself split between two reads: its CR ends the first.
    std::string split = "1\r\n" + std::string(kReadChunkSize - 1 - 3 - 5, ' ') + "5 1\r\n";
    ASSERT_EQ(split.size(), kReadChunkSize - 1);
    split += "\r\n7 1\r\n";
    EXPECT_EQ(ResultOf(split), 0);

    // The CR LF of the first line split between two reads: the column pass
    // must drop the CR too, or it would count a third value.
    std::string first = "1 2" + std::string(kReadChunkSize - 1 - 3, ' ') + "\r\n3 4\r\n5 1\r\n6 1\r\n";
    ASSERT_EQ(first[kReadChunkSize - 1], '\r');
    const Read firstRead = ReadText(first);
    ASSERT_EQ(firstRead.result, 0);
    EXPECT_TRUE(SameMatrix(firstRead.designMatrix, FromRows({{1.0, 2.0}, {3.0, 4.0}})));
}

TEST_F(InputFileRead, JunkNeverCrashesTheReader)
{
    std::mt19937_64 random(7);
    std::vector<std::string> files = {
        std::string("\0\0\0\r\n\0\0", 7), std::string("1\0 2\r\n5\0 1\r\n", 12), std::string(3 << 20, 'a'),
        std::string(3 << 20, '\n'), std::string(3 << 20, '\r'), std::string(2 << 20, ' ') + "\r\n1 1\r\n"};
    // Two huge lines: the first holds a million values.
    std::string huge;
    for (int i = 0; i < 1000000; ++i)
        huge += "x ";
    files.push_back(huge + "\r\n" + huge + "\r\n");
    files.push_back(huge + "\r\n" + "7 1\r\n");
    for (int f = 0; f < 40; ++f) {
        std::string junk(random() % (f < 30 ? 200 : 3000000), '\0');
        // Mostly lines of bytes, some of them plain numbers and blanks.
        const std::string alphabet = f % 2 == 0 ? std::string("0123456789 .e-\r\n\t,", 18) : std::string();
        for (char& c : junk)
            c = alphabet.empty() ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
        files.push_back(junk);
    }
    for (const std::string& text : files) {
        const Read read = ReadText(text);
        EXPECT_TRUE(read.result == 0 || read.result == 102 || read.result == 118 || read.result == 119)
            << read.result;
        if (read.result == 0) {
            EXPECT_EQ(read.designMatrix.Rows(), read.observations.Rows());
            EXPECT_EQ(read.weights.Rows(), read.observations.Rows());
            EXPECT_EQ(read.weights.Columns(), read.observations.Rows());
        } else {
            EXPECT_TRUE(Untouched(read));
        }
    }
    EXPECT_EQ(ResultOf(huge + "\r\n" + "7 1\r\n"), 0);
}

TEST_F(InputFileRead, NumbersUseThePointUnderAGermanLocale)
{
    Read read;
    {
        test_support::GermanLocale german;
        ASSERT_TRUE(german.Entered());
        read = ReadText("1.5 2,5\r\n0.25 1\r\n");
    }
    ASSERT_EQ(read.result, 0);
    EXPECT_TRUE(SameMatrix(read.designMatrix, FromRows({{1.5, 2.0}})));
    EXPECT_TRUE(SameMatrix(read.observations, FromRows({{0.25}})));
}

TEST_F(InputFileRead, ExamplesOpenAsTheyAre)
{
    for (const char* name : {"line_with_outlier.EIN", "levelling_network.EIN", "stackloss.EIN"}) {
        Read read;
        EXPECT_EQ(ReadInputFile(test_support::ExampleFile(name), read.designMatrix, read.observations, read.weights), 0) << name;
        EXPECT_GT(read.observations.Rows(), read.designMatrix.Columns()) << name;
    }
    // Brownlee's stack loss data as in R's datasets::stackloss: the first and
    // the last observation, design rows (1, Air.Flow, Water.Temp, Acid.Conc.).
    Read stackloss;
    ASSERT_EQ(ReadInputFile(test_support::ExampleFile("stackloss.EIN"), stackloss.designMatrix, stackloss.observations,
                            stackloss.weights),
              0);
    ASSERT_EQ(stackloss.designMatrix.Rows(), 21);
    ASSERT_EQ(stackloss.designMatrix.Columns(), 4);
    EXPECT_EQ(stackloss.designMatrix(0, 1), 80.0);
    EXPECT_EQ(stackloss.designMatrix(20, 3), 91.0);
    EXPECT_EQ(stackloss.observations(0, 0), 42.0);
    EXPECT_EQ(stackloss.observations(20, 0), 15.0);
}

namespace {

void LimitAddressSpaceToCurrentPlus(long long extraBytes)
{
    long long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr || std::fscanf(statm, "%lld", &pages) != 1)
        std::_Exit(2);
    std::fclose(statm);
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE) + extraBytes);
    if (setrlimit(RLIMIT_AS, &limit) != 0)
        std::_Exit(3);
}

// Exits with 42 when the square form throws bad_alloc without touching the
// caller's matrices and the vector form reads the file.
// The child's exit code: 42 when the weight-vector form read what the
// square form could not hold.
int ReadLargeProblemWithLittleMemory(const std::string& path, int n)
{
    LimitAddressSpaceToCurrentPlus(256 << 20);
    Matrix designMatrix(1, 1, 5.0);
    Matrix observations(1, 1, 6.0);
    Matrix weights(1, 1, 7.0);
    try {
        ReadInputFile(path, designMatrix, observations, weights);
        return 10;
    } catch (const std::bad_alloc&) {
        if (designMatrix(0, 0) != 5.0 || observations(0, 0) != 6.0 || weights(0, 0) != 7.0)
            return 11;
    }
    if (ReadInputFileWeightVector(path, designMatrix, observations, weights) != 0)
        return 12;
    const bool read = designMatrix.Rows() == n && designMatrix(n - 1, 1) == n - 1 && observations(n - 1, 0) == n - 1 &&
                      weights.Rows() == n && weights.Columns() == 1;
    return read ? 42 : 13;
}

}  // namespace

TEST(InputFileReadDeathTest, WeightVectorFormReadsWhatTheSquareFormCannotHold)
{
    const test_support::TempFolder folder;
#if defined(TOLVAR_ADDRESS_SANITIZER)
    GTEST_SKIP() << "AddressSanitizer aborts on exhausted memory instead of failing the allocation";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // n = 40000: the n x n weights need 12.8 GB, the vector 320 KB.
    std::string text;
    const int n = 40000;
    for (int i = 0; i < n; ++i)
        text += "1 " + std::to_string(i) + "\r\n";
    for (int i = 0; i < n; ++i)
        text += std::to_string(i) + " 1\r\n";
    const std::string path = folder.Path("large.EIN");
    WriteBytes(path, text);
    // The child runs the test anew with a folder of its own, which its exit
    // would leave behind.
    EXPECT_EXIT(
        {
            const int code = ReadLargeProblemWithLittleMemory(path, n);
            std::error_code ignored;
            std::filesystem::remove_all(folder.Path(), ignored);
            std::_Exit(code);
        },
        testing::ExitedWithCode(42), "");
}
