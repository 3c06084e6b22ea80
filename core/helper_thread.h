#pragma once

#include <system_error>
#include <thread>
#include <utility>

// The processor the calling thread runs on, -1 where that is not known.
int CurrentProcessor();

// A new thread starts on its creator's processor, and the system may take
// 5 to 20 ms to move it to one that is idle (measured on a virtual machine
// with two): too long for work of some tens of milliseconds. Called first
// in a new thread, this leaves the processor its creator ran on for
// another one it may run on, and then lets the system place it freely
// again.
void LeaveProcessor(int processor);

// Where a helper starts. Away from the caller suits a helper that with its
// caller is all the process runs at the time (the reader's passes); where
// more threads run than there are processors, the system's own placement
// does better (measured: a whole reweighting run with its report 0.26 s
// instead of 0.23 s when every helper started away from its creator).
enum class HelperPlacement { kSystem, kAwayFromCaller };

// A thread that runs work beside the caller, or none (not joinable) on a
// machine with a single core, where it would only take turns with the
// caller, or when the system has no thread to give: then the caller does
// the work itself.
template <class Work>
std::thread StartHelperThread(Work&& work, HelperPlacement placement = HelperPlacement::kSystem)
{
    if (std::thread::hardware_concurrency() < 2)
        return {};
    try {
        if (placement == HelperPlacement::kSystem)
            return std::thread(std::forward<Work>(work));
        return std::thread([creator = CurrentProcessor(), work = std::forward<Work>(work)]() mutable {
            LeaveProcessor(creator);
            work();
        });
    } catch (const std::system_error&) {
        return {};
    }
}
