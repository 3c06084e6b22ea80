#include "io/input_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

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

double RoundedTo5Decimals(double value)
{
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.5f", value);
    return std::strtod(buffer, nullptr);
}

Matrix DiagonalOf(const Matrix& vector)
{
    Matrix square(vector.Rows(), vector.Rows(), 0.0);
    for (int i = 0; i < vector.Rows(); ++i)
        square(i, i) = vector(i, 0);
    return square;
}

// A random problem with values over many magnitudes and positive weights
// of at least 0.001, so that all of them survive the rounding to 5 decimals.
struct Problem {
    Matrix designMatrix;
    Matrix observations;
    Matrix weightVector;
};

Problem RandomProblem(int n, int u, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-6, 8);
    auto value = [&] { return mantissa(random) * std::pow(10.0, exponent(random)); };
    Problem problem{Matrix(n, u, 0.0), Matrix(n, 1, 0.0), Matrix(n, 1, 0.0)};
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < u; ++j)
            problem.designMatrix(i, j) = value();
        problem.observations(i, 0) = value();
        problem.weightVector(i, 0) = 0.001 + std::abs(value());
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

TEST_F(InputFileWrite, EveryValueInFixedFieldsAndWideValuesInFull)
{
    const test_support::TempFolder folder;
    const Matrix designMatrix = FromRows({{1e20, -0.000004, 0.000005}, {-123456789.123456, 0.0, -0.0}});
    const Matrix observations = FromRows({{-1e15}, {2.5}});
    const Matrix weights = FromRows({{1e-20, 0.0}, {0.0, 123456789012.0}});
    const std::string path = folder.Path("fields.EIN");
    ASSERT_EQ(WriteInputFile(path, designMatrix, observations, weights), 0);
    EXPECT_EQ(ReadBytes(path), PrintfLayout(designMatrix, observations, FromRows({{1e-20}, {123456789012.0}})));
}

TEST_F(InputFileWrite, LargeProblemByteForByteAndTheVectorFormAlike)
{
    const test_support::TempFolder folder;
    // More than one write buffer's worth of lines.
    const Problem problem = RandomProblem(2000, 80, 11);
    const std::string expected = PrintfLayout(problem.designMatrix, problem.observations, problem.weightVector);
    ASSERT_GT(expected.size(), 2u << 20);

    const std::string square = folder.Path("square.EIN");
    ASSERT_EQ(WriteInputFile(square, problem.designMatrix, problem.observations, DiagonalOf(problem.weightVector)), 0);
    EXPECT_TRUE(ReadBytes(square) == expected);

    const std::string vector = folder.Path("vector.EIN");
    ASSERT_EQ(WriteInputFile(vector, problem.designMatrix, problem.observations, problem.weightVector), 0);
    EXPECT_TRUE(ReadBytes(vector) == expected);
}

TEST_F(InputFileWrite, ReadingBackGivesTheValuesRoundedTo5Decimals)
{
    const test_support::TempFolder folder;
    const Problem problem = RandomProblem(300, 4, 5);
    const std::string path = folder.Path("round.EIN");
    ASSERT_EQ(WriteInputFile(path, problem.designMatrix, problem.observations, problem.weightVector), 0);
    Matrix designMatrix, observations, weights;
    ASSERT_EQ(ReadInputFile(path, designMatrix, observations, weights), 0);
    ASSERT_EQ(designMatrix.Rows(), 300);
    ASSERT_EQ(designMatrix.Columns(), 4);
    ASSERT_EQ(weights.Columns(), 300);
    for (int i = 0; i < 300; ++i) {
        for (int j = 0; j < 4; ++j)
            ASSERT_EQ(designMatrix(i, j), RoundedTo5Decimals(problem.designMatrix(i, j))) << i << " " << j;
        ASSERT_EQ(observations(i, 0), RoundedTo5Decimals(problem.observations(i, 0))) << i;
        ASSERT_EQ(weights(i, i), RoundedTo5Decimals(problem.weightVector(i, 0))) << i;
        ASSERT_EQ(weights(i, (i + 1) % 300), 0.0) << i;
    }
}

TEST_F(InputFileWrite, WeightBelowHalfTheLastDecimalCannotBeReadBack)
{
    const test_support::TempFolder folder;
    // 0.000004 is written as 0.00000, which the reader rejects.
    const std::string path = folder.Path("small.EIN");
    ASSERT_EQ(WriteInputFile(path, FromRows({{1.0}, {1.0}}), FromRows({{2.0}, {3.0}}), FromRows({{1.0}, {0.000004}})), 0);
    Matrix designMatrix, observations, weights;
    EXPECT_EQ(ReadInputFile(path, designMatrix, observations, weights), 118);
}

TEST_F(InputFileWrite, ReplacesALongerFile)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("replace.EIN");
    WriteBytes(path, std::string(100000, 'x'));
    ASSERT_EQ(WriteInputFile(path, FromRows({{2.0}}), FromRows({{3.0}}), FromRows({{4.0}})), 0);
    EXPECT_EQ(ReadBytes(path), PrintfLayout(FromRows({{2.0}}), FromRows({{3.0}}), FromRows({{4.0}})));
}

TEST_F(InputFileWrite, FileThatCannotBeOpenedOrWrittenGives104)
{
    const test_support::TempFolder folder;
    const Matrix a = FromRows({{1.0}});
    // 104 comes with its cause.
    auto expectFailure = [](const std::string& name, const Matrix& d, const Matrix& o, const Matrix& w, int cause) {
        int systemError = 0;
        EXPECT_EQ(WriteInputFile(name, d, o, w, &systemError), 104) << name;
        EXPECT_EQ(systemError, cause) << name;
    };
    expectFailure("", a, a, a, ENOENT);
    expectFailure(folder.Path("no-such-folder/x.EIN"), a, a, a, ENOENT);
    expectFailure(folder.Path(), a, a, a, EISDIR);
    // The part before the NUL byte must not be created.
    const std::string cut = folder.Path("cut.EIN");
    expectFailure(cut + std::string(1, '\0') + ".txt", a, a, a, EINVAL);
    EXPECT_EQ(std::fopen(cut.c_str(), "rb"), nullptr);
    // A full disk: the writing fails after the opening succeeded, at the
    // closing for a small file, while writing for a large one.
    if (std::FILE* full = std::fopen("/dev/full", "wb")) {
        std::fclose(full);
        expectFailure("/dev/full", a, a, a, ENOSPC);
        const Problem large = RandomProblem(20000, 3, 1);
        expectFailure("/dev/full", large.designMatrix, large.observations, large.weightVector, ENOSPC);
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
