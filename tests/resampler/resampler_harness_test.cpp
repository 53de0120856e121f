// The element driven through GstHarness: mixdown, ratio, block structure,
// timestamps, resets, refused inputs and the rate matrix.
#include <gtest/gtest.h>

#include <cmath>

#include "resample_filter.h"
#include "resampler_support.h"

namespace {

constexpr gsize kBlockBytes = 16000;

// Pushes each buffer (flagged as given), then end of stream, and returns
// everything that came out.
Output Convert(int nRate, int nChannels, const std::vector<Samples>& buffers,
               GstBufferFlags flags = GST_BUFFER_FLAG_LAST)
{
    CHarnessPtr pHarness = NewResampler(nRate, nChannels);
    for (std::size_t i = 0; i < buffers.size(); ++i) {
        GstBuffer* pBuffer = BufferFrom(buffers[i], i == 0 ? 0 : GST_CLOCK_TIME_NONE);
        if (i > 0 && flags != GST_BUFFER_FLAG_LAST)
            GST_BUFFER_FLAG_SET(pBuffer, flags);
        EXPECT_EQ(gst_harness_push(pHarness.get(), pBuffer), GST_FLOW_OK);
    }
    gst_harness_push_event(pHarness.get(), gst_event_new_eos());
    return PullAll(pHarness.get());
}

// Mono frames plus, for each extra channel, a signal that the mean cancels:
// channel 0 carries m + (n - 1) d, the others m - d.
Samples WithCancellingChannels(const Samples& mono, const Samples& other, int nChannels)
{
    Samples frames;
    for (std::size_t i = 0; i < mono.size(); ++i) {
        frames.push_back(static_cast<std::int16_t>(mono[i] + (nChannels - 1) * other[i]));
        for (int c = 1; c < nChannels; ++c)
            frames.push_back(static_cast<std::int16_t>(mono[i] - other[i]));
    }
    return frames;
}

class ResamplerMixdown : public testing::TestWithParam<int> {};

TEST_P(ResamplerMixdown, ConvertsTheMeanOfAllChannelsAtTheRatioTo16k)
{
    const int nChannels = GetParam();
    const std::size_t nFrames = 44100;
    const Samples mono = Tone(44100, 1, nFrames, 1000, 8000);
    const Samples other = Tone(44100, 1, nFrames, 3100, 2500);

    const Output mixed =
        Convert(44100, nChannels, {WithCancellingChannels(mono, other, nChannels)});
    const Output reference = Convert(44100, 1, {mono});

    EXPECT_EQ(mixed.samples, reference.samples);
    EXPECT_LE(mixed.samples.size(), 16000u);
    EXPECT_GT(mixed.samples.size(), 16000u - 300u);
}

INSTANTIATE_TEST_SUITE_P(Channels, ResamplerMixdown, testing::Values(2, 3, 6));

TEST(Resampler, SixteenKilohertzMonoGoesThroughTheConverterAndLags)
{
    const Samples input = Tone(16000, 1, 16000, 1000, 10000);
    const Output output = Convert(16000, 1, {input});

    ASSERT_LT(output.samples.size(), input.size());
    ASSERT_GT(output.samples.size(), input.size() - 400);
    // Past the onset, whose step the band limit smooths, output matches input
    // sample for sample: the converter holds back its tail, it adds no lag.
    int nMaxError = 0;
    for (std::size_t i = 500; i < output.samples.size(); ++i)
        nMaxError = std::max(nMaxError, std::abs(output.samples[i] - input[i]));
    EXPECT_LE(nMaxError, 2);
}

TEST(Resampler, BlocksAreFullButTheLastAndTheirTimesMeet)
{
    CHarnessPtr pHarness = NewResampler(44100, 2);
    const GstClockTime tStart = 3 * GST_SECOND;
    const Samples tone = Tone(44100, 2, 60000, 440, 9000);
    std::size_t nPushed = 0;
    for (std::size_t nFrames : {4097u, 1u, 20000u, 13u, 30000u}) {
        Samples part(tone.begin() + 2 * nPushed, tone.begin() + 2 * (nPushed + nFrames));
        ASSERT_EQ(gst_harness_push(pHarness.get(),
                                   BufferFrom(part, nPushed ? GST_CLOCK_TIME_NONE : tStart)),
                  GST_FLOW_OK);
        nPushed += nFrames;
    }
    // Less than one frame: nothing to convert, and no failure.
    const guint nQueued = gst_harness_buffers_in_queue(pHarness.get());
    GstBuffer* pScrap = gst_buffer_new_allocate(nullptr, 3, nullptr);
    gst_buffer_memset(pScrap, 0, 0x55, 3);
    EXPECT_EQ(gst_harness_push(pHarness.get(), pScrap), GST_FLOW_OK);
    EXPECT_EQ(gst_harness_buffers_in_queue(pHarness.get()), nQueued);
    gst_harness_push_event(pHarness.get(), gst_event_new_eos());

    const Output output = PullAll(pHarness.get());
    ASSERT_GE(output.blockBytes.size(), 2u);
    for (std::size_t i = 0; i + 1 < output.blockBytes.size(); ++i)
        EXPECT_EQ(output.blockBytes[i], kBlockBytes) << "block " << i;
    EXPECT_GE(output.blockBytes.back(), 2u);
    EXPECT_LT(output.blockBytes.back(), kBlockBytes);
    EXPECT_EQ(output.pts.front(), tStart);
    for (std::size_t i = 0; i + 1 < output.pts.size(); ++i)
        EXPECT_EQ(output.pts[i] + output.durations[i], output.pts[i + 1]) << "block " << i;
    EXPECT_EQ(output.pts.back() + output.durations.back(),
              tStart + gst_util_uint64_scale(output.samples.size(), GST_SECOND, 16000));
}

TEST(Resampler, DiscontinuityRestartsTheConverterButContinuesTheBlock)
{
    const Samples first = Tone(22050, 2, 30000, 700, 7000);
    const Samples second = Tone(22050, 2, 30000, 1900, 7000);

    Output apart = Convert(22050, 2, {first});
    const Output secondAlone = Convert(22050, 2, {second});
    apart.samples.insert(apart.samples.end(), secondAlone.samples.begin(),
                         secondAlone.samples.end());
    const Output joined = Convert(22050, 2, {first, second}, GST_BUFFER_FLAG_DISCONT);

    EXPECT_EQ(joined.samples, apart.samples);
    EXPECT_EQ(joined.blockBytes.front(), kBlockBytes);
}

// Flushing or stopping between two stretches of audio must leave no trace of
// the first: the output is what the second gives on a fresh element.
struct ResetCase {
    const char* pszName;
    void (*pReset)(GstHarness*);
};

class ResamplerReset : public testing::TestWithParam<ResetCase> {};

TEST_P(ResamplerReset, LeavesNoAudioFromBefore)
{
    const Samples before = Tone(48000, 2, 20000, 500, 12000);
    const Samples after = Tone(48000, 2, 30000, 2500, 6000);
    CHarnessPtr pHarness = NewResampler(48000, 2);
    ASSERT_EQ(gst_harness_push(pHarness.get(), BufferFrom(before, 0)), GST_FLOW_OK);
    ASSERT_EQ(gst_harness_buffers_in_queue(pHarness.get()), 0u); // all of it is pending
    GetParam().pReset(pHarness.get());
    ASSERT_EQ(gst_harness_push(pHarness.get(), BufferFrom(after, 0)), GST_FLOW_OK);
    gst_harness_push_event(pHarness.get(), gst_event_new_eos());

    const Output output = PullAll(pHarness.get());
    EXPECT_EQ(output.samples, Convert(48000, 2, {after}).samples);
    EXPECT_EQ(output.pts.front(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Resets, ResamplerReset,
    testing::Values(ResetCase{"Flush",
                              [](GstHarness* pHarness) {
                                  gst_harness_push_event(pHarness, gst_event_new_flush_start());
                                  gst_harness_push_event(pHarness, gst_event_new_flush_stop(TRUE));
                                  gst_harness_set_src_caps_str(pHarness, PcmCaps(48000, 2).c_str());
                              }},
                    ResetCase{"Restart",
                              [](GstHarness* pHarness) {
                                  gst_element_set_state(pHarness->element, GST_STATE_READY);
                                  gst_element_set_state(pHarness->element, GST_STATE_PLAYING);
                                  gst_harness_set_src_caps_str(pHarness, PcmCaps(48000, 2).c_str());
                              }}),
    [](const testing::TestParamInfo<ResetCase>& param) { return param.param.pszName; });

// Downstream that asks for a block size in its answer to the allocation query
// gets blocks of that size, in whole samples; one too small for a sample is
// refused.
struct BlockSizeCase {
    guint cbAsked;
    gsize cbExpected; // 0: negotiation fails
};

constexpr guint kInputSamples = 8000;

class ResamplerBlockSize : public testing::TestWithParam<BlockSizeCase> {};

GstPadProbeReturn AskForBlockSize(GstPad*, GstPadProbeInfo* pInfo, gpointer pData)
{
    GstQuery* pQuery = GST_PAD_PROBE_INFO_QUERY(pInfo);
    if (GST_QUERY_TYPE(pQuery) == GST_QUERY_ALLOCATION &&
        (GST_PAD_PROBE_INFO_TYPE(pInfo) & GST_PAD_PROBE_TYPE_PULL)) {
        while (gst_query_get_n_allocation_pools(pQuery) > 0)
            gst_query_remove_nth_allocation_pool(pQuery, 0);
        // Enough blocks that the harness can keep the whole output.
        const guint cbAsked = *static_cast<guint*>(pData);
        gst_query_add_allocation_pool(pQuery, nullptr, cbAsked, 2 * kInputSamples / cbAsked + 4, 0);
    }
    return GST_PAD_PROBE_OK;
}

TEST_P(ResamplerBlockSize, FollowsTheSizeDownstreamAsksFor)
{
    EnsureResamplerRegistered();
    BlockSizeCase param = GetParam();
    CHarnessPtr pHarness(gst_harness_new("callfeedresampler"));
    gst_harness_add_probe(pHarness.get(), "callfeedresampler", "src",
                          GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, AskForBlockSize, &param.cbAsked,
                          nullptr);
    gst_harness_set_src_caps_str(pHarness.get(), PcmCaps(16000, 1).c_str());
    const GstFlowReturn ret =
        gst_harness_push(pHarness.get(), BufferFrom(Tone(16000, 1, kInputSamples, 300, 5000)));
    if (param.cbExpected == 0) {
        EXPECT_EQ(ret, GST_FLOW_NOT_NEGOTIATED);
        return;
    }
    ASSERT_EQ(ret, GST_FLOW_OK);
    const Output output = PullAll(pHarness.get());
    ASSERT_FALSE(output.blockBytes.empty());
    for (gsize cbBlock : output.blockBytes)
        EXPECT_EQ(cbBlock, param.cbExpected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ResamplerBlockSize,
                         testing::Values(BlockSizeCase{4000, 4000}, BlockSizeCase{4001, 4000},
                                         BlockSizeCase{2, 2}, BlockSizeCase{1, 0}));

class ResamplerRefusal : public testing::TestWithParam<const char*> {};

TEST_P(ResamplerRefusal, RefusesTheInputAtNegotiation)
{
    EnsureResamplerRegistered();
    CHarnessPtr pHarness(gst_harness_new("callfeedresampler"));
    CCapsPtr pCaps(gst_caps_from_string(GetParam()));
    ASSERT_NE(pCaps, nullptr);
    GstPad* pSinkPad = gst_element_get_static_pad(pHarness->element, "sink");
    EXPECT_FALSE(gst_pad_query_accept_caps(pSinkPad, pCaps.get()));
    gst_object_unref(pSinkPad);
    gst_harness_push_event(pHarness.get(), gst_event_new_stream_start("refused"));
    gst_harness_push_event(pHarness.get(), gst_event_new_caps(pCaps.get()));
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_TIME);
    gst_harness_push_event(pHarness.get(), gst_event_new_segment(&segment));
    EXPECT_EQ(gst_harness_push(pHarness.get(), BufferFrom(Samples(64))), GST_FLOW_NOT_NEGOTIATED);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ResamplerRefusal,
    testing::Values("audio/x-raw,format=U8,layout=interleaved,rate=44100,channels=2",
                    "audio/x-raw,format=F32LE,layout=interleaved,rate=44100,channels=2",
                    "audio/x-raw,format=S16LE,layout=non-interleaved,rate=44100,channels=2",
                    "audio/x-raw,format=S24_32LE,layout=interleaved,rate=44100,channels=2",
                    "audio/x-raw,format=S16BE,layout=interleaved,rate=44100,channels=2",
                    "audio/x-raw,format=S16LE,layout=interleaved,rate=0,channels=2",
                    "audio/x-raw,format=S16LE,layout=interleaved,rate=40,channels=1",
                    "audio/x-raw,format=S16LE,layout=interleaved,rate=44100,channels=0"));

TEST(ResamplerInputType, RefusesFormatsThatWouldDivideByZeroOrMisreadFrames)
{
    WAVEFORMATEX wfx{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    EXPECT_EQ(CResampleFilter::CheckInputType(wfx), S_OK);
    for (auto mutate :
         {+[](WAVEFORMATEX& w) { w.nBlockAlign = 0; }, +[](WAVEFORMATEX& w) { w.nBlockAlign = 2; },
          +[](WAVEFORMATEX& w) { w.nSamplesPerSec = 0; },
          +[](WAVEFORMATEX& w) { w.wFormatTag = WAVE_FORMAT_EXTENSIBLE; }}) {
        WAVEFORMATEX bad = wfx;
        mutate(bad);
        EXPECT_EQ(CResampleFilter::CheckInputType(bad), S_FALSE);
    }
}

struct RateCase {
    int nRate;
    int nChannels;
};

class ResamplerRates : public testing::TestWithParam<RateCase> {};

TEST_P(ResamplerRates, OneSecondBecomesOneSecondOfTheSameTone)
{
    const auto [nRate, nChannels] = GetParam();
    const double dAmplitude = 10000;
    const Output output =
        Convert(nRate, nChannels, {Tone(nRate, nChannels, nRate, 440, dAmplitude)});

    EXPECT_LE(output.samples.size(), 16000u);
    EXPECT_GT(output.samples.size(), 16000u - 400u);
    const double dExpected = dAmplitude * (nChannels + 1) / (2.0 * nChannels);
    const double dMeasured = ToneAmplitude(output.samples, 2000, 8000, 440, 16000);
    EXPECT_NEAR(20 * std::log10(dMeasured / dExpected), 0.0, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Matrix, ResamplerRates,
                         testing::Values(RateCase{8000, 1}, RateCase{11025, 2}, RateCase{22050, 1},
                                         RateCase{44100, 2}, RateCase{48000, 2}, RateCase{96000, 1},
                                         RateCase{96000, 2}, RateCase{12347, 2},
                                         RateCase{16000, 2}));

} // namespace
