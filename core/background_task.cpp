#include "core/background_task.h"

#include <utility>

BackgroundTask::BackgroundTask(std::function<void()> work, HelperPlacement placement)
    : work(std::move(work)), thread(StartHelperThread([this] { Run(); }, placement))
{
    if (!thread.joinable())
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
