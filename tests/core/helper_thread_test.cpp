#include "core/helper_thread.h"

#include <gtest/gtest.h>

#include <sched.h>

#include <thread>

namespace {

// A helper's first step when it should run away from its creator: it moves
// off the creator's processor and may afterwards run on every processor it
// could before.
TEST(HelperThread, LeavingAProcessorMovesTheThreadAndKeepsWhereItMayRun)
{
    cpu_set_t allowed;
    ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
    if (CPU_COUNT(&allowed) < 2)
        GTEST_SKIP() << "fewer than two processors to run on";
    std::thread([&] {
        const int before = sched_getcpu();
        LeaveProcessor(before);
        const int after = sched_getcpu();
        cpu_set_t afterwards;
        ASSERT_EQ(sched_getaffinity(0, sizeof afterwards, &afterwards), 0);
        EXPECT_NE(after, before);
        EXPECT_TRUE(CPU_EQUAL(&afterwards, &allowed));
    }).join();
}

// A helper placed away from its caller still runs its work, once.
TEST(HelperThread, AHelperAwayFromItsCallerRunsItsWork)
{
    int runs = 0;
    std::thread helper = StartHelperThread([&] { ++runs; }, HelperPlacement::kAwayFromCaller);
    if (!helper.joinable())
        GTEST_SKIP() << "no helper thread on this machine";
    helper.join();
    EXPECT_EQ(runs, 1);
}

} // namespace
