#include "capture_pipeline.h"

#include <gst/app/gstappsink.h>

#include "voxreel/gst_hresult.h"

namespace {

constexpr GstClockTime kStartTimeout = 5 * GST_SECOND;

GstFlowReturn OnNewSample(GstAppSink* pSink, gpointer pRing)
{
    CSamplePtr pSample(gst_app_sink_pull_sample(pSink));
    if (!pSample)
        return GST_FLOW_EOS;
    GstBuffer* pBuffer = gst_sample_get_buffer(pSample.get());
    if (pBuffer == nullptr)
        return GST_FLOW_OK;
    CBufferMap map(pBuffer);
    if (map.IsMapped())
        static_cast<CCaptureRing*>(pRing)->Write(map.Data(), map.Size());
    return GST_FLOW_OK;
}

std::string CaptureDescription(const std::string& strSource)
{
    return strSource + " ! audioconvert ! audioresample ! "
                       "audio/x-raw,format=S16LE,rate=16000,channels=1,layout=interleaved ! "
                       "appsink name=capturesink sync=false max-buffers=16 drop=true";
}

// The error the pipeline reported, if any is waiting on its bus.
HRESULT PendingError(GstElement* pPipeline)
{
    CBusPtr pBus(gst_element_get_bus(pPipeline));
    CMessagePtr pMessage(gst_bus_pop_filtered(pBus.get(), GST_MESSAGE_ERROR));
    if (!pMessage)
        return S_OK;
    GError* pError = nullptr;
    gst_message_parse_error(pMessage.get(), &pError, nullptr);
    const HRESULT hr = pError != nullptr ? HResultFromGError(pError) : E_FAIL;
    g_clear_error(&pError);
    return FAILED(hr) ? hr : E_FAIL;
}

} // namespace

HRESULT CCapturePipeline::Start(const std::string& strSource, CCaptureRing& ring)
{
    if (m_pPipeline)
        return E_UNEXPECTED;
    GError* pError = nullptr;
    CElementPtr pPipeline(gst_parse_launch_full(CaptureDescription(strSource).c_str(), nullptr,
                                                GST_PARSE_FLAG_FATAL_ERRORS, &pError));
    if (!pPipeline || pError != nullptr) {
        const HRESULT hr = pError != nullptr ? HResultFromGError(pError) : E_FAIL;
        g_clear_error(&pError);
        return FAILED(hr) ? hr : E_FAIL;
    }
    CElementPtr pSink(gst_bin_get_by_name(GST_BIN(pPipeline.get()), "capturesink"));
    if (!pSink)
        return E_FAIL;
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = OnNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(pSink.get()), &callbacks, &ring, nullptr);

    m_pPipeline = std::move(pPipeline);
    const HRESULT hr = WaitUntilPlaying();
    if (FAILED(hr)) {
        Stop();
        return hr;
    }
    // Nobody reads this bus while the capture runs; do not let it fill up.
    CBusPtr pBus(gst_element_get_bus(m_pPipeline.get()));
    gst_bus_set_flushing(pBus.get(), TRUE);
    return S_OK;
}

HRESULT CCapturePipeline::WaitUntilPlaying()
{
    GstElement* pPipeline = m_pPipeline.get();
    if (gst_element_set_state(pPipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        const HRESULT hr = PendingError(pPipeline);
        return FAILED(hr) ? hr : E_FAIL;
    }
    const GstStateChangeReturn result =
        gst_element_get_state(pPipeline, nullptr, nullptr, kStartTimeout);
    const HRESULT hr = PendingError(pPipeline);
    if (FAILED(hr))
        return hr;
    if (result == GST_STATE_CHANGE_FAILURE)
        return E_FAIL;
    if (result == GST_STATE_CHANGE_ASYNC)
        return VFW_E_TIMEOUT;
    return S_OK;
}

void CCapturePipeline::Stop()
{
    if (!m_pPipeline)
        return;
    gst_element_set_state(m_pPipeline.get(), GST_STATE_NULL);
    m_pPipeline.reset();
}
