#include "capture_pipeline.h"

#include <gst/app/gstappsink.h>

#include "renderer_debug.h"
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

// One branch of the tee per ring. The sinks do not preroll (async=false):
// with a source that is not live, a sink waiting in preroll would hold the
// tee's thread, and the other sink would never get the buffer it waits for.
std::string Branch(std::uint32_t nRate, const char* pszSink)
{
    return " ! audioconvert ! audioresample ! audio/x-raw,format=S16LE,rate=" +
           std::to_string(nRate) + ",channels=1,layout=interleaved ! appsink name=" + pszSink +
           " sync=false async=false max-buffers=16 drop=true";
}

std::string CaptureDescription(const std::string& strSource, bool bWide)
{
    std::string strDescription =
        strSource + " ! tee name=capturetee" + Branch(kCallCaptureRate, "capturesink");
    if (bWide)
        strDescription += " capturetee." +
                          Branch(kWideSamplesPerCallSample * kCallCaptureRate, "widecapturesink");
    return strDescription;
}

bool ConnectRing(GstElement* pPipeline, const char* pszSink, CCaptureRing* pRing)
{
    CElementPtr pSink(gst_bin_get_by_name(GST_BIN(pPipeline), pszSink));
    if (!pSink)
        return false;
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = OnNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(pSink.get()), &callbacks, pRing, nullptr);
    return true;
}

// The failure an error message reports, logged.
HRESULT ErrorOf(GstMessage* pMessage)
{
    GError* pError = nullptr;
    gchar* pszDetails = nullptr;
    gst_message_parse_error(pMessage, &pError, &pszDetails);
    GST_WARNING("capture failed: %s (%s)", pError != nullptr ? pError->message : "?",
                pszDetails != nullptr ? pszDetails : "");
    g_free(pszDetails);
    const HRESULT hr = pError != nullptr ? HResultFromGError(pError) : E_FAIL;
    g_clear_error(&pError);
    return FAILED(hr) ? hr : E_FAIL;
}

// The error the pipeline reported, if any is waiting on its bus.
HRESULT PendingError(GstElement* pPipeline)
{
    CBusPtr pBus(gst_element_get_bus(pPipeline));
    CMessagePtr pMessage(gst_bus_pop_filtered(pBus.get(), GST_MESSAGE_ERROR));
    return pMessage ? ErrorOf(pMessage.get()) : S_OK;
}

} // namespace

HRESULT CCapturePipeline::Start(const std::string& strSource, CCaptureRing& ring,
                                CCaptureRing* pWideRing)
{
    if (m_pPipeline)
        return E_UNEXPECTED;
    m_hrFailure.store(S_OK);
    GError* pError = nullptr;
    const std::string strDescription = CaptureDescription(strSource, pWideRing != nullptr);
    CElementPtr pPipeline(gst_parse_launch_full(strDescription.c_str(), nullptr,
                                                GST_PARSE_FLAG_FATAL_ERRORS, &pError));
    if (!pPipeline || pError != nullptr) {
        GST_WARNING("capture source \"%s\" unusable: %s", strSource.c_str(),
                    pError != nullptr ? pError->message : "no pipeline");
        const HRESULT hr = pError != nullptr ? HResultFromGError(pError) : E_FAIL;
        g_clear_error(&pError);
        return FAILED(hr) ? hr : E_FAIL;
    }
    if (!ConnectRing(pPipeline.get(), "capturesink", &ring) ||
        (pWideRing != nullptr && !ConnectRing(pPipeline.get(), "widecapturesink", pWideRing)))
        return E_FAIL;

    m_pPipeline = std::move(pPipeline);
    const HRESULT hr = WaitUntilPlaying();
    if (FAILED(hr)) {
        GST_WARNING("capture from \"%s\" did not start: 0x%08X", strSource.c_str(),
                    static_cast<unsigned>(hr));
        Stop();
        return hr;
    }
    GST_INFO("capture started: %s", strDescription.c_str());
    // Nobody reads this bus while the capture runs: its messages are seen as
    // they are posted, a failure kept, and none piles up.
    CBusPtr pBus(gst_element_get_bus(m_pPipeline.get()));
    gst_bus_set_sync_handler(pBus.get(), OnBusMessage, this, nullptr);
    const HRESULT hrMeanwhile = PendingError(m_pPipeline.get());
    if (FAILED(hrMeanwhile))
        m_hrFailure.store(hrMeanwhile);
    return S_OK;
}

GstBusSyncReply CCapturePipeline::OnBusMessage(GstBus*, GstMessage* pMessage, gpointer pSelf)
{
    if (GST_MESSAGE_TYPE(pMessage) == GST_MESSAGE_ERROR) {
        HRESULT hrNone = S_OK;
        static_cast<CCapturePipeline*>(pSelf)->m_hrFailure.compare_exchange_strong(
            hrNone, ErrorOf(pMessage));
    }
    gst_message_unref(pMessage); // a handler that drops a message owns it
    return GST_BUS_DROP;
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
    GST_INFO("capture stopped");
}
