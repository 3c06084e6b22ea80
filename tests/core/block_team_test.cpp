#include "core/block_team.h"

#include <gtest/gtest.h>

#include <atomic>
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

} // namespace
