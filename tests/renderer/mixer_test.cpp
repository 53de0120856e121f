#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "capture_reader.h"
#include "capture_ring.h"
#include "mixer.h"
#include "tcp_server.h"
#include "test_support.h"
#include "voxreel/ids.h"

namespace {

struct MixCase {
    int p, m, b, v, out;
    friend std::ostream& operator<<(std::ostream& o, const MixCase& c)
    {
        return o << "p" << c.p << " m" << c.m << " b" << c.b << " v" << c.v;
    }
};

class MixLaw : public testing::TestWithParam<MixCase> {};

TEST_P(MixLaw, GivesTheWorkedValue)
{
    const MixCase c = GetParam();
    EXPECT_EQ(MixSample(static_cast<std::int16_t>(c.p), static_cast<std::int16_t>(c.m), c.b, c.v),
              c.out);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedValues, MixLaw,
    testing::Values(MixCase{1000, 0, 0, 255, 494}, MixCase{-1000, 0, 0, 255, -496},
                    MixCase{32767, 32767, 0, 255, 32511}, MixCase{1000, -7000, 128, 255, 992},
                    MixCase{-9000, 5000, -127, 255, 4960}, MixCase{-1, 0, 0, 255, -1},
                    MixCase{1, 0, 0, 255, 0}, MixCase{-32768, -32768, 0, 255, -32513},
                    MixCase{12345, 321, 40, 0, 0}));

// The vectorised loop, on aligned and on odd playback addresses, must agree
// with the law sample by sample.
TEST(MixSamples, MatchesTheLawOnEveryPathAndLevel)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(-32768, 32767);
    std::vector<std::int16_t> mic(1003), out(1003);
    std::vector<std::uint8_t> playback(2 * 1003 + 1);
    for (auto& s : mic)
        s = static_cast<std::int16_t>(value(random));
    for (auto& byte : playback)
        byte = static_cast<std::uint8_t>(value(random));
    for (const int offset : {0, 1}) {
        for (const auto& [b, v] : {std::pair{-127, 255}, {0, 255}, {128, 255}, {37, 101}, {0, 0}}) {
            MixSamples(out.data(), playback.data() + offset, mic.data(), 1003, b, v);
            for (std::size_t i = 0; i < out.size(); ++i) {
                std::int16_t p;
                std::memcpy(&p, playback.data() + offset + 2 * i, 2);
                ASSERT_EQ(out[i], MixSample(p, mic[i], b, v)) << i << " b=" << b << " v=" << v;
            }
        }
    }
}

std::vector<std::int16_t> Ramp(std::size_t n, int start, int step)
{
    std::vector<std::int16_t> samples(n);
    for (std::size_t i = 0; i < n; ++i)
        samples[i] = static_cast<std::int16_t>(start + step * static_cast<int>(i % 1000));
    return samples;
}

class Mixer : public testing::Test {
protected:
    void Feed(const std::vector<std::int16_t>& mic)
    {
        m_mixer.FeedBlocks(mic.data(), static_cast<std::uint32_t>(mic.size() * 2));
    }
    // Every sample placed so far: the blocks sent, then the one being filled.
    std::vector<std::int16_t> Output()
    {
        std::vector<std::int16_t> all;
        for (const auto& block : m_sent)
            all.insert(all.end(), block.begin(), block.end());
        const SendBlock& current = m_ring.Current();
        all.insert(all.end(), current.m_aData.begin(), current.m_aData.begin() + current.m_nFilled);
        return all;
    }

    CPlaybackQueue m_queue;
    CSendRing m_ring;
    CMixLevels m_levels;
    bool m_bHold = false; // keep submitted blocks in flight
    std::vector<std::vector<std::int16_t>> m_sent;
    std::vector<SendBlock*> m_held;
    CMixer m_mixer{m_queue, m_ring, m_levels,
                   [this](SendBlock& block) {
                       m_sent.emplace_back(block.m_aData.begin(), block.m_aData.end());
                       if (m_bHold)
                           m_held.push_back(&block);
                       else
                           block.Release();
                   },
                   [](int, std::uint32_t) {}};
};

TEST_F(Mixer, MicrophoneAloneGoesOutUntouchedByVolumeAndBalance)
{
    m_levels.SetBalance(64);
    m_levels.SetVolume(10);
    const auto mic = Ramp(3000, -20000, 37);
    Feed(mic);
    ASSERT_EQ(m_sent.size(), 1u);
    EXPECT_EQ(Output(), mic);
}

TEST_F(Mixer, QueueShorterThanTheTickIsLeftForLater)
{
    m_queue.Push(MakeBuffer(Ramp(1000, 100, 1)));
    const auto mic = Ramp(1600, 5000, -3);
    Feed(mic);
    EXPECT_EQ(Output(), mic);
    EXPECT_EQ(m_queue.Count(), 1000);
    m_queue.Push(MakeBuffer(Ramp(1000, 100, 1)));
    Feed(Ramp(1600, 0, 0));
    EXPECT_EQ(m_queue.Count(), 400) << "mixed once enough was queued";
}

TEST_F(Mixer, QueueRunningEmptySwitchesTheRestToMicrophone)
{
    const auto playback = Ramp(1500, 2000, 5);
    m_queue.Push(MakeBuffer(playback));
    const auto first = Ramp(1000, -300, 7), second = Ramp(1000, 900, -2);
    Feed(first); // the two regions of one tick
    Feed(second);
    const auto out = Output();
    ASSERT_EQ(out.size(), 2000u);
    for (std::size_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(out[i], MixSample(playback[i], first[i], 0, 255)) << i;
        ASSERT_EQ(out[1000 + i], second[i]) << i;
    }
    EXPECT_EQ(m_queue.Count(), 500);

    std::uint32_t cbProduced = 0;
    EXPECT_EQ(m_mixer.MixQueued(m_ring.Block(1), second.data(), 2000, &cbProduced), 1);
    EXPECT_EQ(cbProduced, 1000u) << "what was queued stands";
}

TEST_F(Mixer, LargeSampleIsConsumedAcrossTicks)
{
    const auto playback = Ramp(5000, -4000, 11);
    m_queue.Push(MakeBuffer(playback));
    m_levels.SetBalance(20);
    m_levels.SetVolume(200);
    std::vector<std::int16_t> mic;
    for (int tick = 0; tick < 3; ++tick) {
        const auto part = Ramp(1600, 300 * tick, 3);
        mic.insert(mic.end(), part.begin(), part.end());
        Feed(part);
    }
    const auto out = Output();
    ASSERT_EQ(out.size(), 4800u);
    for (std::size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(out[i], MixSample(playback[i], mic[i], 20, 200)) << i;
    EXPECT_EQ(m_queue.Count(), 200);
    EXPECT_EQ(m_queue.Entries(), 1u);
}

TEST_F(Mixer, BlockInFlightDropsTheRestOfTheTick)
{
    m_bHold = true;
    Feed(Ramp(5 * 2048, 1, 1)); // five blocks' worth in one region: at most four passes
    ASSERT_EQ(m_sent.size(), 4u);
    Feed(Ramp(1000, -5, 0));
    EXPECT_EQ(m_sent.size(), 4u);
    EXPECT_EQ(m_ring.Current().m_aData[0], 1) << "a block in flight is never written";
    m_held[0]->Release(); // block 0's send completes
    const auto mic = Ramp(1000, 7, 7);
    Feed(mic);
    EXPECT_EQ(m_ring.CurrentIndex(), 0);
    const auto out = Output();
    EXPECT_EQ(out.size(), 4 * kBlockSamples + mic.size()) << "block 0 is filled again";
    EXPECT_TRUE(std::equal(mic.begin(), mic.end(), out.end() - 1000));
}

TEST(MixerWithoutClient, DiscardsBlocksButConsumesPlayback)
{
    CPlaybackQueue queue;
    CSendRing ring;
    CMixLevels levels;
    CTcpServer server([](int, std::uint32_t) {});
    CMixer mixer(
        queue, ring, levels, [&](SendBlock& block) { server.Submit(block); },
        [](int, std::uint32_t) {});
    queue.Push(MakeBuffer(Ramp(4096, 1, 1)));
    const auto mic = Ramp(4096, 0, 0);
    mixer.FeedBlocks(mic.data(), 8192);
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_TRUE(ring.AllFree());
}

TEST(CaptureReader, WrappedRangeIsFedAsTwoRegionsInOrder)
{
    CCaptureRing ring;
    std::vector<std::vector<std::int16_t>> regions;
    CCaptureReader reader(ring, [&](const std::int16_t* p, std::uint32_t cb) {
        regions.emplace_back(p, p + cb / 2);
    });
    reader.OnPacingTick();
    EXPECT_TRUE(regions.empty()) << "nothing captured, nothing fed";
    const auto first = Ramp(15000, 0, 1), second = Ramp(2500, 500, -1);
    ring.Write(reinterpret_cast<const std::uint8_t*>(first.data()), 30000);
    reader.OnPacingTick();
    ring.Write(reinterpret_cast<const std::uint8_t*>(second.data()), 5000);
    reader.OnPacingTick();
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(regions[0], first);
    EXPECT_EQ(regions[1], std::vector<std::int16_t>(second.begin(), second.begin() + 1384));
    EXPECT_EQ(regions[2], std::vector<std::int16_t>(second.begin() + 1384, second.end()));
    EXPECT_EQ(reader.ReadOffset(), 2232u);
}

} // namespace
