// The element through GstHarness: mixdown, ratio, blocks, times, resets,
// block sizes, refused inputs and a rate matrix.
#include <gtest/gtest.h>

#include <cmath>

#include "resampler_support.h"

namespace {

constexpr gsize kBlockBytes = 16000;

// Pushes the buffers (all but the first flagged with flags), then end of
// stream, and returns everything that came out.
Output Convert(int nRate, int nChannels, const std::vector<Samples>& buffers, int flags = 0)
{
    CHarnessPtr pHarness = NewResampler(nRate, nChannels);
    for (std::size_t i = 0; i < buffers.size(); ++i) {
        GstBuffer* pBuffer = BufferFrom(buffers[i], i == 0 ? 0 : GST_CLOCK_TIME_NONE);
        GST_BUFFER_FLAGS(pBuffer) |= i == 0 ? 0 : flags;
        EXPECT_EQ(gst_harness_push(pHarness.get(), pBuffer), GST_FLOW_OK);
    }
    gst_harness_push_event(pHarness.get(), gst_event_new_eos());
    return PullAll(pHarness.get());
}

class ResamplerMixdown : public testing::TestWithParam<int> {};

// Channel 0 carries m + (n - 1) d and the others m - d: the mean is exactly m,
// so the output must equal the mono conversion of m, bit for bit.
TEST_P(ResamplerMixdown, ConvertsTheMeanOfAllChannelsAtTheRatioTo16k)
{
    const int nChannels = GetParam();
    const Samples mono = Tone(44100, 1, 44100, 1000, 8000);
    const Samples other = Tone(44100, 1, 44100, 3100, 2500);
    Samples frames;
    for (std::size_t i = 0; i < mono.size(); ++i)
        for (int c = 0; c < nChannels; ++c)
            frames.push_back(
                static_cast<std::int16_t>(mono[i] + (c == 0 ? nChannels - 1 : -1) * other[i]));

    const Output mixed = Convert(44100, nChannels, {frames});
    EXPECT_EQ(mixed.samples, Convert(44100, 1, {mono}).samples);
    EXPECT_LE(mixed.samples.size(), 16000u);
    EXPECT_GT(mixed.samples.size(), 16000u - 300u);
}

INSTANTIATE_TEST_SUITE_P(Channels, ResamplerMixdown, testing::Values(2, 3, 6));

TEST(Resampler, SixteenKilohertzMonoGoesThroughTheConverterAndLags)
{
    const Samples input = Tone(16000, 1, 16000, 1000, 10000);
    const Output output = Convert(16000, 1, {input});
    // The converter holds back its tail; past the onset, which the band limit
    // smooths, what it gives matches the input sample for sample.
    ASSERT_LT(output.samples.size(), input.size());
    ASSERT_GT(output.samples.size(), input.size() - 400);
    for (std::size_t i = 500; i < output.samples.size(); ++i)
        ASSERT_NEAR(output.samples[i], input[i], 2) << i;
}

TEST(Resampler, BlocksAreFullButTheLastAndTheirTimesMeet)
{
    CHarnessPtr pHarness = NewResampler(44100, 2);
    const GstClockTime tStart = 3 * GST_SECOND;
    const Samples tone = Tone(44100, 2, 60000, 440, 9000);
    std::size_t nDone = 0;
    for (std::size_t nFrames : {4097u, 1u, 20000u, 13u, 30000u}) {
        const Samples part(tone.begin() + 2 * nDone, tone.begin() + 2 * (nDone + nFrames));
        GstBuffer* pBuffer = BufferFrom(part, nDone ? GST_CLOCK_TIME_NONE : tStart);
        ASSERT_EQ(gst_harness_push(pHarness.get(), pBuffer), GST_FLOW_OK);
        nDone += nFrames;
    }
    const guint nQueued = gst_harness_buffers_in_queue(pHarness.get());
    EXPECT_EQ(gst_harness_push(pHarness.get(), gst_buffer_new_allocate(nullptr, 3, nullptr)),
              GST_FLOW_OK); // less than one frame: nothing, and no failure
    EXPECT_EQ(gst_harness_buffers_in_queue(pHarness.get()), nQueued);
    gst_harness_push_event(pHarness.get(), gst_event_new_eos());

    const Output out = PullAll(pHarness.get());
    ASSERT_GE(out.blockBytes.size(), 2u);
    for (std::size_t i = 0; i + 1 < out.blockBytes.size(); ++i)
        EXPECT_EQ(out.blockBytes[i], kBlockBytes) << "block " << i;
    EXPECT_GE(out.blockBytes.back(), 2u);
    EXPECT_EQ(out.pts.front(), tStart);
    for (std::size_t i = 0; i + 1 < out.pts.size(); ++i)
        EXPECT_EQ(out.pts[i] + out.durations[i], out.pts[i + 1]) << "block " << i;
    EXPECT_EQ(out.pts.back() + out.durations.back(),
              tStart + gst_util_uint64_scale(out.samples.size(), GST_SECOND, 16000));
}

TEST(Resampler, DiscontinuityRestartsTheConverterButContinuesTheBlock)
{
    const Samples first = Tone(22050, 2, 30000, 700, 7000);
    const Samples second = Tone(22050, 2, 30000, 1900, 7000);
    Samples apart = Convert(22050, 2, {first}).samples;
    const Samples secondAlone = Convert(22050, 2, {second}).samples;
    apart.insert(apart.end(), secondAlone.begin(), secondAlone.end());

    const Output joined = Convert(22050, 2, {first, second}, GST_BUFFER_FLAG_DISCONT);
    EXPECT_EQ(joined.samples, apart);
    EXPECT_EQ(joined.blockBytes.front(), kBlockBytes);
}

// A flush or a stop between two stretches of audio leaves no trace of the
// first, which is still pending in a part-filled block when it comes.
class ResamplerReset : public testing::TestWithParam<bool> {};

TEST_P(ResamplerReset, LeavesNoAudioFromBefore)
{
    const bool bFlush = GetParam();
    const Samples after = Tone(48000, 2, 30000, 2500, 6000);
    CHarnessPtr pHarness = NewResampler(48000, 2);
    GstHarness* h = pHarness.get();
    ASSERT_EQ(gst_harness_push(h, BufferFrom(Tone(48000, 2, 20000, 500, 12000), 0)), GST_FLOW_OK);
    ASSERT_EQ(gst_harness_buffers_in_queue(h), 0u);
    if (bFlush) {
        gst_harness_push_event(h, gst_event_new_flush_start());
        gst_harness_push_event(h, gst_event_new_flush_stop(TRUE));
    } else {
        gst_element_set_state(h->element, GST_STATE_READY);
        gst_element_set_state(h->element, GST_STATE_PLAYING);
    }
    gst_harness_set_src_caps_str(h, PcmCaps(48000, 2).c_str());
    ASSERT_EQ(gst_harness_push(h, BufferFrom(after, 0)), GST_FLOW_OK);
    gst_harness_push_event(h, gst_event_new_eos());
    EXPECT_EQ(PullAll(h).samples, Convert(48000, 2, {after}).samples);
}

INSTANTIATE_TEST_SUITE_P(FlushOrStop, ResamplerReset, testing::Bool());

// Downstream asks for a block size through the allocation query.
class ResamplerBlockSize : public testing::TestWithParam<std::pair<guint, gsize>> {};

GstPadProbeReturn AskForBlockSize(GstPad*, GstPadProbeInfo* pInfo, gpointer pSize)
{
    GstQuery* pQuery = GST_PAD_PROBE_INFO_QUERY(pInfo);
    if (GST_QUERY_TYPE(pQuery) == GST_QUERY_ALLOCATION &&
        (GST_PAD_PROBE_INFO_TYPE(pInfo) & GST_PAD_PROBE_TYPE_PULL))
        gst_query_add_allocation_pool(pQuery, nullptr, *static_cast<guint*>(pSize), 8, 0);
    return GST_PAD_PROBE_OK;
}

TEST_P(ResamplerBlockSize, FillsBlocksOfWholeSamplesOrRefusesTooSmallOnes)
{
    auto [cbAsked, cbExpected] = GetParam(); // 0: refused
    EnsureResamplerRegistered();
    CHarnessPtr pHarness(gst_harness_new("callfeedresampler"));
    gst_harness_add_probe(pHarness.get(), "callfeedresampler", "src",
                          GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, AskForBlockSize, &cbAsked, nullptr);
    gst_harness_set_src_caps_str(pHarness.get(), PcmCaps(16000, 1).c_str());
    const GstFlowReturn ret =
        gst_harness_push(pHarness.get(), BufferFrom(Tone(16000, 1, 8000, 300, 5000)));
    EXPECT_EQ(ret, cbExpected ? GST_FLOW_OK : GST_FLOW_NOT_NEGOTIATED);
    for (gsize cbBlock : PullAll(pHarness.get()).blockBytes)
        EXPECT_EQ(cbBlock, cbExpected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ResamplerBlockSize,
                         testing::Values(std::pair<guint, gsize>{4001, 4000},
                                         std::pair<guint, gsize>{1, 0}));

class ResamplerRefusal : public testing::TestWithParam<const char*> {};

TEST_P(ResamplerRefusal, RefusesTheInputAtNegotiation)
{
    EnsureResamplerRegistered();
    CHarnessPtr pHarness(gst_harness_new("callfeedresampler"));
    gst_harness_push_event(pHarness.get(), gst_event_new_stream_start("refused"));
    GstCaps* pCaps = gst_caps_from_string(GetParam());
    gst_harness_push_event(pHarness.get(), gst_event_new_caps(pCaps));
    gst_caps_unref(pCaps);
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_TIME);
    gst_harness_push_event(pHarness.get(), gst_event_new_segment(&segment));
    EXPECT_EQ(gst_harness_push(pHarness.get(), BufferFrom(Samples(64))), GST_FLOW_NOT_NEGOTIATED);
}

// 8-bit, float, planar and padded ("extensible") samples; rates of 0 and
// below the converter's range; no channels.
INSTANTIATE_TEST_SUITE_P(
    Inputs, ResamplerRefusal,
    testing::Values("audio/x-raw,format=U8,layout=interleaved,rate=44100,channels=2",
                    "audio/x-raw,format=F32LE,layout=interleaved,rate=44100,channels=2",
                    "audio/x-raw,format=S16LE,layout=non-interleaved,rate=44100,channels=2",
                    "audio/x-raw,format=S24_32LE,layout=interleaved,rate=44100,channels=2",
                    "audio/x-raw,format=S16LE,layout=interleaved,rate=0,channels=2",
                    "audio/x-raw,format=S16LE,layout=interleaved,rate=40,channels=1",
                    "audio/x-raw,format=S16LE,layout=interleaved,rate=44100,channels=0"));

class ResamplerRates : public testing::TestWithParam<std::pair<int, int>> {};

// A 1 kHz tone keeps its frequency and level: all of its amplitude is found
// at exactly 1 kHz.
TEST_P(ResamplerRates, OneSecondBecomesOneSecondOfTheSameTone)
{
    const auto [nRate, nChannels] = GetParam();
    const Output out = Convert(nRate, nChannels, {Tone(nRate, nChannels, nRate, 1000, 10000)});
    EXPECT_LE(out.samples.size(), 16000u);
    EXPECT_GT(out.samples.size(), 16000u - 400u);
    const double dExpected = 10000.0 * (nChannels + 1) / (2 * nChannels);
    EXPECT_NEAR(20 * std::log10(ToneAmplitude(out.samples, 2000, 8000, 1000) / dExpected), 0, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Matrix, ResamplerRates,
                         testing::Values(std::pair{8000, 1}, std::pair{11025, 2},
                                         std::pair{22050, 1}, std::pair{44100, 2},
                                         std::pair{48000, 2}, std::pair{96000, 1},
                                         std::pair{12347, 2}));

} // namespace
