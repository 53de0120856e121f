#include "feed_floor.h"

#include <gst/app/gstappsink.h>
#include <samplerate.h>

#include <vector>

#include "voxreel/gst_handle.h"
#include "voxreel_test_support.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChunkFrames = 8192; // the resampler converts at least this much at once

// Decodes to interleaved stereo S16 at 44.1 kHz, as the player's chain feeds
// its resampler, keeping the samples for the conversion.
bool Decode(const std::filesystem::path& file, std::vector<std::int16_t>* pPcm, double* pdCpu)
{
    const std::string strDescription =
        "filesrc location=\"" + file.string() +
        "\" ! decodebin ! audioconvert ! audio/x-raw,format=S16LE,layout=interleaved,"
        "rate=44100,channels=2 ! appsink name=out sync=false";
    CElementPtr pPipeline(gst_parse_launch(strDescription.c_str(), nullptr));
    if (!pPipeline)
        return false;
    CElementPtr pSink(gst_bin_get_by_name(GST_BIN(pPipeline.get()), "out"));
    const double dStart = voxreel::test::ProcessCpuSeconds();
    gst_element_set_state(pPipeline.get(), GST_STATE_PLAYING);
    for (;;) {
        CSamplePtr pSample(gst_app_sink_pull_sample(GST_APP_SINK(pSink.get())));
        if (!pSample)
            break;
        CBufferMap map(gst_sample_get_buffer(pSample.get()));
        const auto* pData = reinterpret_cast<const std::int16_t*>(map.Data());
        pPcm->insert(pPcm->end(), pData, pData + map.Size() / 2);
    }
    *pdCpu = voxreel::test::ProcessCpuSeconds() - dStart;
    const bool bEnded = gst_app_sink_is_eos(GST_APP_SINK(pSink.get()));
    gst_element_set_state(pPipeline.get(), GST_STATE_NULL);
    return bEnded && !pPcm->empty();
}

// The resampler's own work on that audio: mono by averaging, to float,
// converted in chunks at the best sinc quality, back to 16 bits.
bool Resample(const std::vector<std::int16_t>& pcm, double* pdCpu)
{
    int nError = 0;
    SRC_STATE* pConverter = src_new(SRC_SINC_BEST_QUALITY, 1, &nError);
    if (pConverter == nullptr)
        return false;
    const double dRatio = 16000.0 / kRate;
    std::vector<float> in(kChunkFrames), out(static_cast<std::size_t>(kChunkFrames * dRatio) + 64);
    std::vector<std::int16_t> outShort(out.size());
    const double dStart = voxreel::test::ProcessCpuSeconds();
    const std::size_t nFrames = pcm.size() / 2;
    for (std::size_t nDone = 0; nDone < nFrames && nError == 0;) {
        const std::size_t n = std::min<std::size_t>(kChunkFrames, nFrames - nDone);
        for (std::size_t i = 0; i < n; ++i)
            in[i] = static_cast<float>(pcm[2 * (nDone + i)] + pcm[2 * (nDone + i) + 1]) /
                    (2.0f * 32768.0f);
        SRC_DATA data{};
        data.data_in = in.data();
        data.input_frames = static_cast<long>(n);
        data.src_ratio = dRatio;
        while (data.input_frames > 0 && nError == 0) {
            data.data_out = out.data();
            data.output_frames = static_cast<long>(out.size());
            nError = src_process(pConverter, &data);
            src_float_to_short_array(out.data(), outShort.data(),
                                     static_cast<int>(data.output_frames_gen));
            data.data_in += data.input_frames_used;
            data.input_frames -= data.input_frames_used;
        }
        nDone += n;
    }
    *pdCpu = voxreel::test::ProcessCpuSeconds() - dStart;
    src_delete(pConverter);
    return nError == 0;
}

} // namespace

bool MeasureFeedFloor(const std::filesystem::path& file, FeedFloor* pFloor)
{
    std::vector<std::int16_t> pcm;
    if (!Decode(file, &pcm, &pFloor->m_dDecodeSeconds) ||
        !Resample(pcm, &pFloor->m_dResampleSeconds))
        return false;
    pFloor->m_dAudioSeconds = static_cast<double>(pcm.size() / 2) / kRate;
    return true;
}
