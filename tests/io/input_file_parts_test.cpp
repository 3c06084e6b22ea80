// Large files are read in stretches on two threads at once: the result,
// the message and the pieces reported must be those of reading the file
// from start to end.

#include "io/input_file.h"
#include "io/input_source.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

struct Piece {
    long long line, position;
    std::string text;
    bool operator==(const Piece&) const = default;
};

// A file of n lines of three design values and n lines of observed value
// and weight, about 10 MB, with the values the reader must find (strtod of
// the same texts).
struct LargeFile {
    static constexpr int kObservations = 230000;
    std::vector<std::string> designLines, observationLines;
    Matrix design{kObservations, 3, 0.0};
    Matrix observations{kObservations, 1, 0.0};

    LargeFile()
    {
        std::mt19937_64 random(14);
        std::normal_distribution<double> normal(0.0, 10.0);
        char text[64];
        for (int i = 0; i < kObservations; ++i) {
            std::string line;
            for (int j = 0; j < 3; ++j) {
                std::snprintf(text, sizeof text, "%12.5f", normal(random));
                design(i, j) = std::strtod(text, nullptr);
                line += text;
            }
            designLines.push_back(line);
            std::snprintf(text, sizeof text, "%.5f 1", normal(random));
            observations(i, 0) = std::strtod(text, nullptr);
            observationLines.push_back(text);
        }
    }

    std::string Text() const
    {
        std::string text;
        for (const std::string& line : designLines)
            text += line + "\r\n";
        for (const std::string& line : observationLines)
            text += line + "\r\n";
        return text;
    }
};

struct Outcome {
    int result = -1;
    Matrix design, observations, weights;
    std::vector<Piece> pieces;
};

Outcome ReadWithPieces(const std::string& text)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("large.EIN");
    test_support::WriteBytes(path, text);
    Outcome outcome;
    outcome.result = ReadInputFileWeightVector(path, outcome.design, outcome.observations, outcome.weights, nullptr,
                                               [&outcome](const DesignPieceNotANumber& piece) {
                                                   outcome.pieces.push_back(
                                                       {piece.line, piece.position, std::string(piece.piece)});
                                               });
    return outcome;
}

// The design line with its first value (12 characters) replaced by text.
std::string WithFirstPiece(const std::string& line, const std::string& text)
{
    return std::string(12 - text.size(), ' ') + text + line.substr(12);
}

TEST(InputFileParts, ReadsAsFromStartToEnd)
{
    const LargeFile file;
    const int n = LargeFile::kObservations;
    // Design lines (from 1) near the start and near the end: in the first
    // and the last stretch.
    const int early = 2;
    const int late = n - 3;
    const int manyFrom = n - 1500;

    struct Case {
        const char* what;
        std::vector<std::pair<int, std::string>> changedDesignLines; // line from 1, new text
        std::string lastObservationLine;                            // empty: as generated
        int result;
        std::vector<Piece> pieces;
    };
    std::vector<Case> cases = {
        {"clean", {}, "", 0, {}},
        {"a piece in each part",
         {{early, WithFirstPiece(file.designLines[early - 1], "x")},
          {late, WithFirstPiece(file.designLines[late - 1], "yy")}},
         "",
         0,
         {{early, 12, "x"}, {late, 11, "yy"}}},
        {"a weight of 0 at the end, after a piece in the last stretch",
         {{late, WithFirstPiece(file.designLines[late - 1], "yy")}},
         "1 0",
         118,
         {{late, 11, "yy"}}},
        {"too many values early: nothing after it is reported",
         {{early, file.designLines[early - 1] + " 1"}, {late, WithFirstPiece(file.designLines[late - 1], "yy")}},
         "",
         102,
         {}},
        {"pieces spread over every stretch, more than one stretch holds back", {}, "", 0, {}},
        {"more pieces in one stretch than it holds back", {}, "", 0, {}},
    };
    for (int line = 1; line <= n; line += 200) {
        cases[cases.size() - 2].changedDesignLines.push_back({line, WithFirstPiece(file.designLines[line - 1], "z")});
        cases[cases.size() - 2].pieces.push_back({line, 12, "z"});
    }
    for (int line = manyFrom; line <= n; ++line) {
        cases.back().changedDesignLines.push_back({line, WithFirstPiece(file.designLines[line - 1], "x")});
        cases.back().pieces.push_back({line, 12, "x"});
    }

    for (const Case& c : cases) {
        LargeFile changed = file;
        for (const auto& [line, text] : c.changedDesignLines) {
            changed.designLines[static_cast<std::size_t>(line - 1)] = text;
            changed.design(line - 1, 0) = 0.0;
        }
        if (!c.lastObservationLine.empty())
            changed.observationLines.back() = c.lastObservationLine;
        const Outcome outcome = ReadWithPieces(changed.Text());
        ASSERT_EQ(outcome.result, c.result) << c.what;
        EXPECT_EQ(outcome.pieces, c.pieces) << c.what;
        if (c.result != 0)
            continue;
        EXPECT_TRUE(test_support::SameMatrix(outcome.design, changed.design)) << c.what;
        EXPECT_TRUE(test_support::SameMatrix(outcome.observations, file.observations)) << c.what;
    }
}

// The lines are counted in two halves at once: the empty line that ends
// the data may lie anywhere, also just at the middle of the file, with
// its CR and LF on either side of it.
TEST(InputFileParts, TheEmptyLineEndsTheDataWhereverItLies)
{
    const LargeFile file;
    const std::string data = file.Text();
    // Data that ends at the middle of the file (just before, at or after
    // it), or well before or after it; junk lines after the empty line.
    struct Case {
        const char* what;
        std::size_t dataBytes;     // of the text before the empty line
        long long middleFromEmpty; // where the middle of the file falls from the empty line's CR
        const char* emptyLine;
    };
    const Case cases[] = {
        {"CR LF before the middle", data.size(), -1, "\r\n"},
        {"the middle at the CR", data.size(), 0, "\r\n"},
        {"the middle at the LF", data.size(), 1, "\r\n"},
        {"the middle just after", data.size(), 2, "\r\n"},
        {"a bare LF at the middle", data.size(), 0, "\n"},
        {"data ends in the first half", data.size(), static_cast<long long>(data.size()) / 2, "\r\n"},
        {"data ends in the second half", data.size(), -static_cast<long long>(data.size()) / 3, "\r\n"},
    };
    for (const Case& c : cases) {
        std::string text = data.substr(0, c.dataBytes) + c.emptyLine;
        // Junk after the empty line until the middle falls where the case wants it.
        const auto size = static_cast<std::size_t>(2 * (static_cast<long long>(c.dataBytes) + c.middleFromEmpty));
        while (text.size() + 12 < size)
            text += "junk junk\r\n";
        text += std::string(size > text.size() ? size - text.size() : 0, 'j');
        ASSERT_EQ(text.size() / 2, static_cast<std::size_t>(static_cast<long long>(c.dataBytes) + c.middleFromEmpty))
            << c.what;
        const Outcome outcome = ReadWithPieces(text);
        ASSERT_EQ(outcome.result, 0) << c.what;
        EXPECT_TRUE(test_support::SameMatrix(outcome.design, file.design)) << c.what;
        EXPECT_TRUE(test_support::SameMatrix(outcome.observations, file.observations)) << c.what;
    }
    // One line short: an odd count.
    const std::size_t lastLine = data.rfind("\r\n", data.size() - 3) + 2;
    EXPECT_EQ(ReadWithPieces(data.substr(0, lastLine) + "\r\n" + data).result, 102);
}

// The line starts the count pass marks are counted after a byte-order mark.
TEST(InputFileParts, AByteOrderMarkMovesNoPart)
{
    const LargeFile file;
    const Outcome outcome = ReadWithPieces(kByteOrderMark + file.Text());
    ASSERT_EQ(outcome.result, 0);
    EXPECT_TRUE(outcome.pieces.empty());
    EXPECT_TRUE(test_support::SameMatrix(outcome.design, file.design));
    EXPECT_TRUE(test_support::SameMatrix(outcome.observations, file.observations));
}

} // namespace
