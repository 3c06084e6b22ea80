#include "core/block_team.h"

#include <system_error>

BlockTeam::BlockTeam(bool withHelper)
{
    if (!withHelper || std::thread::hardware_concurrency() < 2)
        return;
    try {
        helper = std::thread(&BlockTeam::HelperLoop, this);
    } catch (const std::system_error&) {
        // No thread to be had: the caller does every block.
    }
}

BlockTeam::~BlockTeam()
{
    if (!helper.joinable())
        return;
    stopping = true;
    ticket += std::uint64_t{1} << kGenerationShift;
    ticket.notify_one();
    helper.join();
}

void BlockTeam::Run(int count, BlockFunction blockFunction, const void* blockContext)
{
    finished = 0;
    blockCount = count;
    function = blockFunction;
    context = blockContext;
    const std::uint64_t generation = (ticket.load() >> kGenerationShift) + 1;
    ticket = generation << kGenerationShift;
    if (helper.joinable())
        ticket.notify_one();
    RunBlocks(generation);
    // Only blocks the helper has claimed are left; each is short.
    while (finished.load() < count)
        std::this_thread::yield();
}

void BlockTeam::RunBlocks(std::uint64_t generation)
{
    for (;;) {
        std::uint64_t current = ticket.load();
        if (current >> kGenerationShift != generation)
            return;
        const int block = static_cast<int>(current & 0xffffffffu);
        if (block >= blockCount.load())
            return;
        // A claim fails when another thread took the block first or a new
        // job began; the job's data is read only after a claim succeeded,
        // while the job cannot end.
        if (!ticket.compare_exchange_weak(current, current + 1))
            continue;
        function.load()(context.load(), block);
        ++finished;
    }
}

void BlockTeam::HelperLoop()
{
    std::uint64_t seen = 0;
    for (;;) {
        std::uint64_t current = ticket.load();
        while (current >> kGenerationShift == seen) {
            ticket.wait(current);
            current = ticket.load();
        }
        if (stopping)
            return;
        seen = current >> kGenerationShift;
        RunBlocks(seen);
    }
}
