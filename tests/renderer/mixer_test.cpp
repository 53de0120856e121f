#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "capture_reader.h"
#include "capture_ring.h"
#include "mixer.h"
#include "test_support.h"
#include "wide_mixer.h"

namespace {

TEST(MixLaw, GivesTheWorkedValues)
{
    using Case = std::array<int, 5>; // playback, microphone, balance, volume, result
    for (const auto& [p, m, b, v, out] :
         {Case{1000, 0, 0, 255, 494}, Case{-1000, 0, 0, 255, -496},
          Case{32767, 32767, 0, 255, 32511}, Case{1000, -7000, 128, 255, 992},
          Case{-9000, 5000, -127, 255, 4960}, Case{-1, 0, 0, 255, -1}, Case{1, 0, 0, 255, 0},
          Case{-32768, -32768, 0, 255, -32513}})
        EXPECT_EQ(MixSample(static_cast<std::int16_t>(p), static_cast<std::int16_t>(m), b, v), out)
            << p << " " << m << " b=" << b << " v=" << v;
}

// The vectorised loop, on aligned and on odd playback addresses, must agree
// with the law sample by sample.
TEST(MixSamples, MatchesTheLawOnEveryPathAndLevel)
{
    std::mt19937 random(7);
    std::vector<std::int16_t> mic(1003), playback(1003), out(1003);
    const auto next = [&] { return static_cast<std::int16_t>(random()); };
    std::generate(mic.begin(), mic.end(), next);
    std::generate(playback.begin(), playback.end(), next);
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

std::vector<std::int16_t> Ramp(std::size_t n, int start, int step)
{
    std::vector<std::int16_t> samples(n);
    for (std::size_t i = 0; i < n; ++i)
        samples[i] = static_cast<std::int16_t>(start + step * static_cast<int>(i));
    return samples;
}

class Mixer : public testing::Test {
protected:
    void Feed(const std::vector<std::int16_t>& mic)
    {
        m_mixer.FeedBlocks(mic.data(), static_cast<std::uint32_t>(mic.size() * 2));
    }

    CPlaybackQueue m_queue;
    CSendRing m_ring;
    CMixLevels m_levels;
    std::vector<std::int16_t> m_sent; // every block submitted, in order
    // What the network does with a submitted block: by default its send ends at once.
    std::function<void(SendBlock&)> m_network = [](SendBlock& block) { block.Release(); };
    CMixer m_mixer{m_queue, m_ring, m_levels,
                   [this](SendBlock& block) {
                       m_sent.insert(m_sent.end(), block.m_aData.begin(), block.m_aData.end());
                       m_network(block);
                   },
                   [](int, std::uint32_t) {}};
};

// Four regions of one block each against 5000 queued samples: the first two
// are mixed and leave the sample's rest queued, the third finds too little
// and goes out as microphone alone, whatever the levels; more playback then
// lets the fourth mix across the boundary of two queued samples.
TEST_F(Mixer, MixesOnlyWhileTheQueueCoversTheRegion)
{
    m_levels.SetBalance(20);
    m_levels.SetVolume(200);
    const auto playback = Ramp(6200, -4000, 11); // queued as 5000 samples, later 1200 more
    m_queue.Push(MakeBuffer({playback.begin(), playback.begin() + 5000}));
    std::vector<std::int16_t> mic;
    for (int region = 0; region < 4; ++region) {
        if (region == 3)
            m_queue.Push(MakeBuffer({playback.begin() + 5000, playback.end()}));
        const auto part = Ramp(kBlockSamples, 300 * region, 3);
        mic.insert(mic.end(), part.begin(), part.end());
        Feed(part);
    }
    ASSERT_EQ(m_sent.size(), 4 * kBlockSamples);
    for (std::size_t i = 0, p = 0; i < m_sent.size(); ++i) {
        const bool bMixed = i < 2 * kBlockSamples || i >= 3 * kBlockSamples;
        ASSERT_EQ(m_sent[i], bMixed ? MixSample(playback[p++], mic[i], 20, 200) : mic[i]) << i;
    }
    EXPECT_EQ(m_queue.Count(), 56);
}

// The hold of a paused element: the microphone goes out alone and the queue
// keeps its place, including an entry the mixer had in hand at the hold.
TEST_F(Mixer, HeldQueueSendsTheMicrophoneAloneAndKeepsItsPlace)
{
    const auto playback = Ramp(4096, 1, 3), mic = Ramp(kBlockSamples, -50, 1);
    m_queue.Push(MakeBuffer(playback));
    std::optional<TakenSample> taken = m_queue.TakeFront();
    m_queue.SetHeld(true);
    taken->m_entry.m_nConsumed = 100;
    m_queue.Return(std::move(*taken), 100);
    EXPECT_FALSE(m_queue.TakeFront()) << "held: the mixer takes nothing new";
    Feed(mic);
    EXPECT_EQ(m_queue.Count(), 3996);
    m_queue.SetHeld(false);
    Feed(mic);
    ASSERT_EQ(m_sent.size(), 2 * kBlockSamples);
    for (std::size_t i = 0; i < kBlockSamples; ++i) {
        ASSERT_EQ(m_sent[i], mic[i]) << i;
        ASSERT_EQ(m_sent[kBlockSamples + i], MixSample(playback[100 + i], mic[i], 0, 255)) << i;
    }
}

TEST_F(Mixer, QueueRunningEmptyEndsTheMixWithWhatWasQueued)
{
    m_queue.Push(MakeBuffer(Ramp(500, 1, 1)));
    const auto mic = Ramp(1000, 0, 0);
    std::uint32_t cbProduced = 0;
    EXPECT_EQ(m_mixer.MixQueued(m_ring.Current(), mic.data(), 2000, &cbProduced), 1);
    EXPECT_EQ(cbProduced, 1000u) << "what was queued stands";
}

// The last samples of a stream, fewer than a region: heard whole once the
// queue is ended, the microphone alone after them; not taken before.
TEST_F(Mixer, EndedQueueMixesATailShorterThanTheRegion)
{
    const auto tail = Ramp(700, 5, 2), mic = Ramp(kBlockSamples, -9, 1);
    m_queue.Push(MakeBuffer(tail));
    Feed(mic);
    EXPECT_EQ(m_queue.Count(), 700) << "not ended: a short queue waits for more";
    m_queue.SetEnded();
    Feed(mic);
    ASSERT_EQ(m_sent.size(), 2 * kBlockSamples);
    for (std::size_t i = 0; i < kBlockSamples; ++i)
        ASSERT_EQ(m_sent[kBlockSamples + i], i < 700 ? MixSample(tail[i], mic[i], 0, 255) : mic[i])
            << i;
    EXPECT_EQ(m_queue.Count(), 0);
    m_queue.Push(MakeBuffer(tail));
    EXPECT_FALSE(m_queue.IsEnded()) << "more data: not ended any more";
}

CBufferPtr Timed(const std::vector<std::int16_t>& samples, GstClockTime tStart)
{
    CBufferPtr pBuffer = MakeBuffer(samples);
    GST_BUFFER_PTS(pBuffer.get()) = tStart;
    return pBuffer;
}

// The position is the buffer time the mixer has reached within the entry it
// used last, whatever took the samples; a flush forgets it.
TEST(PlaybackQueue, PositionFollowsWhatIsTakenAndAFlushForgetsIt)
{
    CPlaybackQueue call, wide(48000, 2);
    call.Push(Timed(Ramp(1600, 0, 0), 2 * GST_SECOND));
    call.Push(Timed(Ramp(1600, 0, 0), 2 * GST_SECOND + 100 * GST_MSECOND));
    wide.Push(Timed(Ramp(9600, 0, 0), GST_SECOND));
    EXPECT_EQ(call.Position(), CPlaybackQueue::kNoPosition);
    using Case = std::tuple<CPlaybackQueue*, std::int32_t, std::int64_t>;
    for (const auto& [pQueue, nSkip, nPosition] :
         {Case{&call, 800, 2050 * GST_MSECOND}, Case{&call, 1600, 2150 * GST_MSECOND},
          Case{&wide, 4800, 1050 * GST_MSECOND}, Case{&wide, 9600, 1100 * GST_MSECOND}}) {
        pQueue->Skip(nSkip);
        EXPECT_EQ(pQueue->Position(), nPosition) << nSkip;
    }
    call.Flush();
    EXPECT_EQ(call.Position(), CPlaybackQueue::kNoPosition);
    call.Push(MakeBuffer(Ramp(100, 0, 0)));
    call.Skip(50);
    EXPECT_EQ(call.Position(), CPlaybackQueue::kNoPosition) << "no timestamp, no position";
}

// The wide mixer, tick by tick: the call's law per channel with the mono
// microphone on both, the microphone alone where the queue does not cover
// the region, an ended queue's short tail, and the playback alone beside it.
class WideMixer : public testing::Test {
protected:
    // Stereo playback whose left and right channels differ.
    static std::vector<std::int16_t> Stereo(std::size_t nFrames, int nStart)
    {
        std::vector<std::int16_t> samples(2 * nFrames);
        for (std::size_t i = 0; i < nFrames; ++i) {
            samples[2 * i] = static_cast<std::int16_t>(nStart + 3 * static_cast<int>(i));
            samples[2 * i + 1] = static_cast<std::int16_t>(-nStart - 5 * static_cast<int>(i));
        }
        return samples;
    }
    void Tick(const std::vector<std::int16_t>& mic,
              std::int64_t nCallStart = CPlaybackQueue::kNoPosition)
    {
        m_mixer.BeginTick(nCallStart);
        m_mixer.Feed(mic.data(), static_cast<std::uint32_t>(2 * mic.size()));
    }

    CPlaybackQueue m_queue{48000, 2};
    CMixLevels m_levels;
    CWideMixer m_mixer{m_queue, m_levels, [](int, std::uint32_t) {}};
};

TEST_F(WideMixer, MixesEachChannelByTheLawAndKeepsThePlaybackBeside)
{
    m_levels.SetBalance(-40);
    m_levels.SetVolume(180);
    const auto mic = Ramp(4800, 100, 7);
    const auto playback = Stereo(7000, 1000);
    m_queue.Push(MakeBuffer({playback.begin(), playback.begin() + 6000}));
    m_queue.Push(MakeBuffer({playback.begin() + 6000, playback.end()}));
    struct Case {
        bool bEnded;
        std::size_t nMixedFrames; // from the start of the tick
        std::size_t nFrom;        // first playback frame used
    };
    for (const Case& expected : {Case{false, 4800, 0}, Case{false, 0, 0}, Case{true, 2200, 4800}}) {
        if (expected.bEnded)
            m_queue.SetEnded();
        Tick(mic);
        const auto& mix = m_mixer.Mix();
        ASSERT_EQ(mix.size(), 2 * mic.size());
        ASSERT_EQ(m_mixer.Playback().size(), 2 * expected.nMixedFrames);
        for (std::size_t i = 0; i < mic.size(); ++i)
            for (std::size_t c = 0; c < 2; ++c) {
                const std::size_t p = 2 * (expected.nFrom + i) + c;
                const std::int16_t want =
                    i < expected.nMixedFrames ? MixSample(playback[p], mic[i], -40, 180) : mic[i];
                ASSERT_EQ(mix[2 * i + c], want) << i << " " << c;
                if (i < expected.nMixedFrames) {
                    ASSERT_EQ(m_mixer.Playback()[2 * i + c], playback[p]);
                }
            }
    }
    EXPECT_EQ(m_queue.Count(), 0);
}

// Kept in step with the call's mixer by time: lagging, it skips ahead;
// leading, the microphone goes out alone until the call catches up; within
// the tolerance nothing changes.
TEST_F(WideMixer, FollowsTheCallsPositionBeyondTheTolerance)
{
    const auto mic = Ramp(14400, 1, 0);
    const auto playback = Stereo(48000, 0);
    // The call's start against the wide mixer's 1.1 s; frames of microphone
    // alone; the first playback frame used. Two capture buffers of jitter
    // (about 43 ms) lie well inside the tolerance.
    using Case = std::tuple<std::int64_t, std::size_t, std::size_t>;
    for (const auto& [nCallStart, nAlone, nFirst] :
         {Case{1230 * GST_MSECOND, 0, 4800}, Case{970 * GST_MSECOND, 0, 4800},
          Case{1300 * GST_MSECOND, 0, 14400}, Case{900 * GST_MSECOND, 9600, 4800}}) {
        m_queue.Flush();
        m_queue.Push(Timed(playback, GST_SECOND));
        m_queue.Skip(2 * 4800);
        Tick(mic, nCallStart);
        const auto& mix = m_mixer.Mix();
        const auto& used = m_mixer.Playback();
        ASSERT_EQ(used.size(), 2 * (14400 - nAlone)) << nCallStart;
        EXPECT_EQ(used[0], playback[2 * nFirst]) << nCallStart;
        EXPECT_TRUE(std::all_of(mix.begin(), mix.begin() + 2 * static_cast<long>(nAlone),
                                [](std::int16_t n) { return n == 1; }));
    }
}

TEST_F(Mixer, BlockInFlightDropsTheRestOfTheTick)
{
    m_network = [](SendBlock&) {};       // every send stays pending
    Feed(Ramp(5 * kBlockSamples, 1, 1)); // five blocks' worth in one region: at most four pass
    ASSERT_EQ(m_sent.size(), 4 * kBlockSamples);
    Feed(Ramp(1000, -5, 0));
    EXPECT_EQ(m_ring.Current().m_aData[0], 1) << "a block in flight is never written";
    m_ring.Block(0).Release(); // block 0's send completes
    const auto mic = Ramp(1000, 7, 7);
    Feed(mic);
    EXPECT_EQ(m_ring.Current().m_nFilled, 1000u) << "block 0 is filled again";
    EXPECT_TRUE(std::equal(mic.begin(), mic.end(), m_ring.Current().m_aData.begin()));
}

TEST_F(Mixer, WithoutClientBlocksAreDiscardedButPlaybackIsConsumed)
{
    CTcpServer server([](int, std::uint32_t) {}); // never started: no client
    m_network = [&](SendBlock& block) { server.Submit(block); };
    m_queue.Push(MakeBuffer(Ramp(4096, 1, 1)));
    Feed(Ramp(4096, 0, 0));
    EXPECT_EQ(m_queue.Count(), 0);
    EXPECT_TRUE(m_ring.AllFree());
}

// A flush while the mixer holds entries (one used in part, one it could not
// map): neither comes back, and neither takes samples off the zeroed count.
TEST(PlaybackQueue, AFlushWhileTheMixerHoldsEntriesDropsThem)
{
    CPlaybackQueue queue;
    queue.Push(MakeBuffer(Ramp(1000, 1, 1)));
    queue.Push(MakeBuffer(Ramp(1000, 1, 1)));
    std::optional<TakenSample> used = queue.TakeFront(), broken = queue.TakeFront();
    queue.Flush();
    queue.Push(MakeBuffer(Ramp(500, 1, 1)));
    used->m_entry.m_nConsumed = 300;
    queue.Return(std::move(*used), 300);
    queue.Discard(std::move(*broken), 1000);
    EXPECT_EQ(queue.Count(), 500);
    EXPECT_EQ(queue.QueuedSamples(), 500);
}

// Held (paused), the queue lets go of upstream's pool: with a pool of two
// buffers both queued, upstream can still get one for the sink's preroll,
// and the samples wait unchanged.
TEST(PlaybackQueue, HeldQueueGivesUpstreamItsBuffersBack)
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
    std::optional<TakenSample> front = queue.TakeFront();
    ASSERT_TRUE(front);
    guint8 nByte = 0;
    gst_buffer_extract(front->m_entry.m_pSample.get(), 1999, &nByte, 1);
    EXPECT_EQ(nByte, 11);
    EXPECT_EQ(queue.Count(), 2000);
    gst_buffer_pool_set_active(pPool.get(), FALSE);
}

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
    // The second write laps the ring's end: its first 1384 samples fill it up.
    const std::vector<std::vector<std::int16_t>> expected{
        first, {second.begin(), second.begin() + 1384}, {second.begin() + 1384, second.end()}};
    EXPECT_EQ(regions, expected);
    EXPECT_EQ(reader.ReadOffset(), 2232u);
}

} // namespace
