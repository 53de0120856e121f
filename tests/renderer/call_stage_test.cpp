// What the call's mixes do around the mix law, in-process: the limiter, the
// talk-over gate and gain, and the two mixers with their stages in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "call_limiter.h"
#include "call_stage.h"
#include "mixer.h"
#include "talk_over.h"
#include "test_support.h"
#include "wide_mixer.h"

namespace {

std::vector<std::int16_t> Tone(std::size_t n, double dFrequency, double dAmplitude, int nRate)
{
    std::vector<std::int16_t> samples(n);
    for (std::size_t i = 0; i < n; ++i)
        samples[i] = static_cast<std::int16_t>(std::lrint(
            dAmplitude * 32767 * std::sin(2 * std::numbers::pi * dFrequency * i / nRate)));
    return samples;
}

std::vector<std::int16_t> Noise(std::size_t n, int nSeed)
{
    std::mt19937 random(static_cast<unsigned>(nSeed));
    std::vector<std::int16_t> samples(n);
    std::generate(samples.begin(), samples.end(),
                  [&] { return static_cast<std::int16_t>(random()); });
    return samples;
}

struct LawCase {
    int b, v;
    bool bLimiter;
};

// The port's mixer with a stage, over a queue of playback and a network that
// ends every send at once.
class StagedMixer : public testing::TestWithParam<LawCase> {
protected:
    std::vector<std::int16_t> Mix(const std::vector<std::int16_t>& playback,
                                  const std::vector<std::int16_t>& mic)
    {
        m_queue.Push(MakeBuffer(playback));
        m_mixer.FeedBlocks(mic.data(), static_cast<std::uint32_t>(mic.size() * 2));
        return m_sent;
    }

    CCallOptions m_options;
    CCallStage m_stage{16000, 1, m_options};
    CPlaybackQueue m_queue;
    CSendRing m_ring;
    CMixLevels m_levels;
    std::vector<std::int16_t> m_sent;
    CMixer m_mixer{m_queue,
                   m_ring,
                   m_levels,
                   [this](SendBlock& block) {
                       m_sent.insert(m_sent.end(), block.m_aData.begin(), block.m_aData.end());
                       block.Release();
                   },
                   [](int, std::uint32_t) {},
                   &m_stage};
};

// With every option at its default the stage is not there as far as the
// law is concerned; with the limiter on, only what crosses -1 dBFS changes
// (the law's loudest sums), and never up to full scale.
TEST_P(StagedMixer, DefaultsKeepTheLawBitExactAndTheLimiterOnlyTouchesTheLoudest)
{
    const auto [b, v, bLimiter] = GetParam();
    m_levels.SetBalance(b);
    m_levels.SetVolume(v);
    m_options.SetLimiter(bLimiter);
    const auto playback = Noise(2 * kBlockSamples, b), mic = Noise(2 * kBlockSamples, v);
    const auto sent = Mix(playback, mic);
    ASSERT_EQ(sent.size(), playback.size());
    bool bTouched = false;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const std::int16_t law = MixSample(playback[i], mic[i], b, v);
        if (!bLimiter) {
            ASSERT_EQ(sent[i], law) << i;
            continue;
        }
        ASSERT_LE(std::abs(sent[i]), CCallLimiter::kCeiling) << i;
        ASSERT_LE(std::abs(sent[i]), std::abs(law)) << i;
        ASSERT_EQ(sent[i] == 0, law == 0) << i;
        bTouched = bTouched || sent[i] != law;
    }
    EXPECT_EQ(bTouched, bLimiter && v == 255) << "only a mix that crosses the ceiling";
}

INSTANTIATE_TEST_SUITE_P(Levels, StagedMixer,
                         testing::Values(LawCase{0, 255, false}, LawCase{128, 255, false},
                                         LawCase{-127, 200, false}, LawCase{0, 255, true},
                                         LawCase{128, 255, true}, LawCase{37, 101, true}));

TEST(CallLimiter, PassesQuietAudioAndHoldsLoudAudioUnderTheCeilingOnEveryChannel)
{
    struct Case {
        int nChannels;
        double dAmplitude;
    };
    for (const auto& [nChannels, dAmplitude] :
         {Case{1, 0.5}, Case{1, 1.0}, Case{2, 0.85}, Case{2, 1.0}}) {
        SCOPED_TRACE(testing::Message() << nChannels << " channels at " << dAmplitude);
        CCallLimiter limiter(48000, nChannels);
        // Loud for a second, then quiet: the gain comes back to one exactly.
        auto loud = Tone(48000 * nChannels, 440, dAmplitude, 48000 * nChannels);
        auto quiet = Tone(72000 * nChannels, 440, 0.3, 48000 * nChannels);
        const auto quietIn = quiet;
        limiter.Process(loud.data(), 48000);
        limiter.Process(quiet.data(), 72000);
        const bool bLoud = dAmplitude * 32767 > CCallLimiter::kCeiling;
        const int nPeak = std::abs(*std::max_element(
            loud.begin(), loud.end(), [](int a, int c) { return std::abs(a) < std::abs(c); }));
        EXPECT_LE(nPeak, CCallLimiter::kCeiling);
        if (bLoud) {
            EXPECT_GE(nPeak, CCallLimiter::kCeiling - 2) << "held at the ceiling, not far below";
        }
        EXPECT_EQ(limiter.Gain(), 1.0);
        const std::size_t nSecond = 48000 * static_cast<std::size_t>(nChannels);
        EXPECT_TRUE(std::equal(quiet.begin() + nSecond, quiet.end(), quietIn.begin() + nSecond))
            << "a second after the loud part the quiet one passes untouched";
    }
}

// Speech-like bursts (syllables with short gaps) against a steady tone under
// the gate's threshold, at both mixing rates.
class TalkOver : public testing::TestWithParam<int> {
protected:
    // Follows the microphone in 10 ms pieces (as the mixers feed it);
    // returns each sample's gain in dB.
    std::vector<double> Follow(const std::vector<std::int16_t>& mic, bool bEnabled = true)
    {
        std::vector<double> gainsDb;
        std::vector<float> gains;
        const std::size_t nPiece = static_cast<std::size_t>(GetParam() / 100);
        for (std::size_t n = 0; n < mic.size(); n += nPiece) {
            const auto nFrames = static_cast<std::uint32_t>(std::min(nPiece, mic.size() - n));
            m_talkOver.Follow(mic.data() + n, nFrames, bEnabled, 12.0, gains);
            for (float fGain : gains)
                gainsDb.push_back(20 * std::log10(fGain));
        }
        return gainsDb;
    }
    std::size_t Ms(double dMs) const { return static_cast<std::size_t>(GetParam() * dMs / 1000); }
    // nMs of syllables: 180 ms of voice, 70 ms gap, at -20 dBFS.
    std::vector<std::int16_t> Speech(int nMs)
    {
        std::vector<std::int16_t> mic = Tone(Ms(nMs), 220, 0.14, GetParam());
        for (std::size_t i = 0; i < mic.size(); ++i)
            if (i % Ms(250) >= Ms(180))
                mic[i] = 0;
        return mic;
    }
    static void Append(std::vector<std::int16_t>& to, const std::vector<std::int16_t>& what)
    {
        to.insert(to.end(), what.begin(), what.end());
    }

    CTalkOver m_talkOver{GetParam()};
};

TEST_P(TalkOver, SpeechLowersThePlaybackFastAndSteadilyAndItComesBackSlowly)
{
    std::vector<std::int16_t> mic(Ms(500), 0);
    Append(mic, Speech(2000));
    Append(mic, std::vector<std::int16_t>(Ms(1500), 0));
    const auto gainsDb = Follow(mic);
    const std::size_t nStart = Ms(500), nEnd = Ms(2500) - Ms(70);
    EXPECT_EQ(gainsDb[nStart - 1], 0.0);
    const double dAttackMs = CTalkOver::kBlockSeconds * 1000 + CTalkOver::kAttackSeconds * 1000;
    EXPECT_NEAR(gainsDb[nStart + Ms(dAttackMs + 1)], -12.0, 1e-6) << "within the attack";
    for (std::size_t i = nStart + Ms(dAttackMs + 1); i < nEnd + Ms(200); ++i)
        ASSERT_NEAR(gainsDb[i], -12.0, 1e-6) << "no pumping between syllables, at " << i;
    const double dReleaseMs = CTalkOver::kHoldSeconds * 1000 + CTalkOver::kReleaseSeconds * 1000;
    EXPECT_LT(gainsDb[nEnd + Ms(dReleaseMs - 100)], -0.5) << "released slowly";
    EXPECT_EQ(gainsDb[nEnd + Ms(dReleaseMs + 20)], 0.0) << "and fully";
    double dLargestStep = 0;
    for (std::size_t i = 1; i < gainsDb.size(); ++i)
        dLargestStep = std::max(dLargestStep, std::abs(gainsDb[i] - gainsDb[i - 1]));
    EXPECT_LT(dLargestStep, 0.1) << "a smooth gain, no clicks";
}

TEST_P(TalkOver, QuietToneOrTalkOverOffChangesNothing)
{
    const auto quietTone = Tone(Ms(3000), 220, 0.01, GetParam()); // -43 dBFS RMS
    for (const double dGain : Follow(quietTone))
        ASSERT_EQ(dGain, 0.0);
    for (const double dGain : Follow(Speech(1000), false))
        ASSERT_EQ(dGain, 0.0);
}

INSTANTIATE_TEST_SUITE_P(Rates, TalkOver, testing::Values(16000, 48000));

// The wide mixer lowers the playback in the Voxreel microphone's mix, never
// the playback it hands to the local output.
TEST(WideStage, LowersTheMixButNotTheLocalOutput)
{
    CCallOptions options;
    options.SetTalkOver(true);
    CCallStage stage(CWideMixer::kRate, CWideMixer::kChannels, options);
    CPlaybackQueue queue(CWideMixer::kRate, CWideMixer::kChannels);
    CMixLevels levels;
    levels.SetBalance(kMaxBalance); // the playback alone in the mix
    CWideMixer mixer(
        queue, levels, [](int, std::uint32_t) {}, &stage);
    const auto playback = Tone(2 * 48000, 1000, 0.5, 2 * 48000);
    const auto mic = Tone(48000, 220, 0.2, 48000);
    queue.Push(MakeBuffer(playback));
    mixer.BeginTick(CPlaybackQueue::kNoPosition);
    mixer.Feed(mic.data(), static_cast<std::uint32_t>(mic.size() * 2));
    ASSERT_EQ(mixer.Mix().size(), playback.size());
    EXPECT_EQ(mixer.Playback(), playback);
    const auto peak = [](auto from, auto to) {
        return std::abs(
            *std::max_element(from, to, [](int a, int c) { return std::abs(a) < std::abs(c); }));
    };
    const int nHeard = peak(mixer.Mix().end() - 9600, mixer.Mix().end());
    const int nPlayed = peak(playback.end() - 9600, playback.end());
    EXPECT_NEAR(20 * std::log10(static_cast<double>(nHeard) / nPlayed), -12.0, 0.2);
}

} // namespace
