#include "audio_output.h"

#include "renderer_debug.h"
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
    if (m_pRun)
        return S_FALSE;
    m_tPlayedOut = {};
    m_bDraining = false;
    // Building the pipeline only makes its elements; nothing waits here.
    GError* pError = nullptr;
    CElementPtr pPipeline(
        gst_parse_launch_full(OutputDescription(m_strCaps, m_cbMaxQueued, strSink).c_str(), nullptr,
                              GST_PARSE_FLAG_FATAL_ERRORS, &pError));
    if (!pPipeline || pError != nullptr) {
        GST_WARNING("output \"%s\" unusable: %s", strSink.c_str(),
                    pError != nullptr ? pError->message : "no pipeline");
        HRESULT hr = pError != nullptr ? HResultFromGError(pError) : E_FAIL;
        g_clear_error(&pError);
        hr = FAILED(hr) ? hr : E_FAIL;
        m_notify(NOTIFY_ERROR, static_cast<std::uint32_t>(hr));
        return hr;
    }
    m_pRun = CAudioOutputRun::Launch(std::move(pPipeline), m_dVolume, m_notify);
    return m_pRun ? S_OK : E_FAIL;
}

void CAudioOutput::BeginStop()
{
    std::lock_guard lock(m_mutex);
    if (!m_pRun)
        return;
    m_pRun->RequestStop(kStopLimit);
    m_stopping.push_back(std::move(m_pRun));
}

void CAudioOutput::EndStop()
{
    std::vector<std::shared_ptr<CAudioOutputRun>> stopping;
    {
        std::lock_guard lock(m_mutex);
        stopping.swap(m_stopping);
    }
    for (const std::shared_ptr<CAudioOutputRun>& pRun : stopping)
        if (!pRun->WaitStopped()) {
            GST_WARNING("an output did not stop in time: left to its own thread");
            pRun->Abandon();
        }
}

void CAudioOutput::Push(const std::int16_t* pSamples, std::size_t nSamples)
{
    using namespace std::chrono;
    std::unique_lock lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock() || !m_pRun || nSamples == 0)
        return;
    const steady_clock::time_point now = steady_clock::now();
    m_pRun->WatchStart(now, kStartLimit);
    if (!m_pRun->TakesPushes() || !BacklogAllows())
        return;
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
    const guint64 cbWaiting = gst_app_src_get_current_level_bytes(m_pRun->Source());
    if (cbWaiting > BytesFor(kHighWater))
        m_bDraining = true;
    else if (cbWaiting <= BytesFor(kLead))
        m_bDraining = false;
    return !m_bDraining;
}

void CAudioOutput::PushBuffer(GstBuffer* pBuffer)
{
    gst_app_src_push_buffer(m_pRun->Source(), pBuffer); // takes the buffer, never waits
}

void CAudioOutput::SetVolume(double dVolume)
{
    std::lock_guard lock(m_mutex);
    m_dVolume = dVolume;
    if (m_pRun)
        m_pRun->SetVolume(dVolume);
}
