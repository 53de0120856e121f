// Flushes racing the mixer and the streaming thread: the count must never
// go below what the queue holds, and must equal it once all are quiet.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "mixer.h"
#include "test_support.h"

namespace {

// One round: the streaming thread queues while a flusher flushes and the
// mixer mixes; then all go quiet.
void RunRound(int nRound)
{
    CPlaybackQueue queue;
    CSendRing ring;
    CMixLevels levels;
    CMixer mixer(
        queue, ring, levels, [](SendBlock& block) { block.Release(); }, [](int, std::uint32_t) {});
    std::atomic<bool> bStreaming{true}, bMixing{true}, bNegative{false};

    std::thread streaming([&] {
        std::mt19937 random(static_cast<unsigned>(nRound));
        std::uniform_int_distribution<int> size(1, 3000);
        for (int i = 0; i < 3000; ++i)
            queue.Push(MakeBuffer(std::vector<std::int16_t>(static_cast<std::size_t>(size(random)),
                                                            static_cast<std::int16_t>(i))));
        bStreaming = false;
    });
    std::thread flusher([&] {
        while (bStreaming.load()) {
            queue.Flush();
            std::this_thread::sleep_for(50us);
        }
    });
    std::thread pacing([&] {
        const std::vector<std::int16_t> mic(200, 3);
        while (bMixing.load()) {
            mixer.FeedBlocks(mic.data(), 400);
            if (queue.Count() < 0)
                bNegative = true;
        }
    });
    streaming.join();
    flusher.join();
    WaitUntil([&] { return queue.Count() < 200; }); // the mixer drains what is left
    bMixing = false;
    pacing.join();

    EXPECT_FALSE(bNegative.load());
    EXPECT_EQ(queue.Count(), queue.QueuedSamples());
    // Quiet again: new playback is counted exactly.
    const std::int32_t nLeft = queue.Count();
    queue.Push(MakeBuffer(std::vector<std::int16_t>(777, 1)));
    EXPECT_EQ(queue.Count(), nLeft + 777);
    EXPECT_EQ(queue.QueuedSamples(), nLeft + 777);
}

TEST(PlaybackQueueStress, CountMatchesTheQueueThroughFlushesAndMixing)
{
    // Each round catches a put-back racing a flush only now and then.
    for (int nRound = 0; nRound < 10 && !HasFailure(); ++nRound)
        RunRound(nRound);
}

} // namespace
