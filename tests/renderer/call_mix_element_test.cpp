// The call's mix on a real renderer: the limiter and talk-over on the port,
// and the meters' levels.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "call_limiter.h"
#include "call_mix_rig.h"
#include "test_support.h"
#include "mix_law.h"
#include "talk_over.h"

namespace {

using namespace callmix;

// The meters' levels over the port's first nMs, less the first 400 ms (while
// the capture settles).
CallLevels SettledLevels(CCallMixRig& rig, int nMs)
{
    CallLevels levels;
    EXPECT_TRUE(rig.Read(400) && TakeCallLevels(rig.Renderer(), &levels));
    EXPECT_TRUE(rig.Read(nMs) && TakeCallLevels(rig.Renderer(), &levels));
    EXPECT_GE(levels.microphone.nBlocks, 10);
    return levels;
}

// Full-scale square microphone over a full-scale file: the microphone's meter
// marks full scale; the law's sum nears it, which the limiter property holds
// at its ceiling on the port and on the call's meter.
TEST(LimiterOnThePort, KeepsEverySampleAtTheCeilingAndTheMetersMarkFullScale)
{
    CCallMixRig rig(3000, 500, 1.0);
    g_object_set(rig.Renderer(), kCallLimiterProperty, TRUE, "balance", 0, "volume", kMaxVolume,
                 nullptr);
    ASSERT_TRUE(rig.Start("audiotestsrc is-live=true wave=square freq=100 volume=1.0"));
    const CallLevels levels = SettledLevels(rig, 2500);
    EXPECT_LE(rig.LoudestSample(), CCallLimiter::kCeiling);
    EXPECT_GT(rig.LoudestSample(), CCallLimiter::kCeiling - 1000) << "the mix reached the port";
    EXPECT_NEAR(levels.microphone.dPeakDb, 0.0, 1.0);
    EXPECT_TRUE(levels.microphone.bClip);
    EXPECT_NEAR(levels.call.dPeakDb, 20 * std::log10(CCallLimiter::kCeiling / 32768.0), 1.0);
    EXPECT_FALSE(levels.call.bClip);
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
TEST(Meters, ReadAKnownToneWithinOneDecibel)
{
    CCallMixRig rig(3000, 500, 0.0); // playing throughout: the law applies
    ASSERT_TRUE(rig.Start("audiotestsrc is-live=true freq=1000 volume=0.5"));
    const CallLevels levels = SettledLevels(rig, 1400);
    EXPECT_NEAR(levels.microphone.dPeakDb, -6.02, 1.0);
    EXPECT_NEAR(levels.microphone.dRmsDb, -6.02 - 3.01, 1.0);
    EXPECT_NEAR(levels.call.dPeakDb, -6.02 - 6.07, 1.0);
    EXPECT_NEAR(levels.call.dRmsDb, -6.02 - 9.08, 1.0);
    EXPECT_FALSE(levels.microphone.bClip || levels.call.bClip);
}

} // namespace
