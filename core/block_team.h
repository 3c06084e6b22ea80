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
    static constexpr int kGenerationShift = 32;

    void HelperLoop();
    // Claims and runs blocks of this generation while any are left.
    void RunBlocks(std::uint64_t generation);

    // The generation of the current job and its next unclaimed block.
    std::atomic<std::uint64_t> ticket{0};
    std::atomic<int> blockCount{0};
    std::atomic<BlockFunction> function{nullptr};
    std::atomic<const void*> context{nullptr};
    std::atomic<int> finished{0};
    std::atomic<bool> stopping{false};
    std::thread helper;
};
