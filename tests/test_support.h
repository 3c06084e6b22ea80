#pragma once

// Small helpers that the test programs of several folders share.

#include "core/matrix.h"

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// AddressSanitizer reserves terabytes of address space and aborts on
// exhausted memory instead of failing the allocation: tests that limit the
// address space step aside under it. gcc announces it with a macro, clang
// through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define TOLVAR_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOLVAR_ADDRESS_SANITIZER 1
#endif
#endif

namespace test_support {

// A matrix from its rows; every row as long as the first.
inline Matrix FromRows(const std::vector<std::vector<double>>& rows)
{
    Matrix m(static_cast<int>(rows.size()), rows.empty() ? 0 : static_cast<int>(rows.front().size()), 0.0);
    for (int i = 0; i < m.Rows(); ++i)
        for (int j = 0; j < m.Columns(); ++j)
            m(i, j) = rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
    return m;
}

// An n x 1 vector.
inline Matrix Column(const std::vector<double>& values)
{
    Matrix m(static_cast<int>(values.size()), 1, 0.0);
    for (int i = 0; i < m.Rows(); ++i)
        m(i, 0) = values[static_cast<std::size_t>(i)];
    return m;
}

// The whole file as bytes; empty when it cannot be read.
inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool FileExists(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return in.good();
}

} // namespace test_support
