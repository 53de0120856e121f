#include "audio_output.h"

#include "voxreel/gst_hresult.h"
#include "voxreel/ids.h"

namespace {

std::string OutputDescription(const std::string& strCaps, std::uint32_t cbMaxQueued,
                              const std::string& strSink)
{
    return "appsrc name=outputsource is-live=true format=time do-timestamp=true block=false "
           "max-bytes=" +
           std::to_string(cbMaxQueued) + " leaky-type=downstream caps=" + strCaps +
           " ! audioconvert ! audioresample ! volume name=outputvolume ! " + strSink;
}

} // namespace

CAudioOutput::CAudioOutput(std::string strCaps, std::uint32_t nSamplesPerSecond,
                           std::uint32_t cbMaxQueued, NotifyFn notify)
    : m_strCaps(std::move(strCaps)), m_nSamplesPerSecond(nSamplesPerSecond),
      m_cbMaxQueued(cbMaxQueued), m_notify(std::move(notify))
{
}

HRESULT CAudioOutput::Start(const std::string& strSink)
{
    std::lock_guard lock(m_mutex);
    if (m_pPipeline)
        return S_FALSE;
    m_bFailed.store(false);
    m_tPlayedOut = {};
    m_bDraining = false;
    return Launch(strSink);
}

HRESULT CAudioOutput::Launch(const std::string& strSink)
{
    GError* pError = nullptr;
    CElementPtr pPipeline(
        gst_parse_launch_full(OutputDescription(m_strCaps, m_cbMaxQueued, strSink).c_str(), nullptr,
                              GST_PARSE_FLAG_FATAL_ERRORS, &pError));
    if (!pPipeline || pError != nullptr) {
        const HRESULT hr = pError != nullptr ? HResultFromGError(pError) : E_FAIL;
        g_clear_error(&pError);
        return Fail(FAILED(hr) ? hr : E_FAIL);
    }
    // Nobody reads this bus: errors are posted from here, the rest dropped.
    CBusPtr pBus(gst_element_get_bus(pPipeline.get()));
    gst_bus_set_sync_handler(pBus.get(), OnBusMessage, this, nullptr);
    CElementPtr pSource(gst_bin_get_by_name(GST_BIN(pPipeline.get()), "outputsource"));
    CElementPtr pVolume(gst_bin_get_by_name(GST_BIN(pPipeline.get()), "outputvolume"));
    if (!pSource || !pVolume)
        return Fail(E_FAIL);
    g_object_set(pVolume.get(), "volume", m_dVolume, nullptr);
    // A sink that starts late answers ASYNC; nothing waits for it.
    if (gst_element_set_state(pPipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(pPipeline.get(), GST_STATE_NULL);
        return Fail(E_FAIL);
    }
    m_pSource = GST_APP_SRC(pSource.get());
    m_pVolume = pVolume.get();
    m_pPipeline = std::move(pPipeline);
    return S_OK;
}

HRESULT CAudioOutput::Fail(HRESULT hr)
{
    if (!m_bFailed.exchange(true))
        m_notify(NOTIFY_ERROR, static_cast<std::uint32_t>(hr));
    return hr;
}

GstBusSyncReply CAudioOutput::OnBusMessage(GstBus* /*pBus*/, GstMessage* pMessage, gpointer pSelf)
{
    if (GST_MESSAGE_TYPE(pMessage) == GST_MESSAGE_ERROR) {
        GError* pError = nullptr;
        gst_message_parse_error(pMessage, &pError, nullptr);
        const HRESULT hr = pError != nullptr ? HResultFromGError(pError) : E_FAIL;
        g_clear_error(&pError);
        static_cast<CAudioOutput*>(pSelf)->Fail(FAILED(hr) ? hr : E_FAIL);
    }
    gst_message_unref(pMessage);
    return GST_BUS_DROP;
}

void CAudioOutput::Stop()
{
    std::lock_guard lock(m_mutex);
    if (!m_pPipeline)
        return;
    gst_element_set_state(m_pPipeline.get(), GST_STATE_NULL);
    m_pSource = nullptr;
    m_pVolume = nullptr;
    m_pPipeline.reset();
}

void CAudioOutput::Push(const std::int16_t* pSamples, std::size_t nSamples)
{
    using namespace std::chrono;
    std::unique_lock lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock() || m_pSource == nullptr || nSamples == 0 || !BacklogAllows())
        return;
    const steady_clock::time_point now = steady_clock::now();
    if (m_tPlayedOut <= now) { // the sink has run dry: the lead again first
        const std::size_t nLead = m_nSamplesPerSecond * kLead.count() / 1000;
        GstBuffer* pLead = gst_buffer_new_allocate(nullptr, nLead * 2, nullptr);
        gst_buffer_memset(pLead, 0, 0, nLead * 2);
        PushBuffer(pLead);
        m_tPlayedOut = now + kLead;
    }
    m_tPlayedOut += duration_cast<steady_clock::duration>(
        duration<double>(static_cast<double>(nSamples) / m_nSamplesPerSecond));
    GstBuffer* pBuffer = gst_buffer_new_allocate(nullptr, nSamples * 2, nullptr);
    gst_buffer_fill(pBuffer, 0, pSamples, nSamples * 2);
    PushBuffer(pBuffer);
}

bool CAudioOutput::BacklogAllows()
{
    const guint64 cbWaiting = gst_app_src_get_current_level_bytes(m_pSource);
    if (cbWaiting > BytesFor(kHighWater))
        m_bDraining = true;
    else if (cbWaiting <= BytesFor(kLead))
        m_bDraining = false;
    return !m_bDraining;
}

void CAudioOutput::PushBuffer(GstBuffer* pBuffer)
{
    gst_app_src_push_buffer(m_pSource, pBuffer); // takes the buffer, never waits
}

void CAudioOutput::SetVolume(double dVolume)
{
    std::lock_guard lock(m_mutex);
    m_dVolume = dVolume;
    if (m_pVolume != nullptr)
        g_object_set(m_pVolume, "volume", dVolume, nullptr);
}
