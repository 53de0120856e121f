// The call's mix on a real renderer: the limiter and talk-over on the port,
// and the meters' levels.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

#include "call_limiter.h"
#include "call_mix_rig.h"
#include "test_support.h"
#include "mix_law.h"
#include "talk_over.h"

namespace {

using namespace callmix;

// Full-scale square microphone and full-scale file: the law's sum nears full
// scale, which the limiter property keeps at its ceiling.
TEST(LimiterOnThePort, KeepsEverySampleAtTheCeiling)
{
    CCallMixRig rig(3000, 500, 1.0);
    g_object_set(rig.Renderer(), kCallLimiterProperty, TRUE, "balance", 0, "volume", kMaxVolume,
                 nullptr);
    ASSERT_TRUE(rig.Start("audiotestsrc is-live=true wave=square freq=100 volume=1.0"));
    ASSERT_TRUE(rig.Read(2500));
    EXPECT_LE(rig.LoudestSample(), CCallLimiter::kCeiling);
    EXPECT_GT(rig.LoudestSample(), CCallLimiter::kCeiling - 1000) << "the mix reached the port";
}

// A 2 kHz file under a 220 Hz voice: lowered by the depth within the attack,
// kept down between syllables, back after the release.
TEST(TalkOverOnThePort, LowersTheFileWhileTheMicrophoneCarriesSpeech)
{
    constexpr double kDepth = 12.0;
    const std::string strWav = testing::TempDir() + "talkover_" + std::to_string(getpid()) + ".wav";
    WriteSpeechWav(strWav, 2000, 2000, 8000);
    CCallMixRig rig(12000, 2000, 0.5);
    g_object_set(rig.Renderer(), kTalkOverProperty, TRUE, kTalkOverDepthProperty, kDepth, nullptr);
    ASSERT_TRUE(rig.Start(WavMicrophone(strWav)));
    ASSERT_TRUE(rig.Read(6500));
    std::remove(strWav.c_str());
    const TalkOverTimes times = MeasureTalkOver(rig.ToneDb(2000), rig.ToneDb(220), kDepth);
    ASSERT_GT(times.dAttackMs, -1) << "the file and then the voice reached the port";
    EXPECT_NEAR(times.dLoweredDb, times.dBaselineDb - kDepth, 0.5);
    // Each bound has one 10 ms window of slack on either side.
    EXPECT_LE(times.dAttackMs, 1000 * (CTalkOver::kBlockSeconds + CTalkOver::kAttackSeconds) + 20);
    EXPECT_LT(times.dLargestRiseDb, 1.0) << "no pumping between syllables";
    EXPECT_GE(times.dReleaseMs, 1000 * CTalkOver::kHoldSeconds) << "a slow release";
    EXPECT_LE(times.dReleaseMs, 1000 * (CTalkOver::kHoldSeconds + CTalkOver::kReleaseSeconds) + 20);
}

// A sine reads its peak and 3 dB under as RMS; the call hears it through the
// law (b 0, v 255: -6.07 dB).
TEST(Meters, ReadAKnownToneWithinOneDecibelAndMarkFullScale)
{
    struct Case {
        const char* pszMicrophone;
        double dPeakDb;
        bool bClip;
    };
    for (const auto& [pszMicrophone, dPeakDb, bClip] :
         {Case{"audiotestsrc is-live=true freq=1000 volume=0.5", -6.02, false},
          Case{"audiotestsrc is-live=true wave=square freq=100 volume=1.0", 0.0, true}}) {
        SCOPED_TRACE(pszMicrophone);
        CCallMixRig rig(1000, 500, 0.0);
        ASSERT_TRUE(rig.Start(pszMicrophone));
        CallLevels total;
        ASSERT_TRUE(rig.Read(400)); // the capture has settled: what came before is dropped
        ASSERT_TRUE(TakeCallLevels(rig.Renderer(), &total));
        ASSERT_TRUE(rig.Read(1000));
        ASSERT_TRUE(TakeCallLevels(rig.Renderer(), &total));
        ASSERT_GE(total.microphone.nBlocks, 10);
        EXPECT_NEAR(total.microphone.dPeakDb, dPeakDb, 1.0);
        EXPECT_NEAR(total.call.dPeakDb, dPeakDb - 6.07, 1.0);
        if (!bClip) { // a square's RMS is its peak
            EXPECT_NEAR(total.microphone.dRmsDb, dPeakDb - 3.01, 1.0);
            EXPECT_NEAR(total.call.dRmsDb, dPeakDb - 9.08, 1.0);
        }
        EXPECT_EQ(total.microphone.bClip, bClip);
        EXPECT_FALSE(total.call.bClip) << "the law halves the microphone";
    }
}

} // namespace
