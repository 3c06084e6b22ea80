// Text made in pieces on two threads is written exactly as one thread
// would write it.

#include "core/matrix.h"
#include "core/ordered_text.h"
#include "core/report_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>

namespace {

// Piece k: k % 7 thousand bytes of one letter, so that pieces differ in
// length and in the time they take.
std::string PieceText(std::size_t piece)
{
    return std::string(piece % 7 * 1000, static_cast<char>('a' + piece % 26));
}

TEST(OrderedText, PiecesAreWrittenInOrderWithOrWithoutHelper)
{
    for (std::size_t count : {0, 1, 2, 5, 300}) {
        std::string expected;
        for (std::size_t piece = 0; piece < count; ++piece)
            expected += PieceText(piece);
        for (bool withHelper : {false, true}) {
            std::string written;
            MakeTextInOrder(
                count, [](std::size_t piece, TextPiece& text) { text.Append(PieceText(piece)); },
                [&written](std::string_view text) { written += text; }, withHelper);
            EXPECT_EQ(written, expected) << count << (withHelper ? " with helper" : "");
        }
    }
}

TEST(OrderedText, AFailureToMakeAPieceReachesTheCallerAndWritesNothingAfterIt)
{
    std::string written;
    EXPECT_THROW(MakeTextInOrder(
                     300,
                     [](std::size_t piece, TextPiece& text) {
                         if (piece == 50)
                             throw std::bad_alloc();
                         text.Append(PieceText(piece));
                     },
                     [&written](std::string_view text) { written += text; }, true),
                 std::bad_alloc);
    std::string before;
    for (std::size_t piece = 0; piece < 50; ++piece)
        before += PieceText(piece);
    EXPECT_LE(written.size(), before.size());
    EXPECT_EQ(written, before.substr(0, written.size()));
}

// A design matrix long enough for many pieces and the helper, with values
// of every length (signs, wide integer parts, values for the general way):
// the same bytes as printf gives row by row.
TEST(OrderedText, ALongMatrixPrintsAsRowByRow)
{
    std::mt19937_64 random(3);
    std::normal_distribution<double> normal(0.0, 1.0);
    Matrix matrix(40000, 7, 0.0);
    std::string expected;
    for (int i = 0; i < matrix.Rows(); ++i) {
        for (int j = 0; j < matrix.Columns(); ++j) {
            matrix(i, j) = normal(random) * std::pow(10.0, static_cast<double>(i % 30 - 10));
            char field[400];
            std::snprintf(field, sizeof field, "%25.15f", matrix(i, j));
            expected += field;
        }
        expected += "\r\n";
    }
    expected += "\r\n";
    const test_support::TempFolder folder;
    const std::string path = folder.Path("matrix.txt");
    ReportFile file;
    ASSERT_TRUE(file.Open(path));
    matrix.Print(file);
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(test_support::ReadBytes(path), expected);
}

} // namespace
