// Real signals through real pipelines: tone fidelity, stop-band suppression,
// and generated WAV, MP3 and WMA files decoded and converted end to end.
#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numeric>
#include <string_view>

#include "resampler_support.h"

namespace {

constexpr GstClockTime kPipelineLimit = 60 * GST_SECOND;
constexpr gsize kBlockBytes = 16000;

struct CElementDeleter {
    void operator()(GstElement* pElement) const
    {
        gst_element_set_state(pElement, GST_STATE_NULL);
        gst_object_unref(pElement);
    }
};
using CPipelinePtr = std::unique_ptr<GstElement, CElementDeleter>;

CPipelinePtr Launch(const std::string& description)
{
    EnsureResamplerRegistered();
    GError* pError = nullptr;
    GstElement* pPipeline = gst_parse_launch(description.c_str(), &pError);
    EXPECT_EQ(pError, nullptr) << (pError ? pError->message : "") << " in " << description;
    g_clear_error(&pError);
    return CPipelinePtr(pPipeline);
}

// Runs a pipeline that ends in a file sink until end of stream.
void RunToEnd(const std::string& description)
{
    CPipelinePtr pPipeline = Launch(description);
    ASSERT_TRUE(pPipeline);
    gst_element_set_state(pPipeline.get(), GST_STATE_PLAYING);
    GstBus* pBus = gst_element_get_bus(pPipeline.get());
    GstMessage* pMessage = gst_bus_timed_pop_filtered(
        pBus, kPipelineLimit, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    gst_object_unref(pBus);
    ASSERT_NE(pMessage, nullptr) << "no end of stream from " << description;
    EXPECT_EQ(GST_MESSAGE_TYPE(pMessage), GST_MESSAGE_EOS) << description;
    gst_message_unref(pMessage);
}

// Runs a pipeline that ends in "appsink name=out" and collects what it got.
Output Collect(const std::string& description)
{
    Output output;
    CPipelinePtr pPipeline = Launch(description + " ! appsink name=out sync=false");
    if (!pPipeline)
        return output;
    GstElement* pSink = gst_bin_get_by_name(GST_BIN(pPipeline.get()), "out");
    GstBus* pBus = gst_element_get_bus(pPipeline.get());
    gst_element_set_state(pPipeline.get(), GST_STATE_PLAYING);
    const gint64 tDeadline = g_get_monotonic_time() + kPipelineLimit / GST_USECOND;
    while (!gst_app_sink_is_eos(GST_APP_SINK(pSink)) && g_get_monotonic_time() < tDeadline) {
        if (GstMessage* pError = gst_bus_pop_filtered(pBus, GST_MESSAGE_ERROR)) {
            ADD_FAILURE() << "error from " << description;
            gst_message_unref(pError);
            break;
        }
        GstSample* pSample = gst_app_sink_try_pull_sample(GST_APP_SINK(pSink), GST_SECOND / 10);
        if (pSample == nullptr)
            continue;
        GstBuffer* pBuffer = gst_sample_get_buffer(pSample);
        const Samples block = SamplesOf(pBuffer);
        output.samples.insert(output.samples.end(), block.begin(), block.end());
        output.blockBytes.push_back(gst_buffer_get_size(pBuffer));
        gst_sample_unref(pSample);
    }
    EXPECT_TRUE(gst_app_sink_is_eos(GST_APP_SINK(pSink))) << description;
    gst_object_unref(pBus);
    gst_object_unref(pSink);
    return output;
}

std::string ToneSource(double dHz, double dVolume, int nSeconds)
{
    return "audiotestsrc wave=sine freq=" + std::to_string(dHz) +
           " volume=" + std::to_string(dVolume) +
           " samplesperbuffer=4410 num-buffers=" + std::to_string(nSeconds * 10) +
           " ! audio/x-raw,format=S16LE,rate=44100,channels=2";
}

double Power(const Samples& samples, std::size_t nFirst, std::size_t nCount)
{
    double dSum = 0;
    for (std::size_t i = nFirst; i < nFirst + nCount; ++i)
        dSum += static_cast<double>(samples[i]) * samples[i];
    return dSum / nCount;
}

TEST(ResamplerSignal, KeepsAOneKilohertzToneAtItsFrequencyAndLevel)
{
    const Output output = Collect(ToneSource(1000, 0.5, 2) + " ! callfeedresampler");
    ASSERT_GE(output.samples.size(), 20000u);
    const double dAmplitude = ToneAmplitude(output.samples, 4000, 16000, 1000, 16000);
    EXPECT_NEAR(20 * std::log10(dAmplitude / (0.5 * 32767)), 0.0, 0.05);
    // Nearly all the power is the 1 kHz tone: nothing moved it elsewhere.
    EXPECT_GT(dAmplitude * dAmplitude / 2 / Power(output.samples, 4000, 16000), 0.9999);
}

class ResamplerStopBand : public testing::TestWithParam<double> {};

TEST_P(ResamplerStopBand, SuppressesAToneAboveEightKilohertzBy90Decibels)
{
    const double dHz = GetParam();
    const Output output = Collect(ToneSource(dHz, 0.9, 2) + " ! callfeedresampler");
    ASSERT_GE(output.samples.size(), 20000u);
    const double dAlias = std::abs(dHz - 16000 * std::round(dHz / 16000));
    const double dLeak = ToneAmplitude(output.samples, 4000, 16000, dAlias, 16000);
    const double dSuppression = 20 * std::log10(0.9 * 32767 / std::max(dLeak, 1e-9));
    RecordProperty("suppression_db", std::to_string(dSuppression));
    EXPECT_GE(dSuppression, 90.0) << dHz << " Hz folds to " << dAlias << " Hz";
}

INSTANTIATE_TEST_SUITE_P(Tones, ResamplerStopBand,
                         testing::Values(9000.0, 12000.0, 15000.0, 20000.0));

struct FileCase {
    const char* pszName;
    const char* pszEncoder; // WMA's muxer depends on what is installed
    gsize cbTolerance;      // beyond the converter's delay
};

class ResamplerFiles : public testing::TestWithParam<FileCase> {
protected:
    void SetUp() override
    {
        char szTemplate[] = "/tmp/resampler-files-XXXXXX";
        ASSERT_NE(mkdtemp(szTemplate), nullptr);
        m_dir = szTemplate;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::filesystem::path m_dir;
};

std::string WmaEncoder()
{
    GstElementFactory* pAsfMux = gst_element_factory_find("asfmux");
    if (pAsfMux == nullptr)
        return "avenc_wmav2 ! avmux_asf";
    gst_object_unref(pAsfMux);
    return "avenc_wmav2 ! asfmux";
}

TEST_P(ResamplerFiles, DecodeToThirtyTwoThousandBytesPerSecondInFullBlocks)
{
    const FileCase& file = GetParam();
    EnsureResamplerRegistered();
    const std::string encoder =
        std::string_view(file.pszName) == "wma" ? WmaEncoder() : file.pszEncoder;
    const std::filesystem::path path = m_dir / (std::string("tone.") + file.pszName);
    const int nSeconds = 3;
    RunToEnd(ToneSource(440, 0.5, nSeconds) + " ! audioconvert ! " + encoder +
             " ! filesink location=" + path.string());

    const Output output = Collect("filesrc location=" + path.string() +
                                  " ! decodebin ! audioconvert ! callfeedresampler");
    const gsize cbTotal =
        std::accumulate(output.blockBytes.begin(), output.blockBytes.end(), gsize{0});
    const gsize cbExpected = nSeconds * 32000;
    const gsize cbConverterDelay = 400;
    EXPECT_GE(cbTotal + cbConverterDelay + file.cbTolerance, cbExpected);
    EXPECT_LE(cbTotal, cbExpected + file.cbTolerance);
    ASSERT_FALSE(output.blockBytes.empty());
    for (std::size_t i = 0; i + 1 < output.blockBytes.size(); ++i)
        EXPECT_EQ(output.blockBytes[i], kBlockBytes) << "block " << i;
    EXPECT_GT(output.blockBytes.back(), 0u);
}

// Lossy encoders pad the stream with up to a few frames of their own.
INSTANTIATE_TEST_SUITE_P(Formats, ResamplerFiles,
                         testing::Values(FileCase{"wav", "wavenc", 0},
                                         FileCase{"mp3", "lamemp3enc", 1600},
                                         FileCase{"wma", "", 1600}),
                         [](const testing::TestParamInfo<FileCase>& param) {
                             return param.param.pszName;
                         });

} // namespace
