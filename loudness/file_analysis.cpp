#include "file_analysis.h"

#include <gst/app/gstappsink.h>
#include <gst/audio/audio.h>

#include <ebur128.h>

#include <cmath>
#include <memory>

#include "idle_task_pool.h"
#include "tag_loudness.h"
#include "true_peak.h"
#include "voxreel/gst_handle.h"

namespace loudness {
namespace {

constexpr GstClockTime kPrerollTimeout = 30 * GST_SECOND;
constexpr GstClockTime kPullPeriod = 100 * GST_MSECOND;

struct StateDeleter {
    void operator()(ebur128_state* pState) const { ebur128_destroy(&pState); }
};
using StatePtr = std::unique_ptr<ebur128_state, StateDeleter>;

void OnPadAdded(GstElement*, GstPad* pPad, gpointer pConvert)
{
    CGstObjectPtr<GstPad> pSink(gst_element_get_static_pad(GST_ELEMENT(pConvert), "sink"));
    if (gst_pad_is_linked(pSink.get()))
        return;
    CCapsPtr pCaps(gst_pad_query_caps(pPad, nullptr));
    const GstStructure* pStructure = gst_caps_get_structure(pCaps.get(), 0);
    if (pStructure != nullptr && gst_structure_has_name(pStructure, "audio/x-raw"))
        gst_pad_link(pPad, pSink.get());
}

// filesrc ! decodebin ! audioconvert ! F32 interleaved ! appsink, its
// tasks on a pool of idle threads.
class CDecoding {
public:
    explicit CDecoding(const std::filesystem::path& path)
        : m_pPipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("loudness")))),
          m_pPool(GST_TASK_POOL(gst_object_ref_sink(NewIdleTaskPool())))
    {
        GstElement* pSource = gst_element_factory_make("filesrc", nullptr);
        GstElement* pDecoder = gst_element_factory_make("decodebin", nullptr);
        GstElement* pConvert = gst_element_factory_make("audioconvert", nullptr);
        m_pSink = gst_element_factory_make("appsink", nullptr);
        if (!pSource || !pDecoder || !pConvert || !m_pSink) {
            for (GstElement* p : {pSource, pDecoder, pConvert, m_pSink})
                if (p != nullptr)
                    gst_object_unref(gst_object_ref_sink(p));
            m_pSink = nullptr;
            return;
        }
        gst_bin_add_many(GST_BIN(m_pPipeline.get()), pSource, pDecoder, pConvert, m_pSink, nullptr);
        g_object_set(pSource, "location", path.c_str(), nullptr);
        CCapsPtr pCaps(gst_caps_from_string("audio/x-raw,format=F32LE,layout=interleaved"));
        g_object_set(m_pSink, "caps", pCaps.get(), "sync", FALSE, "max-buffers", 8u, nullptr);
        g_signal_connect(pDecoder, "pad-added", G_CALLBACK(OnPadAdded), pConvert);
        gst_element_link(pSource, pDecoder);
        gst_element_link(pConvert, m_pSink);
        m_pBus.reset(gst_element_get_bus(m_pPipeline.get()));
        gst_bus_set_sync_handler(m_pBus.get(), GiveTasksIdlePool, m_pPool.get(), nullptr);
    }
    ~CDecoding()
    {
        gst_element_set_state(m_pPipeline.get(), GST_STATE_NULL);
        if (m_pBus)
            gst_bus_set_sync_handler(m_pBus.get(), nullptr, nullptr, nullptr);
    }
    CDecoding(const CDecoding&) = delete;
    CDecoding& operator=(const CDecoding&) = delete;

    // Prerolls, keeping the tags seen on the way; false (and the error) when
    // the file cannot be decoded.
    bool Preroll(std::string& strError)
    {
        if (m_pSink == nullptr) {
            strError = "A GStreamer element needed for decoding is not installed.";
            return false;
        }
        if (gst_element_set_state(m_pPipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
            return TakeError(strError, "The file cannot be opened.");
        const auto types = static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR |
                                                       GST_MESSAGE_TAG | GST_MESSAGE_EOS);
        for (;;) {
            CMessagePtr pMessage(gst_bus_timed_pop_filtered(m_pBus.get(), kPrerollTimeout, types));
            if (!pMessage) {
                strError = "The file took too long to open.";
                return false;
            }
            switch (GST_MESSAGE_TYPE(pMessage.get())) {
            case GST_MESSAGE_TAG:
                KeepTags(pMessage.get());
                break;
            case GST_MESSAGE_ERROR:
                strError = ErrorText(pMessage.get());
                return false;
            case GST_MESSAGE_EOS:
                strError = "The file has no audio.";
                return false;
            default:
                if (GST_MESSAGE_SRC(pMessage.get()) == GST_OBJECT(m_pPipeline.get()))
                    return true;
            }
        }
    }
    const GstTagList* Tags() const { return m_pTags.get(); }

    // Hands each decoded buffer to consume (frames, channels, rate) until the
    // end; false (and the error) on a failure or a cancel.
    template <typename Consume>
    bool Run(Consume consume, const std::atomic<bool>* pCancel, std::string& strError)
    {
        gst_element_set_state(m_pPipeline.get(), GST_STATE_PLAYING);
        GstAppSink* pSink = GST_APP_SINK(m_pSink);
        while (!gst_app_sink_is_eos(pSink)) {
            if (pCancel != nullptr && pCancel->load(std::memory_order_relaxed)) {
                strError = "Cancelled.";
                return false;
            }
            CMessagePtr pError(gst_bus_pop_filtered(m_pBus.get(), GST_MESSAGE_ERROR));
            if (pError) {
                strError = ErrorText(pError.get());
                return false;
            }
            CSamplePtr pSample(gst_app_sink_try_pull_sample(pSink, kPullPeriod));
            if (!pSample)
                continue;
            GstAudioInfo info;
            if (!gst_audio_info_from_caps(&info, gst_sample_get_caps(pSample.get())))
                continue;
            CBufferMap map(gst_sample_get_buffer(pSample.get()));
            if (!map.IsMapped() || info.bpf == 0)
                continue;
            if (!consume(reinterpret_cast<const float*>(map.Data()), map.Size() / info.bpf,
                         static_cast<unsigned>(info.channels),
                         static_cast<unsigned long>(info.rate))) {
                strError = "The file's audio format cannot be measured.";
                return false;
            }
        }
        return true;
    }

private:
    void KeepTags(GstMessage* pMessage)
    {
        GstTagList* pTags = nullptr;
        gst_message_parse_tag(pMessage, &pTags);
        if (!m_pTags) {
            m_pTags.reset(pTags);
            return;
        }
        m_pTags.reset(gst_tag_list_merge(m_pTags.get(), pTags, GST_TAG_MERGE_KEEP));
        gst_tag_list_unref(pTags);
    }
    bool TakeError(std::string& strError, const char* pszDefault)
    {
        CMessagePtr pError(gst_bus_pop_filtered(m_pBus.get(), GST_MESSAGE_ERROR));
        strError = pError ? ErrorText(pError.get()) : pszDefault;
        return false;
    }
    static std::string ErrorText(GstMessage* pMessage)
    {
        GError* pError = nullptr;
        gst_message_parse_error(pMessage, &pError, nullptr);
        std::string strText = pError != nullptr ? pError->message : "The file cannot be decoded.";
        g_clear_error(&pError);
        return strText;
    }

    CElementPtr m_pPipeline;
    CGstObjectPtr<GstTaskPool> m_pPool;
    GstElement* m_pSink = nullptr; // owned by the pipeline
    CBusPtr m_pBus;
    CGstMiniObjectPtr<GstTagList> m_pTags;
};

// Feeds libebur128, made at the first buffer (and again should the format change).
class CMeter {
public:
    bool Add(const float* pFrames, std::size_t nFrames, unsigned nChannels, unsigned long nRate)
    {
        if (!m_pState || nChannels != m_nChannels || nRate != m_nRate) {
            if (m_pState)
                return false; // a change of format mid-file: not measured as one
            m_pState.reset(ebur128_init(nChannels, nRate, EBUR128_MODE_I));
            if (!m_pState)
                return false;
            m_nChannels = nChannels;
            m_nRate = nRate;
            m_pTruePeak = std::make_unique<CTruePeak>(nChannels);
            // One channel is heard on both sides, as it is in the call.
            if (nChannels == 1)
                ebur128_set_channel(m_pState.get(), 0, EBUR128_DUAL_MONO);
        }
        m_pTruePeak->Add(pFrames, nFrames);
        return ebur128_add_frames_float(m_pState.get(), pFrames, nFrames) == EBUR128_SUCCESS;
    }
    std::optional<TrackLoudness> Result() const
    {
        if (!m_pState)
            return std::nullopt;
        TrackLoudness loudness;
        ebur128_loudness_global(m_pState.get(), &loudness.dLufs);
        const double dPeak = m_pTruePeak->Peak();
        loudness.peakDb = dPeak > 0.0 ? 20.0 * std::log10(dPeak) : -HUGE_VAL;
        return loudness;
    }

private:
    StatePtr m_pState;
    std::unique_ptr<CTruePeak> m_pTruePeak; // libebur128's own oversamples every sample
    unsigned m_nChannels = 0;
    unsigned long m_nRate = 0;
};

} // namespace

Analysis AnalyseFile(const std::filesystem::path& path, AnalysisMode mode,
                     const std::atomic<bool>* pCancel)
{
    Analysis result;
    CDecoding decoding(path);
    if (!decoding.Preroll(result.strError))
        return result;
    if (mode == AnalysisMode::TagsOrMeasure) {
        result.loudness = LoudnessFromTags(decoding.Tags());
        if (result.loudness)
            return result;
    }
    CMeter meter;
    const bool bMeasure = mode != AnalysisMode::DecodeOnly;
    const auto consume = [&](const float* pFrames, std::size_t nFrames, unsigned nChannels,
                             unsigned long nRate) {
        return !bMeasure || meter.Add(pFrames, nFrames, nChannels, nRate);
    };
    if (!decoding.Run(consume, pCancel, result.strError))
        return result;
    result.loudness = bMeasure ? meter.Result() : TrackLoudness{};
    if (!result.loudness)
        result.strError = "The file has no audio.";
    return result;
}

} // namespace loudness
