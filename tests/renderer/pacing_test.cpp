// The pacing side among threads, for ThreadSanitizer to watch.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>

#include "call_stage.h"
#include "heard_wait.h"
#include "level_board.h"
#include "mixer.h"
#include "pacing_thread.h"
#include "test_support.h"
#include "wide_mixer.h"

namespace {

// Streaming queues both widths with flushes, ends and waits while a pacing
// thread mixes: the count stays true, and the wait ends when all was mixed or on abort.
TEST(HeardWait, EndsWhenTheMixersHaveTakenBothQueuesOrOnAbort)
{
    for (const bool bAbort : {false, true}) {
        CPlaybackQueue queue, wideQueue(48000, 2);
        CSendRing ring;
        CMixLevels levels;
        CHeardWait wait;
        CMixer mixer(
            queue, ring, levels, [](SendBlock& block) { block.Release(); },
            [](int, std::uint32_t) {});
        CWideMixer wideMixer(wideQueue, levels, [](int, std::uint32_t) {});
        std::atomic<bool> bPacing{true}, bNegative{false};
        std::thread pacing([&] {
            const std::vector<std::int16_t> mic(200, 3), wideMic(4800, 3);
            while (bPacing.load()) {
                mixer.FeedBlocks(mic.data(), 400);
                wideMixer.BeginTick(CPlaybackQueue::kNoPosition);
                wideMixer.Feed(wideMic.data(), 9600);
                bNegative = bNegative || queue.Count() < 0;
                wait.Wake();
            }
        });
        bool bHeard = false;
        std::thread streaming([&] {
            std::mt19937 random(bAbort);
            for (int i = 1; i <= 3000; ++i) {
                if (i % 8 == 0)
                    queue.Flush();
                queue.Push(MakeBuffer(std::vector<std::int16_t>(1 + random() % 3000, 1)));
                if (i % 75 == 0)
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
        EXPECT_FALSE(bNegative.load());
        EXPECT_EQ(queue.Count(), queue.QueuedSamples());
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

// A reader sees published blocks in order, none twice, the last one in the end.
TEST(LevelBoard, AReaderTakesThePublishersBlocksInOrderAndOnce)
{
    CLevelBoard board;
    constexpr int kBlocks = 20000;
    const CLevelBoard::Clock::time_point past{};
    std::atomic<bool> bDone{false};
    std::thread publisher([&] {
        for (int n = 1; n <= kBlocks; ++n) {
            const float fLevel = static_cast<float>(n) / kBlocks;
            board.Publish(CLevelBoard::Meter::Microphone, {fLevel, fLevel, n == kBlocks}, past);
            board.Publish(CLevelBoard::Meter::Call, {fLevel / 2, fLevel / 2, false}, past);
        }
        bDone = true;
    });
    const auto farFuture = CLevelBoard::Clock::now() + std::chrono::hours(24 * 365);
    double dLastPeak = kSilentDb;
    int nTaken = 0;
    bool bClip = false;
    for (bool bLast = false; !bLast;) {
        bLast = bDone.load();
        const CallLevels levels = board.Take(farFuture);
        if (levels.microphone.nBlocks == 0)
            continue;
        ASSERT_GE(levels.microphone.dPeakDb, dLastPeak);
        dLastPeak = levels.microphone.dPeakDb;
        nTaken += levels.microphone.nBlocks;
        bClip = bClip || levels.microphone.bClip;
    }
    publisher.join();
    EXPECT_LE(nTaken, kBlocks);
    EXPECT_EQ(dLastPeak, 0.0) << "the last block, at full scale";
    EXPECT_TRUE(bClip);
}

// Options switched while the stage mixes: each frame sees one value or the other.
TEST(CallOptions, SwitchWhileTheStageMixes)
{
    CCallOptions options;
    CCallStage stage(16000, 1, options);
    std::atomic<bool> bDone{false};
    std::thread control([&] {
        for (int n = 0; !bDone; ++n) {
            options.SetLimiter(n % 2 == 0);
            options.SetTalkOver(n % 3 == 0);
            options.SetTalkOverDepthDb(n % 40);
            std::this_thread::yield();
        }
    });
    std::vector<std::int16_t> mic(160, 12000), playback(160, 32767), mix(160);
    for (int nBlock = 0; nBlock < 5000; ++nBlock) {
        stage.Listen(mic.data(), 160);
        const std::uint8_t* pPlayback =
            stage.Playback(reinterpret_cast<const std::uint8_t*>(playback.data()), 160);
        std::memcpy(mix.data(), pPlayback, 320);
        stage.Finish(mix.data(), 160);
        for (const std::int16_t sample : mix)
            ASSERT_GE(sample, 0);
    }
    bDone = true;
    control.join();
}

} // namespace
