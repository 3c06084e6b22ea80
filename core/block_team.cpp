#include "core/block_team.h"

#include "core/helper_thread.h"
#include "core/spin_wait.h"

#include <algorithm>
#include <chrono>

BlockTeam::BlockTeam(bool withHelper)
{
    if (withHelper)
        helper = StartHelperThread([this] { HelperLoop(); });
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
    if (!helper.joinable() || count > kMaxSharedCount || aloneJobsLeft > 0) {
        aloneJobsLeft = std::max(aloneJobsLeft - 1, 0);
        RunAlone(count, blockFunction, blockContext);
        return;
    }
    finished = 0;
    blockCount = count;
    function = blockFunction;
    context = blockContext;
    const std::uint64_t generation = NextGeneration();
    ticket = generation << kGenerationShift;
    ticket.notify_one();
    const auto start = std::chrono::steady_clock::now();
    RunBlocks(generation, false);
    const auto ownBlocksDone = std::chrono::steady_clock::now();
    // Only blocks the helper has claimed are left; each is short, so the
    // caller gives its core away only when one takes long.
    for (int round = 0; finished.load() < count; ++round)
        WaitRound(round);
    const std::chrono::duration<double> working = ownBlocksDone - start;
    const std::chrono::duration<double> waiting = std::chrono::steady_clock::now() - ownBlocksDone;
    NoteSharedJob(working.count(), waiting.count());
    // Closed before the next job's data is written: a helper that read this
    // job's ticket can no longer claim with it.
    ticket = NextGeneration() << kGenerationShift | kSideMask << kSideBits;
}

void BlockTeam::NoteSharedJob(double working, double waiting)
{
    windowWorking += working;
    windowWaiting += waiting;
    if (++windowJobs < kWindowJobs)
        return;
    if (windowWaiting > kLateShare * (windowWorking + windowWaiting))
        aloneJobsLeft = kAloneJobs;
    windowJobs = 0;
    windowWorking = 0.0;
    windowWaiting = 0.0;
}

std::uint64_t BlockTeam::NextGeneration() const
{
    return ((ticket.load() >> kGenerationShift) + 1) & (~std::uint64_t{0} >> kGenerationShift);
}

void BlockTeam::RunAlone(int count, BlockFunction blockFunction, const void* blockContext)
{
    for (int block = 0; block < count; ++block)
        blockFunction(blockContext, block);
}

void BlockTeam::RunBlocks(std::uint64_t generation, bool fromBack)
{
    const std::uint64_t claim = fromBack ? std::uint64_t{1} : std::uint64_t{1} << kSideBits;
    for (;;) {
        std::uint64_t current = ticket.load();
        if (current >> kGenerationShift != generation)
            return;
        const int front = static_cast<int>((current >> kSideBits) & kSideMask);
        const int back = static_cast<int>(current & kSideMask);
        const int count = blockCount.load();
        if (front + back >= count)
            return;
        // A claim fails when another thread claimed a block first or a new
        // job began; the job's data is read only after a claim succeeded,
        // while the job cannot end.
        if (!ticket.compare_exchange_weak(current, current + claim))
            continue;
        function.load()(context.load(), fromBack ? count - 1 - back : front);
        ++finished;
    }
}

// Jobs tend to come in quick succession: the helper watches the ticket for
// a short while before it sleeps, since waking it costs more than a job.
std::uint64_t BlockTeam::WatchTicket(std::uint64_t seen) const
{
    constexpr auto kWatch = std::chrono::microseconds(200);
    const auto until = std::chrono::steady_clock::now() + kWatch;
    for (int round = 1;; ++round) {
        const std::uint64_t current = ticket.load();
        if (current >> kGenerationShift != seen)
            return current;
        if (round % 64 == 0 && std::chrono::steady_clock::now() > until)
            return current;
        Relax();
    }
}

void BlockTeam::HelperLoop()
{
    std::uint64_t seen = 0;
    for (;;) {
        std::uint64_t current = WatchTicket(seen);
        while (current >> kGenerationShift == seen) {
            ticket.wait(current);
            current = ticket.load();
        }
        if (stopping)
            return;
        seen = current >> kGenerationShift;
        RunBlocks(seen, true);
    }
}
