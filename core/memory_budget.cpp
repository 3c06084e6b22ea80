#include "core/memory_budget.h"

#include "core/methods.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <new>
#include <string>

namespace {

constexpr std::uint64_t kDouble = sizeof(double);
// The L1 tableau keeps columns of small whole numbers as bytes beside the
// doubles a column takes when it widens.
constexpr std::uint64_t kNarrowEntry = 1;
// Normal equations, their Matrix copy, the inverse and the threads' sums.
constexpr std::uint64_t kNormalMatrices = 5;
constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();

std::uint64_t PhysicalMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return kUnlimited;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

// "max" or a byte count.
std::uint64_t CgroupLimit()
{
    std::ifstream file("/sys/fs/cgroup/memory.max");
    std::string text;
    if (!(file >> text) || text == "max")
        return kUnlimited;
    try {
        return std::stoull(text);
    } catch (...) {
        return kUnlimited;
    }
}

std::uint64_t AddressSpaceLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kUnlimited;
    return static_cast<std::uint64_t>(limit.rlim_cur);
}

// a * b, saturated.
std::uint64_t Times(std::uint64_t a, std::uint64_t b)
{
    return b != 0 && a > kUnlimited / b ? kUnlimited : a * b;
}

std::uint64_t Plus(std::uint64_t a, std::uint64_t b)
{
    return a > kUnlimited - b ? kUnlimited : a + b;
}

} // namespace

std::uint64_t EstimatedRunBytes(int methodCode, double normFactor, std::int64_t n, std::int64_t u)
{
    const std::uint64_t rows = static_cast<std::uint64_t>(std::max<std::int64_t>(n, 0));
    const std::uint64_t columns = static_cast<std::uint64_t>(std::max<std::int64_t>(u, 0));
    const std::uint64_t system = Times(Times(rows, columns + 1), kDouble);
    if (methodCode == kMethodL1 || (methodCode == kMethodLpNorm && normFactor == 1.0))
        return Plus(system, Times(Times(rows + 2, columns + 2), kDouble + kNarrowEntry));
    const std::uint64_t normals = Times(Times(Times(columns + 1, columns + 1), kDouble), kNormalMatrices);
    return Plus(Plus(system, normals), Times(rows, 8 * kDouble));
}

std::uint64_t MemoryLimit()
{
    return std::min({PhysicalMemory(), CgroupLimit(), AddressSpaceLimit()});
}

void RequireRunMemory(int methodCode, double normFactor, std::int64_t n, std::int64_t u)
{
    if (EstimatedRunBytes(methodCode, normFactor, n, u) > MemoryLimit())
        throw std::bad_alloc();
}
