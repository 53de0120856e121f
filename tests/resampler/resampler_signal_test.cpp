// Real signals through real pipelines: stop-band suppression,
// and generated WAV, MP3 and WMA files decoded and converted end to end.
#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numeric>

#include "resampler_support.h"

namespace {

// Runs a pipeline to its end; with bCollect its last element is "appsink
// name=out", and what reaches it is returned.
Output RunPipeline(const std::string& description, bool bCollect = true)
{
    EnsureResamplerRegistered();
    Output output;
    GError* pError = nullptr;
    GstElement* pPipeline = gst_parse_launch(description.c_str(), &pError);
    EXPECT_EQ(pError, nullptr) << description;
    g_clear_error(&pError);
    GstBus* pBus = gst_element_get_bus(pPipeline);
    GstAppSink* pSink =
        bCollect ? GST_APP_SINK(gst_bin_get_by_name(GST_BIN(pPipeline), "out")) : nullptr;
    gst_element_set_state(pPipeline, GST_STATE_PLAYING);
    const gint64 tDeadline = g_get_monotonic_time() + 60 * G_USEC_PER_SEC;
    for (bool bEnd = false; !bEnd && g_get_monotonic_time() < tDeadline;) {
        if (GstMessage* pMessage = gst_bus_timed_pop_filtered(
                pBus, pSink ? 0 : 100 * GST_MSECOND,
                static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS))) {
            EXPECT_EQ(GST_MESSAGE_TYPE(pMessage), GST_MESSAGE_EOS) << description;
            gst_message_unref(pMessage);
            bEnd = true;
        }
        while (GstSample* pSample = pSink ? gst_app_sink_try_pull_sample(pSink, 0) : nullptr) {
            output.Add(gst_sample_get_buffer(pSample));
            gst_sample_unref(pSample);
        }
    }
    gst_element_set_state(pPipeline, GST_STATE_NULL);
    if (pSink)
        gst_object_unref(pSink);
    gst_object_unref(pBus);
    gst_object_unref(pPipeline);
    return output;
}

std::string ToneSource(double dHz, double dVolume, int nSeconds)
{
    return "audiotestsrc freq=" + std::to_string(dHz) + " volume=" + std::to_string(dVolume) +
           " samplesperbuffer=4410 num-buffers=" + std::to_string(nSeconds * 10) +
           " ! audio/x-raw,format=S16LE,rate=44100,channels=2";
}

const char* kToSink = " ! callfeedresampler ! appsink name=out sync=false";

class ResamplerStopBand : public testing::TestWithParam<double> {};

TEST_P(ResamplerStopBand, SuppressesAToneAboveEightKilohertzBy90Decibels)
{
    const double dHz = GetParam();
    const Samples out = RunPipeline(ToneSource(dHz, 0.9, 2) + kToSink).samples;
    ASSERT_GE(out.size(), 20000u);
    const double dFolded = std::abs(dHz - 16000 * std::round(dHz / 16000));
    const double dLeak = std::max(ToneAmplitude(out, 4000, 16000, dFolded), 1e-9);
    EXPECT_GE(20 * std::log10(0.9 * 32767 / dLeak), 90.0) << dHz << " Hz folds to " << dFolded;
}

INSTANTIATE_TEST_SUITE_P(Tones, ResamplerStopBand, testing::Values(9000.0, 12000.0, 20000.0));

// Encoder, and how far beyond three seconds its padding may run.
class ResamplerFiles : public testing::TestWithParam<std::pair<const char*, gsize>> {};

TEST_P(ResamplerFiles, DecodeToThirtyTwoThousandBytesPerSecondInFullBlocks)
{
    EnsureResamplerRegistered();
    std::string encoder = GetParam().first;
    if (encoder == "wma") {
        GstElementFactory* pAsfMux = gst_element_factory_find("asfmux");
        encoder = pAsfMux ? "avenc_wmav2 ! asfmux" : "avenc_wmav2 ! avmux_asf";
        if (pAsfMux)
            gst_object_unref(pAsfMux);
    }
    char szDir[] = "/tmp/resampler-files-XXXXXX";
    ASSERT_NE(mkdtemp(szDir), nullptr);
    const std::string file = std::string(szDir) + "/tone";
    RunPipeline(ToneSource(440, 0.5, 3) + " ! audioconvert ! " + encoder +
                    " ! filesink location=" + file,
                false);
    const Output out =
        RunPipeline("filesrc location=" + file + " ! decodebin ! audioconvert" + kToSink);
    std::filesystem::remove_all(szDir);

    const gsize cbTotal = std::accumulate(out.blockBytes.begin(), out.blockBytes.end(), gsize{0});
    const gsize cbConverterDelay = 400;
    EXPECT_GE(cbTotal + cbConverterDelay, 3u * 32000);
    EXPECT_LE(cbTotal, 3u * 32000 + GetParam().second);
    for (std::size_t i = 0; i + 1 < out.blockBytes.size(); ++i)
        EXPECT_EQ(out.blockBytes[i], 16000u) << "block " << i;
}

INSTANTIATE_TEST_SUITE_P(Formats, ResamplerFiles,
                         testing::Values(std::pair{"wavenc", gsize{0}},
                                         std::pair{"lamemp3enc", gsize{1600}},
                                         std::pair{"wma", gsize{1600}}));

} // namespace
