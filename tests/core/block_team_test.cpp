#include "core/block_team.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

// Many jobs in a row of many sizes, with and without a helper: every block
// of every job runs exactly once, and Run returns only after all of them,
// so a job's counts are complete when it is checked and a late helper never
// runs a block of an earlier job.
TEST(BlockTeam, EveryBlockOfEveryJobRunsOnceBeforeRunReturns)
{
    const int sizes[] = {0, 1, 2, 5, 64, 1000};
    for (bool withHelper : {false, true}) {
        BlockTeam team(withHelper);
        for (int round = 0; round < 200; ++round) {
            const int count = sizes[round % 6];
            std::vector<std::atomic<int>> runs(static_cast<std::size_t>(count));
            team.Run(count, [&](int block) { runs[static_cast<std::size_t>(block)].fetch_add(1); });
            for (int block = 0; block < count; ++block)
                ASSERT_EQ(runs[static_cast<std::size_t>(block)].load(), 1)
                    << "helper " << withHelper << " round " << round << " block " << block;
        }
    }
}

// A helper whose blocks take long (as when it shares a physical core with
// the caller) is left out after a window of jobs: the following jobs run
// on the caller alone, and each still runs every block once.
TEST(BlockTeam, ASlowHelperIsLeftOutOfTheFollowingJobs)
{
    BlockTeam team(true);
    if (!team.HasHelper())
        GTEST_SKIP() << "no helper thread";
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> helperBlocks{0};
    auto job = [&](int round, bool awaitHelper) {
        const int helperBlocksBefore = helperBlocks.load();
        std::vector<std::atomic<int>> runs(8);
        team.Run(8, [&](int block) {
            if (std::this_thread::get_id() != caller) {
                ++helperBlocks;
                // Long beside the time the helper takes to wake up, which the
                // caller spends in its first block (working, not waiting):
                // on a loaded machine or under a sanitizer that is hundreds of
                // microseconds, and the waiting share must still stand out.
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            } else if (awaitHelper && block == 0) {
                // Keeps the first block until the helper has one too.
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
                while (helperBlocks.load() == helperBlocksBefore && std::chrono::steady_clock::now() < until)
                    std::this_thread::yield();
            }
            runs[static_cast<std::size_t>(block)].fetch_add(1);
        });
        for (const auto& count : runs)
            ASSERT_EQ(count.load(), 1) << "round " << round;
    };
    for (int round = 0; round < 64; ++round) // the window
        job(round, true);
    ASSERT_GT(helperBlocks.load(), 32);
    helperBlocks = 0;
    for (int round = 64; round < 164; ++round)
        job(round, false);
    EXPECT_EQ(helperBlocks.load(), 0);
}

} // namespace
