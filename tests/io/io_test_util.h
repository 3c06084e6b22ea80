#pragma once

#include "core/matrix.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <initializer_list>
#include <string>

namespace io_test {

using test_support::FromRows;
using test_support::ReadBytes;

// A file name in the test's temporary folder, unique per process and test.
inline std::string TempPath(const std::string& name)
{
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string path = testing::TempDir() + "tolvar_io_" + std::to_string(getpid()) + "_";
    if (info != nullptr)
        path += std::string(info->test_suite_name()) + "_" + info->name() + "_";
    return path + name;
}

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    ASSERT_EQ(std::fclose(file), 0);
}

// Compares every element exactly; also the shape.
inline testing::AssertionResult SameMatrix(const Matrix& actual, const Matrix& expected)
{
    if (actual.Rows() != expected.Rows() || actual.Columns() != expected.Columns())
        return testing::AssertionFailure() << "shape " << actual.Rows() << "x" << actual.Columns() << ", expected "
                                           << expected.Rows() << "x" << expected.Columns();
    for (int i = 0; i < actual.Rows(); ++i)
        for (int j = 0; j < actual.Columns(); ++j)
            if (!(actual(i, j) == expected(i, j)))
                return testing::AssertionFailure() << "element (" << i << ", " << j << ") is " << actual(i, j)
                                                   << ", expected " << expected(i, j);
    return testing::AssertionSuccess();
}

}  // namespace io_test
