// The pacing side among threads: the pacing thread's start and stop, and
// the queue shared by streaming, flushes and the mixer, for ThreadSanitizer
// to watch (the flush-while-mixing order itself is pinned, deterministically,
// in the mixer's tests).
#include <gtest/gtest.h>

#include <atomic>
#include <random>

#include "heard_wait.h"
#include "mixer.h"
#include "pacing_thread.h"
#include "test_support.h"
#include "wide_mixer.h"

namespace {

TEST(PlaybackQueueStress, CountMatchesTheQueueThroughFlushesAndMixing)
{
    for (unsigned nRound = 0; nRound < 2 && !HasFailure(); ++nRound) {
        CPlaybackQueue queue;
        CSendRing ring;
        CMixLevels levels;
        CMixer mixer(
            queue, ring, levels, [](SendBlock& block) { block.Release(); },
            [](int, std::uint32_t) {});
        std::atomic<bool> bMixing{true}, bNegative{false};

        std::thread streaming([&] { // queues, and flushes now and then as a seek would
            std::mt19937 random(nRound);
            for (int i = 1; i <= 3000; ++i) {
                if (i % 8 == 0)
                    queue.Flush();
                queue.Push(MakeBuffer(std::vector<std::int16_t>(1 + random() % 3000, 1)));
            }
        });
        std::thread pacing([&] {
            const std::vector<std::int16_t> mic(200, 3);
            while (bMixing.load()) {
                mixer.FeedBlocks(mic.data(), 400);
                bNegative = bNegative || queue.Count() < 0;
            }
        });
        streaming.join();
        bMixing = false;
        pacing.join();

        EXPECT_FALSE(bNegative.load());
        EXPECT_EQ(queue.Count(), queue.QueuedSamples());
    }
}

// The end of stream among threads: the streaming thread queues a file of
// both widths and waits; a pacing thread mixes both and wakes it. The wait
// ends when every sample was mixed, or at once on an abort.
TEST(HeardWait, EndsWhenTheMixersHaveTakenBothQueuesOrOnAbort)
{
    for (const bool bAbort : {false, true}) {
        CPlaybackQueue queue, wideQueue(48000, 2);
        CSendRing ring;
        CMixLevels levels;
        CHeardWait wait;
        std::atomic<std::int64_t> nSent{0};
        CMixer mixer(
            queue, ring, levels,
            [&](SendBlock& block) {
                nSent += block.m_nFilled;
                block.Release();
            },
            [](int, std::uint32_t) {});
        CWideMixer wideMixer(wideQueue, levels, [](int, std::uint32_t) {});
        std::atomic<bool> bPacing{true};
        std::thread pacing([&] {
            const std::vector<std::int16_t> mic(1600, 3), wideMic(4800, 3);
            while (bPacing.load()) {
                mixer.FeedBlocks(mic.data(), 3200);
                wideMixer.BeginTick(CPlaybackQueue::kNoPosition);
                wideMixer.Feed(wideMic.data(), 9600);
                wait.Wake();
            }
        });
        bool bHeard = false;
        std::thread streaming([&] {
            for (int i = 0; i < 40; ++i) {
                queue.Push(MakeBuffer(std::vector<std::int16_t>(1000, 1)));
                wideQueue.Push(MakeBuffer(std::vector<std::int16_t>(6000, 1)));
            }
            queue.SetEnded();
            wideQueue.SetEnded();
            bHeard = wait.Wait([&] { return queue.Count() == 0 && wideQueue.Count() == 0; });
        });
        if (bAbort)
            wait.Abort();
        streaming.join();
        bPacing = false;
        pacing.join();
        if (!bAbort) {
            EXPECT_TRUE(bHeard);
            EXPECT_EQ(queue.QueuedSamples() + wideQueue.QueuedSamples(), 0);
        }
    }
}

TEST(PacingThread, TicksUntilStopAndStopWaitsForARunningTick)
{
    CPacingThread pacing;
    std::atomic<int> nTicks{0};
    std::atomic<bool> bInTick{false};
    const auto tick = [&] {
        bInTick = true;
        std::this_thread::sleep_for(2ms);
        ++nTicks;
        bInTick = false;
    };
    ASSERT_EQ(pacing.Start(5ms, tick), S_OK);
    EXPECT_NE(pacing.Start(5ms, tick), S_OK) << "one thread at a time";
    ASSERT_TRUE(WaitUntil([&] { return nTicks >= 3 && bInTick; }));
    pacing.Stop();
    EXPECT_FALSE(bInTick.load());
    const int nAfterStop = nTicks;
    ASSERT_EQ(pacing.Start(5ms, tick), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return nTicks > nAfterStop; }));
}

} // namespace
