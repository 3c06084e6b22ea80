#include "io/input_file.h"
#include "res/string_table.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

using test_support::FromRows;
using test_support::ReadBytes;
using test_support::SameMatrix;
using test_support::WriteBytes;

namespace {

// The expected file, built with the C library's printf in the "C" locale;
// the line break of the printf formats becomes CR LF.
std::string PrintfLayout(const Matrix& designMatrix, const Matrix& observations, const Matrix& weightVector)
{
    std::string text;
    char buffer[400];
    for (int i = 0; i < designMatrix.Rows(); ++i) {
        for (int j = 0; j < designMatrix.Columns(); ++j) {
            std::snprintf(buffer, sizeof buffer, "%15.5f ", designMatrix(i, j));
            text += buffer;
        }
        text += "\r\n";
    }
    for (int i = 0; i < observations.Rows(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%15.5f  %15.5f", observations(i, 0), weightVector(i, 0));
        text += buffer;
        text += "\r\n";
    }
    return text;
}

Matrix DiagonalOf(const Matrix& vector)
{
    Matrix square(vector.Rows(), vector.Rows(), 0.0);
    for (int i = 0; i < vector.Rows(); ++i)
        square(i, i) = vector(i, 0);
    return square;
}

// A random problem with values over many magnitudes and positive weights.
// With ordinary, the values have at most 5 decimals, as typed data have.
struct Problem {
    Matrix designMatrix;
    Matrix observations;
    Matrix weightVector;
};

Problem RandomProblem(int n, int u, unsigned seed, bool ordinary)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-6, 8);
    auto rounded = [&](double raw) { return ordinary ? std::round(raw * 1e5) / 1e5 : raw; };
    auto value = [&] { return rounded(mantissa(random) * std::pow(10.0, exponent(random))); };
    Problem problem{Matrix(n, u, 0.0), Matrix(n, 1, 0.0), Matrix(n, 1, 0.0)};
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < u; ++j)
            problem.designMatrix(i, j) = value();
        problem.observations(i, 0) = value();
        problem.weightVector(i, 0) = rounded(0.001 + std::abs(value()));
    }
    return problem;
}

using InputFileWrite = testing::Test; // the "C" locale; GermanLocale puts it back

}  // namespace

TEST_F(InputFileWrite, DesignLineOfOneAndMinusTwoPointFive)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("worked.EIN");
    ASSERT_EQ(WriteInputFile(path, FromRows({{1.0, -2.5}}), FromRows({{3.0}}), FromRows({{0.5}})), 0);
    // Eight blanks, 1.00000, one blank, seven blanks, -2.50000, one blank,
    // the line break; then the observation line "%15.5f  %15.5f".
    const std::string designLine = std::string(8, ' ') + "1.00000" + " " + std::string(7, ' ') + "-2.50000" + " \r\n";
    const std::string observationLine = std::string(8, ' ') + "3.00000" + "  " + std::string(8, ' ') + "0.50000\r\n";
    EXPECT_EQ(ReadBytes(path), designLine + observationLine);
}

// A value that five decimals do not give back is written in the shortest
// form that does, right-aligned in 15 characters, or in full when wider.
TEST_F(InputFileWrite, ValuesThatFiveDecimalsLoseAreWrittenExactly)
{
    const test_support::TempFolder folder;
    const struct {
        double value;
        const char* written;
    } cases[] = {
        {1e-07, "          1e-07"},
        {1.234567, "       1.234567"},
        {-0.000004, "         -4e-06"},
        {0.1 + 0.2, "0.30000000000000004"},
        {-123456789.123456, "-123456789.123456"},
        {5e-324, "         5e-324"},
        {1e20, "100000000000000000000.00000"},
        {-0.0, "       -0.00000"},
        {12.5, "       12.50000"},
        {1.23457, "        1.23457"},
    };
    for (const auto& c : cases) {
        const std::string path = folder.Path("exact.EIN");
        const Matrix value = FromRows({{c.value}});
        // 0.000004 used to be written as 0.00000, which the reader rejects.
        ASSERT_EQ(WriteInputFile(path, value, value, FromRows({{0.000004}})), 0) << c.written;
        const std::string field(c.written);
        EXPECT_EQ(ReadBytes(path), field + " \r\n" + field + "  " + "          4e-06\r\n");
        Matrix designMatrix, observations, weights;
        ASSERT_EQ(ReadInputFileWeightVector(path, designMatrix, observations, weights), 0) << c.written;
        EXPECT_TRUE(SameMatrix(designMatrix, value)) << c.written;
        EXPECT_EQ(std::signbit(observations(0, 0)), std::signbit(c.value)) << c.written;
    }
}

TEST_F(InputFileWrite, OrdinaryDataByteForByteAsPrintfInBothWeightForms)
{
    const test_support::TempFolder folder;
    // More than one write buffer's worth of lines.
    const Problem problem = RandomProblem(2000, 80, 11, true);
    const std::string expected = PrintfLayout(problem.designMatrix, problem.observations, problem.weightVector);
    ASSERT_GT(expected.size(), 2u << 20);

    const std::string square = folder.Path("square.EIN");
    ASSERT_EQ(WriteInputFile(square, problem.designMatrix, problem.observations, DiagonalOf(problem.weightVector)), 0);
    EXPECT_TRUE(ReadBytes(square) == expected);

    const std::string vector = folder.Path("vector.EIN");
    ASSERT_EQ(WriteInputFile(vector, problem.designMatrix, problem.observations, problem.weightVector), 0);
    EXPECT_TRUE(ReadBytes(vector) == expected);
}

TEST_F(InputFileWrite, ReadingBackGivesEveryValueExactly)
{
    const test_support::TempFolder folder;
    const Problem problem = RandomProblem(300, 4, 5, false);
    const std::string path = folder.Path("round.EIN");
    ASSERT_EQ(WriteInputFile(path, problem.designMatrix, problem.observations, problem.weightVector), 0);
    Matrix designMatrix, observations, weights;
    ASSERT_EQ(ReadInputFileWeightVector(path, designMatrix, observations, weights), 0);
    EXPECT_TRUE(SameMatrix(designMatrix, problem.designMatrix));
    EXPECT_TRUE(SameMatrix(observations, problem.observations));
    EXPECT_TRUE(SameMatrix(weights, problem.weightVector));
}

TEST_F(InputFileWrite, ReplacesALongerFile)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("replace.EIN");
    WriteBytes(path, std::string(100000, 'x'));
    ASSERT_EQ(WriteInputFile(path, FromRows({{2.0}}), FromRows({{3.0}}), FromRows({{4.0}})), 0);
    EXPECT_EQ(ReadBytes(path), PrintfLayout(FromRows({{2.0}}), FromRows({{3.0}}), FromRows({{4.0}})));
}

TEST_F(InputFileWrite, FileThatCannotBeCreatedGives104AndOneNotWrittenGives136)
{
    const test_support::TempFolder folder;
    const Matrix a = FromRows({{1.0}});
    // Both come with their cause.
    auto expectFailure = [](const std::string& name, const Matrix& d, const Matrix& o, const Matrix& w, int result,
                            int cause) {
        OutputError error;
        EXPECT_EQ(WriteInputFile(name, d, o, w, &error), result) << name;
        EXPECT_EQ(error.number, cause) << name;
    };
    expectFailure("", a, a, a, 104, ENOENT);
    expectFailure(folder.Path("no-such-folder/x.EIN"), a, a, a, 104, ENOENT);
    expectFailure(folder.Path(), a, a, a, 104, EISDIR);
    // The part before the NUL byte must not be created.
    const std::string cut = folder.Path("cut.EIN");
    expectFailure(cut + std::string(1, '\0') + ".txt", a, a, a, 104, EINVAL);
    EXPECT_EQ(std::fopen(cut.c_str(), "rb"), nullptr);
    // A full disk: the writing fails after the opening succeeded, at the
    // closing for a small file, while writing for a large one.
    if (std::FILE* full = std::fopen("/dev/full", "wb")) {
        std::fclose(full);
        expectFailure("/dev/full", a, a, a, kStringFileWriteError, ENOSPC);
        const Problem large = RandomProblem(20000, 3, 1, true);
        expectFailure("/dev/full", large.designMatrix, large.observations, large.weightVector, kStringFileWriteError,
                      ENOSPC);
    }
}

TEST_F(InputFileWrite, ShapesThatDoNotFitGive102AndLeaveTheFile)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("keep.EIN");
    const std::string original = "1\r\n5 1\r\n";
    const Matrix one = FromRows({{1.0}});
    const Matrix two = FromRows({{1.0}, {2.0}});
    const Matrix twoSquare = FromRows({{1.0, 0.0}, {0.0, 2.0}});
    struct Case {
        const char* what;
        Matrix designMatrix, observations, weights;
    };
    const Case cases[] = {
        {"design rows", one, two, two},
        {"weight rows", two, two, one},
        {"weights 2 x 3", two, two, FromRows({{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}})},
        {"weights 2 x 2 for n = 1", one, one, twoSquare},
        {"observations without column", one, Matrix(1, 0, 0.0), one},
        {"design without column", Matrix(2, 0, 0.0), two, two},
        {"invalid design", Matrix(-1, 0, 0.0), one, one},
    };
    for (const Case& c : cases) {
        WriteBytes(path, original);
        EXPECT_EQ(WriteInputFile(path, c.designMatrix, c.observations, c.weights), 102) << c.what;
        EXPECT_EQ(ReadBytes(path), original) << c.what;
    }
}

TEST_F(InputFileWrite, WritesThePointUnderAGermanLocale)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("german.EIN");
    int result = -1;
    {
        test_support::GermanLocale german;
        ASSERT_TRUE(german.Entered());
        result = WriteInputFile(path, FromRows({{1.5}}), FromRows({{-2.25}}), FromRows({{0.5}}));
    }
    ASSERT_EQ(result, 0);
    EXPECT_EQ(ReadBytes(path), PrintfLayout(FromRows({{1.5}}), FromRows({{-2.25}}), FromRows({{0.5}})));
}

// The old file stays whole when the new content cannot be written
// completely, and no temporary file is left beside it.
TEST_F(InputFileWrite, FailedWriteKeepsTheOldFileAndLeavesNothingBehind)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("old.EIN");
    const std::string original = "1\r\n5 1\r\n";
    WriteBytes(path, original);
    const Problem large = RandomProblem(3000, 5, 2, true);
    OutputError error;
    {
        test_support::FileSizeLimit limit(4096);
        EXPECT_EQ(WriteInputFile(path, large.designMatrix, large.observations, large.weightVector, &error),
                  kStringFileWriteError);
    }
    EXPECT_EQ(error.number, EFBIG);
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_EQ(test_support::FolderEntries(folder.Path()), std::vector<std::string>{"old.EIN"});
}

TEST_F(InputFileWrite, ReplacingKeepsPermissionsAndFollowsALink)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("data.EIN");
    const std::string link = folder.Path("link.EIN");
    WriteBytes(path, "old");
    std::filesystem::permissions(path, std::filesystem::perms(0640));
    std::filesystem::create_symlink(path, link);
    ASSERT_EQ(WriteInputFile(link, FromRows({{2.0}}), FromRows({{3.0}}), FromRows({{4.0}})), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadBytes(path), PrintfLayout(FromRows({{2.0}}), FromRows({{3.0}}), FromRows({{4.0}})));
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
    EXPECT_EQ(test_support::FolderEntries(folder.Path()), (std::vector<std::string>{"data.EIN", "link.EIN"}));
}
