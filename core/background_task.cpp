#include "core/background_task.h"

#include <system_error>
#include <utility>

BackgroundTask::BackgroundTask(std::function<void()> work) : work(std::move(work))
{
    if (std::thread::hardware_concurrency() > 1) {
        try {
            thread = std::thread([this] { Run(); });
            return;
        } catch (const std::system_error&) {
            // No thread to be had: the work runs here.
        }
    }
    Run();
}

BackgroundTask::~BackgroundTask()
{
    if (thread.joinable())
        thread.join();
}

void BackgroundTask::Run()
{
    try {
        work();
    } catch (...) {
        failure = std::current_exception();
    }
}

void BackgroundTask::Wait()
{
    if (thread.joinable())
        thread.join();
    if (failure)
        std::rethrow_exception(std::exchange(failure, nullptr));
}
