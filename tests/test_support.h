#pragma once

// Small helpers that the test programs of several folders share.

#include "core/matrix.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
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

// Expects actual to be an n x 1 vector of expected's values, each within tolerance.
inline void ExpectColumn(const Matrix& actual, const std::vector<double>& expected, double tolerance)
{
    ASSERT_EQ(actual.Rows(), static_cast<int>(expected.size()));
    ASSERT_EQ(actual.Columns(), 1);
    for (int i = 0; i < actual.Rows(); ++i)
        EXPECT_NEAR(actual(i, 0), expected[static_cast<std::size_t>(i)], tolerance) << "element " << i;
}

// The whole file as bytes; empty when it cannot be read.
inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    ASSERT_TRUE(out.flush().good()) << path;
}

// The same shape and the same bits in every element (signed zeros and NaNs
// included).
inline bool SameBits(const Matrix& a, const Matrix& b)
{
    if (a.Rows() != b.Rows() || a.Columns() != b.Columns())
        return false;
    const std::size_t elements =
        static_cast<std::size_t>(std::max(a.Rows(), 0)) * static_cast<std::size_t>(a.Columns());
    return elements == 0 || std::memcmp(a.Data(), b.Data(), elements * sizeof(double)) == 0;
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

inline bool FileExists(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return in.good();
}

// A folder of its own, inside the test run's temporary folder
// (testing::TempDir()), removed with everything in it at the end. Every
// object has a folder of its own, also several within one test.
class TempFolder {
public:
    TempFolder()
    {
        static int created = 0;
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "tolvar_" + std::to_string(getpid()) + "_" + std::to_string(++created);
        if (info != nullptr)
            name += std::string("_") + info->test_suite_name() + "_" + info->name();
        for (char& c : name)
            c = c == '/' ? '_' : c;  // parameterised test names hold a '/'
        path = std::filesystem::path(testing::TempDir()) / name;
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Path() const { return path.string(); }
    // A file name inside the folder.
    std::string Path(const std::string& name) const { return (path / name).string(); }

private:
    std::filesystem::path path;
};

// Makes every write beyond limit bytes into any file fail with EFBIG (as
// on a full disk, also for root) for the rest of a scope: the soft
// file-size limit of the process, with the signal it would send ignored.
// A child process started meanwhile inherits both.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) : previousHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit reduced = saved;
        reduced.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &reduced);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved{};
    void (*previousHandler)(int);
};

// The names of everything in a folder, hidden files included, sorted:
// what a writer left behind.
inline std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs the rest of a scope under the German locale, whose decimal point is
// ",", and puts the previous locale back at its end. scripts/install-deps.sh
// generates de_DE.UTF-8, so a machine without it fails the test:
//   test_support::GermanLocale german;
//   ASSERT_TRUE(german.Entered());
class GermanLocale {
public:
    GermanLocale() : saved(std::setlocale(LC_ALL, nullptr)), entered(std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr)
    {
    }
    ~GermanLocale() { std::setlocale(LC_ALL, saved.c_str()); }
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;

    testing::AssertionResult Entered() const
    {
        if (entered)
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "locale de_DE.UTF-8 is not installed (scripts/install-deps.sh generates it)";
    }

private:
    std::string saved;
    bool entered;
};

// Runs the rest of a scope as the ordinary user "nobody" when the tests run
// as root, whom no file permission stops; the scope's end gives root back.
class WithoutRoot {
public:
    WithoutRoot() : left(geteuid() == 0 && seteuid(65534) == 0) {}
    ~WithoutRoot() { EXPECT_TRUE(!left || seteuid(0) == 0) << "root could not be taken back"; }
    WithoutRoot(const WithoutRoot&) = delete;
    WithoutRoot& operator=(const WithoutRoot&) = delete;

    bool Entered() const { return geteuid() != 0; }

private:
    bool left;
};

// The sample input files of examples/.
inline std::string ExampleFile(const std::string& name)
{
    return std::string(TOLVAR_SOURCE_DIR) + "/examples/" + name;
}

} // namespace test_support
