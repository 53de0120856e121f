// The mixing in-process: the law, the port's and the wide mixer with their
// stages, the playback queue they take from and the capture ring's reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

#include "call_limiter.h"
#include "call_stage.h"
#include "capture_reader.h"
#include "capture_ring.h"
#include "mixer.h"
#include "talk_over.h"
#include "test_support.h"
#include "wide_mixer.h"

namespace {

std::vector<std::int16_t> Ramp(std::size_t n, int start, int step)
{
    std::vector<std::int16_t> samples(n);
    for (std::size_t i = 0; i < n; ++i)
        samples[i] = static_cast<std::int16_t>(start + step * static_cast<int>(i));
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

std::vector<std::int16_t> Tone(std::size_t n, double dFrequency, double dAmplitude, int nRate)
{
    std::vector<std::int16_t> samples(n);
    for (std::size_t i = 0; i < n; ++i)
        samples[i] = static_cast<std::int16_t>(std::lrint(
            dAmplitude * 32767 * std::sin(2 * std::numbers::pi * dFrequency * i / nRate)));
    return samples;
}

template <class It> int Peak(It from, It to)
{
    return std::abs(
        *std::max_element(from, to, [](int a, int c) { return std::abs(a) < std::abs(c); }));
}

TEST(MixLaw, GivesTheWorkedValues)
{
    using Case = std::array<int, 5>; // playback, microphone, balance, volume, result
    for (const auto& [p, m, b, v, out] :
         {Case{1000, -7000, 128, 255, 992}, Case{-9000, 5000, -127, 255, 4960},
          Case{1000, 0, 0, 128, 248}, Case{-1, 0, 0, 255, -1}, Case{1, 0, 0, 255, 0},
          Case{32767, 32767, 0, 255, 32511}, Case{-32768, -32768, 0, 255, -32513}})
        EXPECT_EQ(MixSample(static_cast<std::int16_t>(p), static_cast<std::int16_t>(m), b, v), out)
            << p << " " << m << " b=" << b << " v=" << v;
}

// The vectorised loop, on aligned and odd playback addresses, agrees with the law.
TEST(MixSamples, MatchesTheLawOnEveryPathAndLevel)
{
    const auto mic = Noise(1003, 7), playback = Noise(1003, 8);
    std::vector<std::int16_t> out(1003);
    std::vector<std::uint8_t> bytes(2 * 1003 + 1);
    for (const int offset : {0, 1}) {
        std::memcpy(bytes.data() + offset, playback.data(), 2 * 1003);
        for (const auto& [b, v] : {std::pair{-127, 255}, {0, 255}, {128, 255}, {37, 101}, {0, 0}}) {
            MixSamples(out.data(), bytes.data() + offset, mic.data(), 1003, b, v);
            for (std::size_t i = 0; i < out.size(); ++i)
                ASSERT_EQ(out[i], MixSample(playback[i], mic[i], b, v))
                    << i << " b=" << b << " v=" << v;
        }
    }
}

class Mixer : public testing::Test {
protected:
    void Feed(const std::vector<std::int16_t>& mic)
    {
        m_mixer.FeedBlocks(mic.data(), static_cast<std::uint32_t>(mic.size() * 2));
    }

    CCallOptions m_options;
    CCallStage m_stage{16000, 1, m_options};
    CPlaybackQueue m_queue;
    CSendRing m_ring;
    CMixLevels m_levels;
    std::vector<std::int16_t> m_sent; // every block submitted, in order
    // What the network does with a submitted block: by default its send ends at once.
    SubmitFn m_network = [](SendBlock& block) { block.Release(); };
    SubmitFn m_submit = [this](SendBlock& block) {
        m_sent.insert(m_sent.end(), block.m_aData.begin(), block.m_aData.end());
        m_network(block);
    };
    CMixer m_mixer{m_queue, m_ring, m_levels, m_submit, [](int, std::uint32_t) {}, &m_stage};
};

// Held, the microphone goes out alone and the queue keeps its place (an entry
// in hand included); a region the queue does not cover goes out as microphone
// alone until more playback (mixed across two queued samples) or the queue's
// end (its short tail heard whole).
TEST_F(Mixer, MixesOnlyWhatTheQueueCoversAndKeepsItsPlaceWhileHeld)
{
    m_levels.SetBalance(20);
    m_levels.SetVolume(200);
    const auto playback = Ramp(6000, -4000, 3), mic = Ramp(kBlockSamples, -50, 1);
    m_queue.Push(MakeBuffer({playback.begin(), playback.begin() + 4096}));
    std::optional<TakenSample> taken = m_queue.TakeFront();
    m_queue.SetHeld(true);
    taken->m_entry.m_nConsumed = 100;
    m_queue.Return(std::move(*taken), 100);
    EXPECT_FALSE(m_queue.TakeFront()) << "held: the mixer takes nothing new";
    Feed(mic);
    EXPECT_EQ(m_queue.Count(), 3996);
    m_queue.SetHeld(false);
    Feed(mic);
    Feed(mic);
    EXPECT_EQ(m_queue.Count(), 1948) << "not ended: a short queue waits for more";
    m_queue.Push(MakeBuffer({playback.begin() + 4096, playback.end()}));
    Feed(mic);
    m_queue.SetEnded();
    Feed(mic);
    ASSERT_EQ(m_sent.size(), 5 * kBlockSamples);
    const std::size_t nFirst[] = {0, 100, 0, 2148, 4196}; // per region; 0: microphone alone
    for (std::size_t r = 0; r < 5; ++r)
        for (std::size_t i = 0; i < kBlockSamples; ++i) {
            const std::size_t p = nFirst[r] + i;
            const bool bMixed = nFirst[r] > 0 && p < playback.size();
            ASSERT_EQ(m_sent[r * kBlockSamples + i],
                      bMixed ? MixSample(playback[p], mic[i], 20, 200) : mic[i])
                << "region " << r << ", " << i;
        }
    EXPECT_EQ(m_queue.Count(), 0);
    m_queue.Push(MakeBuffer(playback));
    EXPECT_FALSE(m_queue.IsEnded()) << "more data: not ended any more";
}

TEST_F(Mixer, BlockInFlightDropsTheRestOfTheTick)
{
    m_network = [](SendBlock&) {};       // every send stays pending
    Feed(Ramp(5 * kBlockSamples, 1, 1)); // five blocks' worth in one region: at most four pass
    ASSERT_EQ(m_sent.size(), 4 * kBlockSamples);
    Feed(Ramp(1000, -5, 0));
    EXPECT_EQ(m_ring.Current().m_aData[0], 1) << "a block in flight is never written";
}

// Held, the queue gives upstream's pool back (for the sink's preroll), its
// samples waiting unchanged; entries the mixer holds across a flush (one used
// in part, one unmappable) neither come back nor take samples off the count.
TEST(PlaybackQueue, HeldQueueGivesUpstreamItsBuffersBackAndAFlushDropsTakenEntries)
{
    CBufferPoolPtr pPool(gst_buffer_pool_new());
    GstStructure* pConfig = gst_buffer_pool_get_config(pPool.get());
    gst_buffer_pool_config_set_params(pConfig, nullptr, 2000, 2, 2);
    ASSERT_TRUE(gst_buffer_pool_set_config(pPool.get(), pConfig));
    ASSERT_TRUE(gst_buffer_pool_set_active(pPool.get(), TRUE));
    const auto acquire = [&] {
        GstBuffer* pBuffer = nullptr;
        GstBufferPoolAcquireParams params{};
        params.flags = GST_BUFFER_POOL_ACQUIRE_FLAG_DONTWAIT;
        gst_buffer_pool_acquire_buffer(pPool.get(), &pBuffer, &params);
        return CBufferPtr(pBuffer);
    };
    CPlaybackQueue queue;
    for (std::int16_t nValue : {11, 22}) {
        CBufferPtr pBuffer = acquire();
        ASSERT_TRUE(pBuffer);
        gst_buffer_memset(pBuffer.get(), 0, static_cast<guint8>(nValue), 2000);
        queue.Push(std::move(pBuffer));
    }
    EXPECT_FALSE(acquire()); // playing: the queue holds the whole pool
    queue.SetHeld(true);
    EXPECT_TRUE(acquire()); // held: the pool is free again
    queue.SetHeld(false);
    std::optional<TakenSample> used = queue.TakeFront();
    ASSERT_TRUE(used);
    guint8 nByte = 0;
    gst_buffer_extract(used->m_entry.m_pSample.get(), 1999, &nByte, 1);
    EXPECT_EQ(nByte, 11);
    EXPECT_EQ(queue.Count(), 2000);
    std::optional<TakenSample> broken = queue.TakeFront();
    queue.Flush();
    queue.Push(MakeBuffer(Ramp(500, 1, 1)));
    used->m_entry.m_nConsumed = 300;
    queue.Return(std::move(*used), 300);
    queue.Discard(std::move(*broken), 1000);
    EXPECT_EQ(queue.Count(), 500);
    EXPECT_EQ(queue.QueuedSamples(), 500);
    gst_buffer_pool_set_active(pPool.get(), FALSE);
}

class WideMixer : public testing::Test {
protected:
    void Tick(const std::vector<std::int16_t>& mic,
              std::int64_t nCallStart = CPlaybackQueue::kNoPosition)
    {
        m_mixer.BeginTick(nCallStart);
        m_mixer.Feed(mic.data(), static_cast<std::uint32_t>(2 * mic.size()));
    }

    CCallOptions m_options;
    CCallStage m_stage{CWideMixer::kRate, CWideMixer::kChannels, m_options};
    CPlaybackQueue m_queue{48000, 2};
    CMixLevels m_levels;
    CWideMixer m_mixer{m_queue, m_levels, [](int, std::uint32_t) {}, &m_stage};
};

// The law per channel with the mono microphone on both, the microphone alone
// where the queue falls short, an ended queue's tail, and the playback beside.
TEST_F(WideMixer, MixesEachChannelByTheLawAndKeepsThePlaybackBeside)
{
    m_levels.SetBalance(-40);
    m_levels.SetVolume(180);
    const auto mic = Ramp(4800, 100, 7);
    const auto playback = Noise(2 * 7000, 3); // stereo, its channels differing
    m_queue.Push(MakeBuffer({playback.begin(), playback.begin() + 6000}));
    m_queue.Push(MakeBuffer({playback.begin() + 6000, playback.end()}));
    // Whether the queue has ended; frames mixed from the tick's start; the
    // first playback frame used.
    using Case = std::tuple<bool, std::size_t, std::size_t>;
    for (const auto& [bEnded, nMixedFrames, nFrom] :
         {Case{false, 4800, 0}, Case{false, 0, 0}, Case{true, 2200, 4800}}) {
        if (bEnded)
            m_queue.SetEnded();
        Tick(mic);
        const auto& mix = m_mixer.Mix();
        ASSERT_EQ(mix.size(), 2 * mic.size());
        ASSERT_EQ(m_mixer.Playback().size(), 2 * nMixedFrames);
        for (std::size_t i = 0; i < mic.size(); ++i)
            for (std::size_t c = 0; c < 2; ++c) {
                const std::size_t p = 2 * (nFrom + i) + c;
                const bool bMixed = i < nMixedFrames;
                ASSERT_EQ(mix[2 * i + c],
                          bMixed ? MixSample(playback[p], mic[i], -40, 180) : mic[i])
                    << i << " " << c;
                ASSERT_TRUE(!bMixed || m_mixer.Playback()[2 * i + c] == playback[p]) << i;
            }
    }
    EXPECT_EQ(m_queue.Count(), 0);
}

// Kept in step with the call's mixer: lagging it skips ahead, leading it
// sends the microphone alone; within the tolerance nothing changes.
TEST_F(WideMixer, FollowsTheCallsPositionBeyondTheTolerance)
{
    const auto mic = Ramp(14400, 1, 0);
    const auto playback = Noise(2 * 48000, 4);
    // The call's start against the wide mixer's 1.1 s; frames of microphone
    // alone; the first playback frame used.
    using Case = std::tuple<std::int64_t, std::size_t, std::size_t>;
    for (const auto& [nCallStart, nAlone, nFirst] :
         {Case{1230 * GST_MSECOND, 0, 4800}, Case{970 * GST_MSECOND, 0, 4800},
          Case{1300 * GST_MSECOND, 0, 14400}, Case{900 * GST_MSECOND, 9600, 4800}}) {
        m_queue.Flush();
        CBufferPtr pBuffer = MakeBuffer(playback);
        GST_BUFFER_PTS(pBuffer.get()) = GST_SECOND;
        m_queue.Push(std::move(pBuffer));
        m_queue.Skip(2 * 4800);
        Tick(mic, nCallStart);
        const auto& mix = m_mixer.Mix();
        const auto& used = m_mixer.Playback();
        ASSERT_EQ(used.size(), 2 * (14400 - nAlone)) << nCallStart;
        EXPECT_TRUE(std::equal(used.begin(), used.begin() + 16,
                               playback.begin() + 2 * static_cast<long>(nFirst)))
            << nCallStart;
        EXPECT_TRUE(std::all_of(mix.begin(), mix.begin() + 2 * static_cast<long>(nAlone),
                                [](std::int16_t n) { return n == 1; }));
    }
}

// Talk-over lowers the playback in the mix, never that of the local output.
TEST_F(WideMixer, TalkOverLowersTheMixButNotTheLocalOutput)
{
    m_options.SetTalkOver(true);
    m_levels.SetBalance(kMaxBalance); // the playback alone in the mix
    const auto playback = Tone(2 * 48000, 1000, 0.5, 2 * 48000);
    m_queue.Push(MakeBuffer(playback));
    Tick(Tone(48000, 220, 0.2, 48000));
    ASSERT_EQ(m_mixer.Mix().size(), playback.size());
    EXPECT_EQ(m_mixer.Playback(), playback);
    const int nHeard = Peak(m_mixer.Mix().end() - 9600, m_mixer.Mix().end());
    const int nPlayed = Peak(playback.end() - 9600, playback.end());
    EXPECT_NEAR(20 * std::log10(static_cast<double>(nHeard) / nPlayed), -12.0, 0.2);
}

// Through the call's stage: off, loud audio passes untouched; on, it is held
// just under the ceiling on every channel while audio below it is never
// touched, and a second after the loud part a quiet one passes untouched.
TEST(CallLimiter, HoldsLoudAudioUnderTheCeilingOnlyWhenOn)
{
    for (const auto& [nChannels, dAmplitude, bOn] :
         {std::tuple{1, 1.0, true}, {2, 0.85, true}, {2, 1.0, true}, {2, 1.0, false}}) {
        SCOPED_TRACE(testing::Message() << nChannels << " channels at " << dAmplitude);
        CCallOptions options;
        options.SetLimiter(bOn);
        CCallStage stage(48000, nChannels, options);
        auto loud = Tone(48000 * nChannels, 440, dAmplitude, 48000 * nChannels);
        auto quiet = Tone(72000 * nChannels, 440, 0.3, 48000 * nChannels);
        const auto loudIn = loud, quietIn = quiet;
        stage.Finish(loud.data(), 48000);
        stage.Finish(quiet.data(), 72000);
        if (bOn && dAmplitude * 32767 > CCallLimiter::kCeiling) {
            EXPECT_LE(Peak(loud.begin(), loud.end()), CCallLimiter::kCeiling);
            EXPECT_GE(Peak(loud.begin(), loud.end()), CCallLimiter::kCeiling - 2)
                << "held at the ceiling, not far below";
        } else {
            EXPECT_EQ(loud, loudIn) << "untouched";
        }
        const std::size_t nSecond = 48000 * static_cast<std::size_t>(nChannels);
        EXPECT_TRUE(std::equal(quiet.begin() + nSecond, quiet.end(), quietIn.begin() + nSecond))
            << "a second after the loud part the quiet one passes untouched";
    }
}

// At both rates, in 10 ms pieces: speech lowers the playback fast and
// steadily, releases it slowly; a quiet tone or talk-over off changes nothing.
class TalkOver : public testing::TestWithParam<int> {
protected:
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
    CTalkOver m_talkOver{GetParam()};
};

TEST_P(TalkOver, SpeechLowersThePlaybackAQuietToneDoesNot)
{
    const auto gainsDb = Follow(callmix::Speech(GetParam(), 500, 2000, 1500));
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

    const auto quietTone = Tone(Ms(3000), 220, 0.01, GetParam()); // -43 dBFS RMS
    for (const auto& gains :
         {Follow(quietTone), Follow(callmix::Speech(GetParam(), 0, 1000, 0), false)})
        EXPECT_TRUE(std::all_of(gains.begin(), gains.end(), [](double d) { return d == 0.0; }))
            << "a quiet tone, then talk-over off";
}

INSTANTIATE_TEST_SUITE_P(Rates, TalkOver, testing::Values(16000, 48000));

TEST(CaptureReader, WrappedRangeIsFedAsTwoRegionsInOrder)
{
    CCaptureRing ring;
    std::vector<std::vector<std::int16_t>> regions;
    CCaptureReader reader(ring, [&](const std::int16_t* p, std::uint32_t cb) {
        regions.emplace_back(p, p + cb / 2);
    });
    reader.OnPacingTick(); // nothing captured yet, nothing fed
    const auto first = Ramp(15000, 0, 1), second = Ramp(2500, 500, -1);
    ring.Write(reinterpret_cast<const std::uint8_t*>(first.data()), 30000);
    reader.OnPacingTick();
    ring.Write(reinterpret_cast<const std::uint8_t*>(second.data()), 5000);
    reader.OnPacingTick();
    // The second write laps the ring's end after 1384 samples.
    const std::vector<std::vector<std::int16_t>> expected{
        first, {second.begin(), second.begin() + 1384}, {second.begin() + 1384, second.end()}};
    EXPECT_EQ(regions, expected);
    EXPECT_EQ(reader.ReadOffset(), 2232u);
}

} // namespace
