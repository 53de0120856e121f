// The call mix's state shared between threads: the level board between the
// pacing thread and the window's reader, the options between the control
// thread and the mixing stage.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "call_stage.h"
#include "level_board.h"

namespace {

// Blocks published with rising peaks while a reader takes them: every take
// sees them in order, none twice, and the last one is taken in the end.
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

// The control thread switches the options while the stage mixes: each
// frame sees one value or the other, and the stage stays within its bounds.
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
