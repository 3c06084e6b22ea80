// The engine solves A and l themselves when the weighted system would be
// a bit-for-bit copy of them.

#include "core/weighted_system.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using test_support::SameBits;

namespace {

bool IsNegativeZero(double value)
{
    return value == 0.0 && std::signbit(value);
}

// Equal, and of equal bits but where the first holds -0.0 and the second +0.0.
bool SameUpToSignsOfZeros(const Matrix& own, const Matrix& formed)
{
    for (int i = 0; i < own.Rows(); ++i)
        for (int j = 0; j < own.Columns(); ++j) {
            const double expected = IsNegativeZero(own(i, j)) ? 0.0 : own(i, j);
            if (std::memcmp(&expected, &formed[i][j], sizeof expected) != 0)
                return false;
        }
    return true;
}

TEST(WeightedSystem, AnOwnSystemIsWhatFormingItWouldGive)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double special[] = {0.0, -0.0, 4.9e-324, -2.5, inf, nan};
    std::mt19937_64 random(8);
    std::normal_distribution<double> normal;
    int counts[3] = {};
    for (int trial = 0; trial < 3000; ++trial) {
        Matrix A(6, 3, 0.0), l(6, 1, 0.0), p(6, 1, 1.0);
        // Now and then a special value or a weight other than 1.
        for (int i = 0; i < 6; ++i) {
            for (int j = 0; j < 3; ++j)
                A(i, j) = random() % 40 == 0 ? special[random() % std::size(special)] : normal(random);
            l(i, 0) = random() % 40 == 0 ? special[random() % std::size(special)] : normal(random);
            if (random() % 60 == 0)
                p(i, 0) = random() % 2 == 0 ? 2.0 : 1.0000000000000002;
        }
        bool unitAndFinite = true;
        bool negativeZero = false;
        for (int i = 0; i < 6; ++i) {
            unitAndFinite = unitAndFinite && p(i, 0) == 1.0 && std::isfinite(l(i, 0));
            negativeZero = negativeZero || IsNegativeZero(l(i, 0));
            for (int j = 0; j < 3; ++j) {
                unitAndFinite = unitAndFinite && std::isfinite(A(i, j));
                negativeZero = negativeZero || IsNegativeZero(A(i, j));
            }
        }
        const OwnSystem expected = !unitAndFinite ? OwnSystem::kNo
                                   : negativeZero ? OwnSystem::kUpToSignsOfZeros
                                                  : OwnSystem::kExactly;
        const OwnSystem own = OwnWeightedSystem(A, l, p);
        ASSERT_EQ(own, expected) << trial;
        ++counts[static_cast<int>(own)];
        if (own != OwnSystem::kNo) {
            const WeightedSystem formed = FormWeightedSystem(A, l, p);
            EXPECT_TRUE(SameUpToSignsOfZeros(A, formed.Abar)) << trial;
            EXPECT_TRUE(SameUpToSignsOfZeros(l, formed.lbar)) << trial;
            if (own == OwnSystem::kExactly) {
                EXPECT_TRUE(SameBits(formed.Abar, A)) << trial;
                EXPECT_TRUE(SameBits(formed.lbar, l)) << trial;
            }
        }
    }
    for (int count : counts)
        EXPECT_GT(count, 100);
}

} // namespace
