#include "core/weighted_system.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

WeightedSystem FormWeightedSystem(const Matrix& A, const Matrix& l, const Matrix& p)
{
    const int n = A.Rows();
    const int u = A.Columns();
    WeightedSystem system{Matrix(n, u, 0.0), Matrix(n, 1, 0.0)};
    if (!system.Abar.IsValid() || !system.lbar.IsValid())
        throw std::bad_alloc();
    for (int i = 0; i < n; ++i) {
        const double s = std::sqrt(p(i, 0));
        for (int j = 0; j < u; ++j)
            system.Abar(i, j) = 0.0 + s * A(i, j);
        system.lbar(i, 0) = 0.0 + s * l(i, 0);
    }
    return system;
}

namespace {

// kExactly when every element is finite and none is -0.0,
// kUpToSignsOfZeros when some are -0.0, kNo when one is not finite;
// without a branch per element.
OwnSystem OwnValues(const Matrix& matrix)
{
    const double* values = matrix.Data();
    const std::size_t count = static_cast<std::size_t>(matrix.Rows()) * static_cast<std::size_t>(matrix.Columns());
    constexpr std::uint64_t kSign = std::uint64_t{1} << 63;
    constexpr std::uint64_t kExponent = std::uint64_t{0x7ff} << 52;
    std::uint64_t negativeZeros = 0;
    std::uint64_t notFinite = 0;
    for (std::size_t e = 0; e < count; ++e) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, values + e, sizeof bits);
        negativeZeros |= static_cast<std::uint64_t>(bits == kSign);
        notFinite |= static_cast<std::uint64_t>((bits & kExponent) == kExponent);
    }
    if (notFinite != 0)
        return OwnSystem::kNo;
    return negativeZeros != 0 ? OwnSystem::kUpToSignsOfZeros : OwnSystem::kExactly;
}

} // namespace

OwnSystem OwnWeightedSystem(const Matrix& A, const Matrix& l, const Matrix& p)
{
    const int n = A.Rows();
    if (!A.IsValid() || l.Rows() != n || p.Rows() != n || l.Columns() != 1 || p.Columns() != 1)
        return OwnSystem::kNo;
    for (int i = 0; i < n; ++i)
        if (p(i, 0) != 1.0)
            return OwnSystem::kNo;
    return std::min(OwnValues(A), OwnValues(l));
}

void UnweightResiduals(Matrix& v, const Matrix& p)
{
    // A weight of 1 leaves the residual as it is, bit for bit (x / 1 is x,
    // a zero's sign and a NaN included): only the others are divided.
    for (int i = 0; i < v.Rows(); ++i)
        if (const double weight = p(i, 0); weight != 1.0)
            v(i, 0) = v(i, 0) / std::sqrt(weight);
}
