#include "core/weighted_system.h"

#include <cmath>
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

void UnweightResiduals(Matrix& v, const Matrix& p)
{
    for (int i = 0; i < v.Rows(); ++i)
        v(i, 0) = v(i, 0) / std::sqrt(p(i, 0));
}
