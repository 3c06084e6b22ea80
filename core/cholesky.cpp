#include "core/cholesky.h"

#include <cmath>

std::optional<std::vector<double>> CholeskyFactor(const double* S, std::size_t u)
{
    std::vector<double> L(u * u, 0.0);
    for (std::size_t j = 0; j < u; ++j) {
        for (std::size_t i = j; i < u; ++i) {
            double sum = S[i * u + j];
            for (std::size_t k = 0; k < j; ++k)
                sum -= L[i * u + k] * L[j * u + k];
            if (i == j) {
                if (!(sum > 0.0) || !std::isfinite(sum))
                    return std::nullopt;
                L[j * u + j] = std::sqrt(sum);
            } else {
                L[i * u + j] = sum / L[j * u + j];
            }
        }
    }
    return L;
}
