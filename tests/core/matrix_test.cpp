#include "core/matrix.h"
#include "core/report_file.h"

#include <gtest/gtest.h>

#include "test_support.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <random>
#include <string>
#include <vector>

namespace {

using test_support::FromRows;
using test_support::ReadBytes;

TEST(Matrix, ConstructionFillsEveryElementAndCopiesAreDeep)
{
    Matrix m(2, 3, 7.5);
    ASSERT_EQ(m.Rows(), 2);
    ASSERT_EQ(m.Columns(), 3);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(m(i, j), 7.5);

    Matrix copy(m);
    copy(1, 2) = -1.0;
    EXPECT_EQ(m(1, 2), 7.5);
    Matrix assigned(1, 1, 0.0);
    assigned = m;
    assigned(0, 0) = 3.0;
    EXPECT_EQ(m(0, 0), 7.5);
    EXPECT_EQ(assigned.Rows(), 2);
}

TEST(Matrix, SelfAssignmentLeavesTheMatrixUnchanged)
{
    Matrix m = FromRows({{1, 2}, {3, 4}});
    Matrix& alias = m;
    m = alias;
    EXPECT_EQ(m(0, 0), 1);
    EXPECT_EQ(m(1, 1), 4);
}

TEST(Matrix, ProductDifferenceAndTransposeLeaveOperandsUnchanged)
{
    Matrix A = FromRows({{1, 2, 3}, {4, 5, 6}});
    Matrix B = FromRows({{1}, {0.5}, {-1}});
    Matrix product = A * B;
    ASSERT_EQ(product.Rows(), 2);
    ASSERT_EQ(product.Columns(), 1);
    EXPECT_EQ(product(0, 0), 1 + 1 - 3);
    EXPECT_EQ(product(1, 0), 4 + 2.5 - 6);
    EXPECT_EQ(A(1, 2), 6);
    EXPECT_EQ(B(1, 0), 0.5);

    Matrix difference = A - A;
    EXPECT_EQ(difference(1, 1), 0.0);

    Matrix t = A.Transpose();
    ASSERT_EQ(t.Rows(), 3);
    ASSERT_EQ(t.Columns(), 2);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j)
            EXPECT_EQ(t(i, j), A(j, i));
    Matrix single = FromRows({{5}});
    EXPECT_EQ(single.Transpose()(0, 0), 5);
}

TEST(Matrix, ProductSumsInAscendingOrderFromZero)
{
    // 1e16 + 1 - 1e16 is 0 in ascending order, 1 in any other.
    Matrix row = FromRows({{1e16, 1, -1e16}});
    Matrix ones = FromRows({{1}, {1}, {1}});
    EXPECT_EQ((row * ones)(0, 0), 0.0);
}

TEST(Matrix, InvertGivesTheInverseWithoutPivoting)
{
    Matrix m = FromRows({{1, 2}, {3, 4}});
    EXPECT_EQ(m.Invert(), 1);
    EXPECT_DOUBLE_EQ(m(0, 0), -2);
    EXPECT_DOUBLE_EQ(m(0, 1), 1);
    EXPECT_DOUBLE_EQ(m(1, 0), 1.5);
    EXPECT_DOUBLE_EQ(m(1, 1), -0.5);

    Matrix operand = FromRows({{4, 1, 2}, {1, 5, 3}, {2, 3, 6}});
    Matrix inverse = operand;
    inverse.Invert();
    Matrix identity = inverse * operand;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(identity(i, j), i == j ? 1.0 : 0.0, 1e-14);
}

// The four exchange steps of each pivot, written out on plain arrays in the
// order the method prescribes: the oracle for the order of the roundings.
std::vector<std::vector<double>> ExchangeStepsLiterally(std::vector<std::vector<double>> a)
{
    const int n = static_cast<int>(a.size());
    for (int p = 0; p < n; ++p) {
        a[p][p] = 1 / a[p][p];
        for (int j = 0; j < n; ++j)
            if (j != p)
                a[p][j] = -(a[p][p] * a[p][j]);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (i != p && j != p)
                    a[i][j] = a[i][j] + a[p][j] * a[i][p];
        for (int i = 0; i < n; ++i)
            if (i != p)
                a[i][p] = a[p][p] * a[i][p];
    }
    return a;
}

TEST(Matrix, InvertFollowsTheExchangeStepsBitForBit)
{
    std::mt19937_64 random(11);
    std::normal_distribution<double> normal;
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 1 + trial % 9;
        std::vector<std::vector<double>> a(n, std::vector<double>(n));
        Matrix m(n, n, 0.0);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                m(i, j) = a[i][j] = normal(random) + (i == j ? 3.0 : 0.0);
        // Some trials with a zero pivot: the non-finite values must match too.
        if (trial % 10 == 9)
            m(0, 0) = a[0][0] = 0.0;
        ASSERT_EQ(m.Invert(), 1);
        const auto expected = ExchangeStepsLiterally(a);
        // A NaN's sign and payload depend on the operand order the compiler
        // picks for + and *, so NaNs only have to be NaNs.
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (!std::isnan(expected[i][j]) || !std::isnan(m(i, j))) {
                    ASSERT_EQ(std::memcmp(&m(i, j), &expected[i][j], sizeof(double)), 0)
                        << "trial " << trial << " element (" << i << ", " << j << ")";
                }
    }
}

TEST(Matrix, InvertOfAZeroPivotSpreadsNonFiniteValuesAndStillSucceeds)
{
    Matrix m = FromRows({{0, 1}, {1, 0}});
    EXPECT_EQ(m.Invert(), 1);
    bool anyNonFinite = false;
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            anyNonFinite = anyNonFinite || !std::isfinite(m(i, j));
    EXPECT_TRUE(anyNonFinite);

    Matrix empty(0, 0, 0.0);
    EXPECT_EQ(empty.Invert(), 1);
    EXPECT_EQ(empty.Rows(), 0);
}

TEST(Matrix, ResizeRebuildsWithTheFillValue)
{
    Matrix m(1, 1, 9.0);
    EXPECT_EQ(m.Resize(3, 3, 0.0), 0);
    ASSERT_EQ(m.Rows(), 3);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(m(i, j), 0.0);
}

TEST(Matrix, StorageThatCannotBeObtainedLeavesAnInvalidMatrix)
{
    Matrix huge(1 << 30, 1 << 30, 0.0);
    EXPECT_FALSE(huge.IsValid());
    EXPECT_EQ(huge.Rows(), -1);
    Matrix copy(huge);
    EXPECT_FALSE(copy.IsValid());
    EXPECT_FALSE((huge * huge).IsValid());
    EXPECT_FALSE(huge.Transpose().IsValid());

    Matrix resized(2, 2, 1.0);
    EXPECT_EQ(resized.Resize(1 << 30, 1 << 30, 0.0), 1);
    EXPECT_FALSE(resized.IsValid());
    EXPECT_EQ(resized.Resize(-1, 2, 0.0), 1);
}

TEST(Matrix, AssigningAnInvalidMatrixMakesTheTargetInvalid)
{
    Matrix target(2, 2, 3.0);
    Matrix invalid(-1, 0, 0.0);
    EXPECT_NO_THROW(target = invalid);
    EXPECT_FALSE(target.IsValid());
}

// Caps the address space a little above what the process uses now.
void LimitAddressSpaceToCurrentPlus(long long extraBytes)
{
    long long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    ASSERT_NE(statm, nullptr);
    ASSERT_EQ(std::fscanf(statm, "%lld", &pages), 1);
    std::fclose(statm);
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE) + extraBytes);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &limit), 0);
}

TEST(MatrixDeathTest, AssignmentThatCannotObtainStorageThrowsBadAlloc)
{
#if defined(TOLVAR_ADDRESS_SANITIZER)
    GTEST_SKIP() << "AddressSanitizer aborts on exhausted memory instead of failing the allocation";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Matrix source(1024, 8192, 1.0); // 64 MiB
            Matrix target(2, 2, 3.0);
            LimitAddressSpaceToCurrentPlus(16 << 20);
            try {
                target = source;
            } catch (const std::bad_alloc&) {
                std::_Exit(target.IsValid() && target(0, 0) == 3.0 ? 42 : 43);
            }
            std::_Exit(1);
        },
        testing::ExitedWithCode(42), "");
}

TEST(Matrix, PrintWritesFixedFieldsAndAClosingEmptyLine)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("print.txt");
    {
        ReportFile file;
        ASSERT_TRUE(file.Open(path));
        FromRows({{1, 2}}).Print(file);
        Matrix(0, 3, 0.0).Print(file);
        ASSERT_TRUE(file.Close());
    }
    const std::string expected = "        1.000000000000000        2.000000000000000\r\n\r\n"
                                 "\r\n";
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST(Matrix, PrintWritesAWideElementWhole)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("wide.txt");
    {
        ReportFile file;
        ASSERT_TRUE(file.Open(path));
        FromRows({{123456789012.5}}).Print(file);
        file.Close();
    }
    EXPECT_EQ(ReadBytes(path), "123456789012.500000000000000\r\n\r\n");
}

} // namespace
