#pragma once

#include <cstddef>
#include <optional>
#include <vector>

// The Cholesky factor L of S = L L^T (u x u, row-major; the lower triangle
// of S is read, L is lower with zeros above); none when a pivot is not
// positive and finite (S not positive definite, or singular by rounding).
std::optional<std::vector<double>> CholeskyFactor(const double* S, std::size_t u);
