// The pacing side among threads, for ThreadSanitizer to watch.
#include <gtest/gtest.h>

#include <algorithm>
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

// A pacing thread mixes both widths while streaming queues them with flushes,
// ends and waits: the count stays true, the wait ends when all was mixed or
// on abort, one pacing thread runs at a time and its stop waits for a tick.
TEST(HeardWait, EndsWhenThePacingThreadHasMixedBothQueuesOrOnAbort)
{
    for (const bool bAbort : {false, true}) {
        CPlaybackQueue queue, wideQueue(48000, 2);
        CSendRing ring;
        CMixLevels levels;
        CHeardWait wait;
        CMixer mixer(queue, ring, levels, &SendBlock::Release, [](int, std::uint32_t) {});
        CWideMixer wideMixer(wideQueue, levels, [](int, std::uint32_t) {});
        std::atomic<bool> bInTick{false}, bNegative{false};
        const std::vector<std::int16_t> mic(200, 3), wideMic(4800, 3);
        const auto tick = [&] {
            bInTick = true;
            mixer.FeedBlocks(mic.data(), 400);
            wideMixer.BeginTick(CPlaybackQueue::kNoPosition);
            wideMixer.Feed(wideMic.data(), 9600);
            bNegative = bNegative || queue.Count() < 0;
            wait.Wake();
            std::this_thread::sleep_for(1ms); // so that a stop may come during a tick
            bInTick = false;
        };
        CPacingThread pacing;
        ASSERT_EQ(pacing.Start(2ms, tick), S_OK);
        EXPECT_NE(pacing.Start(2ms, tick), S_OK) << "one thread at a time";
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
        ASSERT_TRUE(WaitUntil([&] { return bInTick.load(); }));
        pacing.Stop();
        EXPECT_FALSE(bInTick.load()) << "the stop returned while a tick ran";
        EXPECT_FALSE(bNegative.load());
        EXPECT_EQ(queue.Count(), queue.QueuedSamples());
        if (!bAbort) {
            EXPECT_TRUE(bHeard);
            EXPECT_EQ(queue.QueuedSamples() + wideQueue.QueuedSamples(), 0);
        }
        std::atomic<bool> bTicked{false};
        ASSERT_EQ(pacing.Start(2ms, [&] { bTicked = true; }), S_OK);
        EXPECT_TRUE(WaitUntil([&] { return bTicked.load(); })) << "ticks again after a stop";
    }
}

// The pacing thread mixes through the call's stage, whose meters publish on
// the board, while options switch and the window takes the levels: each frame
// sees one option value or the other, and the reader the microphone's blocks
// in order, none twice, the last one in the end.
TEST(CallStage, MixesAndMetersWhileOptionsSwitchAndTheWindowReads)
{
    CCallOptions options;
    CLevelBoard board;
    CCallStage stage(16000, 1, options, &board);
    constexpr int kBlocks = 5000; // of 20 ms
    std::atomic<bool> bDone{false}, bNegative{false};
    std::thread control([&] {
        for (int n = 0; !bDone; ++n) {
            options.SetLimiter(n % 2 == 0);
            options.SetTalkOver(n % 3 == 0);
            options.SetTalkOverDepthDb(n % 40);
            std::this_thread::yield();
        }
    });
    std::thread pacing([&] {
        std::vector<std::int16_t> playback(320, 32767), mix(320);
        for (int n = 1; n <= kBlocks; ++n) {
            const std::vector<std::int16_t> mic(320,
                                                static_cast<std::int16_t>(32767 * n / kBlocks));
            stage.Listen(mic.data(), 320);
            const std::uint8_t* pPlayback =
                stage.Playback(reinterpret_cast<const std::uint8_t*>(playback.data()), 320);
            std::memcpy(mix.data(), pPlayback, 640);
            stage.Finish(mix.data(), 320);
            bNegative = bNegative || *std::min_element(mix.begin(), mix.end()) < 0;
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
        EXPECT_GE(levels.microphone.dPeakDb, dLastPeak);
        dLastPeak = levels.microphone.dPeakDb;
        nTaken += levels.microphone.nBlocks;
        bClip = bClip || levels.microphone.bClip;
    }
    pacing.join();
    control.join();
    EXPECT_FALSE(bNegative.load()) << "a frame saw a torn option";
    EXPECT_LE(nTaken, kBlocks);
    EXPECT_NEAR(dLastPeak, 0.0, 0.01) << "the last block, at full scale";
    EXPECT_TRUE(bClip);
}

} // namespace
