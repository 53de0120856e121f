// Flushes racing the mixer and the streaming thread: the count must never
// go below what the queue holds, and must equal it once all are quiet.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "mixer.h"
#include "test_support.h"

namespace {

TEST(PlaybackQueueStress, CountMatchesTheQueueThroughFlushesAndMixing)
{
    CPlaybackQueue queue;
    CSendRing ring;
    CMixLevels levels;
    CMixer mixer(
        queue, ring, levels, [](SendBlock& block) { block.Release(); }, [](int, std::uint32_t) {});
    std::atomic<bool> bDone{false};
    std::atomic<bool> bNegative{false};

    std::thread streaming([&] {
        std::mt19937 random(1);
        std::uniform_int_distribution<int> size(1, 3000);
        for (int i = 0; i < 4000; ++i)
            queue.Push(MakeBuffer(std::vector<std::int16_t>(static_cast<std::size_t>(size(random)),
                                                            static_cast<std::int16_t>(i))));
    });
    std::thread flusher([&] {
        while (!bDone.load()) {
            queue.Flush();
            std::this_thread::yield();
        }
    });
    std::thread pacing([&] {
        const std::vector<std::int16_t> mic(1600, 3);
        while (!bDone.load()) {
            mixer.FeedBlocks(mic.data(), 3200);
            if (queue.Count() < 0)
                bNegative = true;
        }
    });
    streaming.join();
    WaitUntil([&] { return queue.Count() == 0; }, 20s);
    bDone = true;
    flusher.join();
    pacing.join();

    EXPECT_FALSE(bNegative.load());
    EXPECT_EQ(queue.Count(), queue.QueuedSamples());
    // Quiet again: new playback is counted exactly.
    queue.Push(MakeBuffer(std::vector<std::int16_t>(777, 1)));
    EXPECT_EQ(queue.Count(), 777);
    EXPECT_EQ(queue.QueuedSamples(), 777);
}

} // namespace
