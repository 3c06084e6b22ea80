#pragma once

#include "core/helper_thread.h"

#include <exception>
#include <functional>
#include <thread>

// Work that runs on a thread of its own while the caller goes on, such as
// writing the part of a report that is already known while the
// computation runs. Wait() returns when it is done and passes on what it
// threw. Without a thread to be had, the work runs at once in the
// constructor. The destructor waits too (and drops the exception), so
// that nothing the work uses goes away under it.
class BackgroundTask {
public:
    explicit BackgroundTask(std::function<void()> work, HelperPlacement placement = HelperPlacement::kSystem);
    ~BackgroundTask();
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    void Wait();

private:
    void Run();

    std::function<void()> work;
    std::exception_ptr failure;
    std::thread thread;
};
