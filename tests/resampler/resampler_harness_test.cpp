// The element through GstHarness: length, mixdown, tone level and stop band,
// blocks and times, resets and refused inputs.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

#include "resampler_support.h"
#include "tone_frames.h"

namespace {

using callreport::ToneAmplitude;
constexpr GstClockTime kStart = 3 * GST_SECOND;

// Pushes the samples in pieces of uneven size, the first stamped kStart, with
// a buffer shorter than a frame after the first (nothing comes of it, and no
// failure), then end of stream; returns everything that came out.
Output Convert(int nRate, int nChannels, const Samples& samples)
{
    CHarnessPtr pHarness = NewResampler(PcmCaps(nRate, nChannels));
    GstHarness* h = pHarness.get();
    const std::size_t nFrames = samples.size() / nChannels;
    std::size_t nDone = 0; // frames
    for (std::size_t nPiece : {std::size_t{4097}, std::size_t{1}, std::size_t{13}, nFrames}) {
        nPiece = std::min(nPiece, nFrames - nDone);
        const Samples part(samples.begin() + nDone * nChannels,
                           samples.begin() + (nDone + nPiece) * nChannels);
        EXPECT_EQ(gst_harness_push(h, BufferFrom(part, nDone ? GST_CLOCK_TIME_NONE : kStart)),
                  GST_FLOW_OK);
        if (nDone == 0) {
            const guint nQueued = gst_harness_buffers_in_queue(h);
            GstBuffer* pShort = gst_buffer_new_allocate(nullptr, 2 * nChannels - 1, nullptr);
            EXPECT_EQ(gst_harness_push(h, pShort), GST_FLOW_OK);
            EXPECT_EQ(gst_harness_buffers_in_queue(h), nQueued);
        }
        nDone += nPiece;
    }
    gst_harness_push_event(h, gst_event_new_eos());
    return PullAll(h);
}

class ResamplerRates : public testing::TestWithParam<std::pair<int, int>> {};

// A second of a 1 kHz tone that ends at its peak keeps its length, to the
// sample, as a tone whose whole amplitude, the mean of all channels', sits
// at 1 kHz; the last millisecond is the tone's own end, not a cut short of it.
TEST_P(ResamplerRates, KeepLengthFrequencyMeanLevelAndEnd)
{
    const auto [nRate, nChannels] = GetParam();
    const int nFrames = nRate + nRate / 4000; // a quarter period more
    const Output out = Convert(nRate, nChannels, Tone(nRate, nChannels, nFrames, 1000, 10000));
    EXPECT_NEAR(static_cast<double>(out.samples.size()), 16000.0 * nFrames / nRate, 1);
    const double dMean = 10000.0 * (nChannels + 1) / (2 * nChannels);
    EXPECT_NEAR(20 *
                    std::log10(ToneAmplitude(out.samples.data() + 2000, 8000, 16000, 1000) / dMean),
                0, 0.05);
    double dError = 0, dPower = 0;
    for (std::size_t n = out.samples.size() - 16; n < out.samples.size(); ++n) {
        const double dIdeal = dMean * std::sin(2 * std::numbers::pi * 1000 * n / 16000.0);
        dError += (out.samples[n] - dIdeal) * (out.samples[n] - dIdeal);
        dPower += dIdeal * dIdeal;
    }
    EXPECT_LT(std::sqrt(dError / dPower), 0.25); // one sample out of step gives 0.39
    // Every block but the last is full, and their times meet from the first buffer's.
    for (std::size_t i = 0; i + 1 < out.pts.size(); ++i) {
        EXPECT_EQ(out.blockBytes[i], 16000u) << "block " << i;
        EXPECT_EQ(out.pts[i] + out.durations[i], out.pts[i + 1]) << "block " << i;
    }
    EXPECT_EQ(out.pts.back() + out.durations.back(),
              kStart + gst_util_uint64_scale(out.samples.size(), GST_SECOND, 16000));
}

INSTANTIATE_TEST_SUITE_P(Matrix, ResamplerRates,
                         testing::Values(std::pair{8000, 1}, std::pair{11025, 2},
                                         std::pair{16000, 1}, std::pair{44100, 6},
                                         std::pair{44100, 2}, std::pair{12347, 2}));

TEST(Resampler, SuppressesTonesAboveEightKilohertzBy90Decibels)
{
    for (double dHz : {9000.0, 12000.0, 20000.0}) {
        const Samples out = Convert(44100, 1, Tone(44100, 1, 88200, dHz, 29000)).samples;
        ASSERT_GE(out.size(), 20000u);
        const double dFolded = std::abs(dHz - 16000 * std::round(dHz / 16000));
        const double dLeak =
            std::max(ToneAmplitude(out.data() + 4000, 16000, 16000, dFolded), 1e-9);
        EXPECT_GE(20 * std::log10(29000 / dLeak), 90.0) << dHz << " Hz folds to " << dFolded;
    }
}

// A discontinuity writes out the converter's tail and restarts it, but
// continues the part-filled block and the timeline; a flush or a stop drops
// both, so nothing from before comes out after, and the next block's time
// starts again from the new segment: the buffer's own time, else the
// segment's start.
enum class Break { Discontinuity, Flush, Stop };
class ResamplerBreak : public testing::TestWithParam<Break> {};

TEST_P(ResamplerBreak, RestartsTheConverterAndTheTimeline)
{
    const Break kind = GetParam();
    const Samples before = Tone(48000, 2, 30000, 500, 12000); // a block and a part
    const Samples after = Tone(48000, 2, 30000, 2500, 6000);
    CHarnessPtr pHarness = NewResampler(PcmCaps(48000, 2));
    GstHarness* h = pHarness.get();
    ASSERT_EQ(gst_harness_push(h, BufferFrom(before, 0)), GST_FLOW_OK);
    Output out = PullAll(h);
    ASSERT_EQ(out.blockBytes.size(), 1u);
    GstBuffer* pAfter =
        BufferFrom(after, kind == Break::Stop ? 7 * GST_SECOND : GST_CLOCK_TIME_NONE);
    Samples expected = Convert(48000, 2, before).samples;
    if (kind == Break::Discontinuity) {
        GST_BUFFER_FLAG_SET(pAfter, GST_BUFFER_FLAG_DISCONT);
    } else {
        expected.resize(8000);
        if (kind == Break::Flush) {
            gst_harness_push_event(h, gst_event_new_flush_start());
            gst_harness_push_event(h, gst_event_new_flush_stop(TRUE));
        } else {
            gst_element_set_state(h->element, GST_STATE_READY);
            gst_element_set_state(h->element, GST_STATE_PLAYING);
        }
        GstSegment segment;
        gst_segment_init(&segment, GST_FORMAT_TIME);
        segment.start = segment.time = segment.position = 7 * GST_SECOND;
        gst_harness_set_src_caps(h, gst_pad_get_current_caps(h->srcpad));
        gst_harness_push_event(h, gst_event_new_segment(&segment));
    }
    ASSERT_EQ(gst_harness_push(h, pAfter), GST_FLOW_OK);
    gst_harness_push_event(h, gst_event_new_eos());
    const Samples afterAlone = Convert(48000, 2, after).samples;
    expected.insert(expected.end(), afterAlone.begin(), afterAlone.end());
    out = PullAll(h, std::move(out));
    EXPECT_EQ(out.samples, expected);
    EXPECT_EQ(out.blockBytes[1], 16000u);
    EXPECT_EQ(out.pts[1],
              kind == Break::Discontinuity ? out.pts[0] + out.durations[0] : 7 * GST_SECOND);
}

INSTANTIATE_TEST_SUITE_P(DiscontinuityFlushOrStop, ResamplerBreak,
                         testing::Values(Break::Discontinuity, Break::Flush, Break::Stop));

// Downstream's block size is honoured in whole samples and one too small for
// a sample is refused, as are float and planar samples, rates below the
// converter's range, and no channels.
TEST(Resampler, NegotiatesBlockSizeAndRefusesUnusableInputs)
{
    const char* pszUsable = "format=S16LE,layout=interleaved,rate=16000,channels=1";
    for (auto [pszCaps, cbAsked, cbExpected] :
         {// cbExpected 0: refused
          std::tuple<const char*, guint, gsize>{pszUsable, 4001, 4000},
          {pszUsable, 1, 0},
          {"format=F32LE,layout=interleaved,rate=44100,channels=2", 0, 0},
          {"format=S16LE,layout=interleaved,rate=40,channels=1", 0, 0}}) {
        CHarnessPtr pHarness = NewResampler(std::string("audio/x-raw,") + pszCaps, true, cbAsked);
        EXPECT_EQ(gst_harness_push(pHarness.get(), BufferFrom(Tone(16000, 1, 8000, 300, 5000))),
                  cbExpected ? GST_FLOW_OK : GST_FLOW_NOT_NEGOTIATED)
            << pszCaps << " in blocks of " << cbAsked;
        for (gsize cbBlock : PullAll(pHarness.get()).blockBytes)
            EXPECT_EQ(cbBlock, cbExpected);
    }
}

} // namespace
