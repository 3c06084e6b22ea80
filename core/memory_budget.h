#pragma once

#include <cstdint>

// Linux grants memory when it is asked for and fails only when it is
// touched, so a run too large for the machine is refused before it starts:
// its bytes are estimated from n, u and the method, and compared with the
// memory this process may use.

// The bytes a run of the method touches beyond the problem it is given:
// the weighted system (n u), the normal equations, their inverse and the
// sums of the threads (a few u^2), the L1 tableau ((n + 2)(u + 2)) or the
// minimax basis; overestimated rather than under.
std::uint64_t EstimatedRunBytes(int methodCode, double normFactor, std::int64_t n, std::int64_t u);

// The least of the physical memory, the cgroup's limit
// (/sys/fs/cgroup/memory.max) and the address-space limit (RLIMIT_AS).
std::uint64_t MemoryLimit();

// Throws std::bad_alloc when the estimate exceeds the limit, so that the
// run ends the way running out of memory ends it.
void RequireRunMemory(int methodCode, double normFactor, std::int64_t n, std::int64_t u);
