#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

// Runs the blocks 0 .. count - 1 of a job on the calling thread and on one
// helper thread. Blocks are claimed one at a time, so a helper that starts
// late (or never, on a busy machine) only takes fewer of them: the caller
// never waits for the helper to begin, only for a block it has claimed to
// end. Made for many short jobs in a row, such as one per simplex step,
// where starting a thread per job would cost more than it saves.
//
// The caller claims from the first block up, the helper from the last one
// down: in jobs over the same data each thread meets mostly the blocks it
// had the job before, which are still in its own cache.
//
// The processors of a virtual machine may for a while be two threads of
// one physical core. A helper then makes the caller wait for its blocks
// and, watching for the next job, slows the caller's own work (an L1
// solve: 36 ms with the helper, 21 ms alone, 17 ms with a core for each).
// So the caller keeps the share of its time that it waits for the helper:
// where that share is large over a window of jobs, the next jobs run
// without the helper, which goes to sleep, and then it is tried again.
class BlockTeam {
public:
    using BlockFunction = void (*)(const void* context, int block);

    // Without a helper (withHelper false, or no thread to be had) Run does
    // every block itself.
    explicit BlockTeam(bool withHelper);
    ~BlockTeam();
    BlockTeam(const BlockTeam&) = delete;
    BlockTeam& operator=(const BlockTeam&) = delete;

    bool HasHelper() const { return helper.joinable(); }

    // function(context, block) for every block; returns when all have run.
    void Run(int count, BlockFunction function, const void* context);
    template <class Work>
    void Run(int count, const Work& work)
    {
        Run(count, [](const void* context, int block) { (*static_cast<const Work*>(context))(block); }, &work);
    }

private:
    // The ticket: the job's generation, the blocks claimed from the front
    // and those claimed from the back.
    static constexpr int kSideBits = 20;
    static constexpr std::uint64_t kSideMask = (std::uint64_t{1} << kSideBits) - 1;
    static constexpr int kGenerationShift = 2 * kSideBits;
    static constexpr int kMaxSharedCount = static_cast<int>(kSideMask);

    void HelperLoop();
    // The ticket once its generation is no longer seen, or after a while.
    std::uint64_t WatchTicket(std::uint64_t seen) const;
    // Claims and runs blocks of this generation while any are left, from
    // the front or from the back.
    void RunBlocks(std::uint64_t generation, bool fromBack);
    std::uint64_t NextGeneration() const;
    void RunAlone(int count, BlockFunction blockFunction, const void* blockContext);
    // Counts a shared job's time the caller spent on blocks and waiting.
    void NoteSharedJob(double working, double waiting);

    static constexpr int kWindowJobs = 64;
    static constexpr double kLateShare = 1.0 / 3.0; // measured: 0.09 to 0.23 with a core each, 0.40 to 0.52 on one
    static constexpr int kAloneJobs = 1024;
    int windowJobs = 0;
    double windowWorking = 0.0;
    double windowWaiting = 0.0;
    int aloneJobsLeft = 0;

    // The generation of the current job and the blocks claimed from each end.
    std::atomic<std::uint64_t> ticket{0};
    std::atomic<int> blockCount{0};
    std::atomic<BlockFunction> function{nullptr};
    std::atomic<const void*> context{nullptr};
    std::atomic<int> finished{0};
    std::atomic<bool> stopping{false};
    std::thread helper;
};
