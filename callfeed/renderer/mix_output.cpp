#include "mix_output.h"

#include <cstring>

#include "voxreel/gst_hresult.h"

namespace {

// Two blocks may wait for the output; past that the oldest is dropped, so a
// slow start or a stall of the output never becomes lasting delay.
std::string OutputDescription(const std::string& strSink)
{
    return "appsrc name=mixsource is-live=true format=time do-timestamp=true block=false "
           "max-bytes=4096 leaky-type=downstream "
           "caps=audio/x-raw,format=S16LE,rate=16000,channels=1,layout=interleaved "
           "! audioconvert ! audioresample ! " +
           strSink;
}

} // namespace

HRESULT CMixOutput::Start(const std::string& strSink)
{
    std::lock_guard lock(m_mutex);
    if (m_pPipeline)
        return S_FALSE;
    GError* pError = nullptr;
    CElementPtr pPipeline(gst_parse_launch_full(OutputDescription(strSink).c_str(), nullptr,
                                                GST_PARSE_FLAG_FATAL_ERRORS, &pError));
    if (!pPipeline || pError != nullptr) {
        const HRESULT hr = pError != nullptr ? HResultFromGError(pError) : E_FAIL;
        g_clear_error(&pError);
        return FAILED(hr) ? hr : E_FAIL;
    }
    // Nobody reads this bus: an output that fails just stops taking blocks.
    CBusPtr pBus(gst_element_get_bus(pPipeline.get()));
    gst_bus_set_flushing(pBus.get(), TRUE);
    CElementPtr pSource(gst_bin_get_by_name(GST_BIN(pPipeline.get()), "mixsource"));
    if (!pSource ||
        gst_element_set_state(pPipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(pPipeline.get(), GST_STATE_NULL);
        return E_FAIL;
    }
    m_pSource = GST_APP_SRC(pSource.get());
    m_pPipeline = std::move(pPipeline);
    return S_OK;
}

void CMixOutput::Stop()
{
    std::lock_guard lock(m_mutex);
    if (!m_pPipeline)
        return;
    gst_element_set_state(m_pPipeline.get(), GST_STATE_NULL);
    m_pSource = nullptr;
    m_pPipeline.reset();
}

void CMixOutput::Push(const std::int16_t* pSamples, std::uint32_t nSamples)
{
    std::unique_lock lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock() || m_pSource == nullptr)
        return;
    GstBuffer* pBuffer = gst_buffer_new_allocate(nullptr, nSamples * 2, nullptr);
    gst_buffer_fill(pBuffer, 0, pSamples, nSamples * 2);
    gst_app_src_push_buffer(m_pSource, pBuffer); // takes the buffer, never waits
}
