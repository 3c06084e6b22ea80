#pragma once

#include <system_error>
#include <thread>
#include <utility>

// A thread that runs work beside the caller, or none (not joinable) on a
// machine with a single core, where it would only take turns with the
// caller, or when the system has no thread to give: then the caller does
// the work itself.
template <class Work>
std::thread StartHelperThread(Work&& work)
{
    if (std::thread::hardware_concurrency() < 2)
        return {};
    try {
        return std::thread(std::forward<Work>(work));
    } catch (const std::system_error&) {
        return {};
    }
}
