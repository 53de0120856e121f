#include "audio_output_run.h"

#include <pthread.h>

#include <system_error>
#include <thread>

#include "renderer_debug.h"
#include "voxreel/gst_hresult.h"
#include "voxreel/ids.h"

std::shared_ptr<CAudioOutputRun> CAudioOutputRun::Launch(CElementPtr pPipeline, double dVolume,
                                                         NotifyFn notify)
{
    CElementPtr pSource(gst_bin_get_by_name(GST_BIN(pPipeline.get()), "outputsource"));
    CElementPtr pVolume(gst_bin_get_by_name(GST_BIN(pPipeline.get()), "outputvolume"));
    if (!pSource || !pVolume) {
        notify(NOTIFY_ERROR, static_cast<std::uint32_t>(E_FAIL));
        return nullptr;
    }
    g_object_set(pVolume.get(), "volume", dVolume, nullptr);
    std::shared_ptr<CAudioOutputRun> pRun(new CAudioOutputRun(
        std::move(pPipeline), std::move(pSource), std::move(pVolume), std::move(notify)));
    try {
        std::thread([pRun] { pRun->Run(); }).detach();
    } catch (const std::system_error&) {
        pRun->Fail(E_OUTOFMEMORY);
        return nullptr;
    }
    return pRun;
}

CAudioOutputRun::CAudioOutputRun(CElementPtr pPipeline, CElementPtr pSource, CElementPtr pVolume,
                                 NotifyFn notify)
    : m_pPipeline(std::move(pPipeline)), m_pSourceElement(std::move(pSource)),
      m_pVolume(std::move(pVolume)), m_pSource(GST_APP_SRC(m_pSourceElement.get())),
      m_notify(std::move(notify))
{
    // Nobody reads this bus: errors are posted from here, the rest dropped.
    CBusPtr pBus(gst_element_get_bus(m_pPipeline.get()));
    gst_bus_set_sync_handler(pBus.get(), OnBusMessage, this, nullptr);
}

CAudioOutputRun::~CAudioOutputRun()
{
    // The pipeline is in NULL (or never left it): no thread of its posts.
    CBusPtr pBus(gst_element_get_bus(m_pPipeline.get()));
    gst_bus_set_sync_handler(pBus.get(), nullptr, nullptr, nullptr);
}

void CAudioOutputRun::Run()
{
    pthread_setname_np(pthread_self(), "callfeed-output");
    // A sink that starts late answers ASYNC: pushes go in meanwhile.
    GST_INFO_OBJECT(m_pPipeline.get(), "output starting");
    if (gst_element_set_state(m_pPipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        GST_WARNING_OBJECT(m_pPipeline.get(), "output did not start");
        Fail(E_FAIL);
        gst_element_set_state(m_pPipeline.get(), GST_STATE_NULL);
    } else {
        m_bTakesPushes.store(true, std::memory_order_release);
    }
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_bStopWanted; });
    }
    m_bTakesPushes.store(false, std::memory_order_release);
    gst_element_set_state(m_pPipeline.get(), GST_STATE_NULL);
    {
        std::lock_guard lock(m_mutex);
        m_bStopped = true;
    }
    m_changed.notify_all();
}

void CAudioOutputRun::WatchStart(Clock::time_point now, Clock::duration tLimit)
{
    if (m_tFirstAudio == Clock::time_point{})
        m_tFirstAudio = now;
    if (m_bLateReported || now - m_tFirstAudio < tLimit || m_bPlaying.load() || m_bFailed.load())
        return;
    m_bLateReported = true;
    GST_WARNING_OBJECT(m_pPipeline.get(), "output has had audio for a while and does not play");
    Post(NOTIFY_OUTPUT_NOT_STARTING, 0);
}

void CAudioOutputRun::SetVolume(double dVolume)
{
    g_object_set(m_pVolume.get(), "volume", dVolume, nullptr);
}

void CAudioOutputRun::RequestStop(Clock::duration tLimit)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_bStopWanted)
            return;
        m_bStopWanted = true;
        m_tStopLimit = Clock::now() + tLimit;
    }
    GST_DEBUG_OBJECT(m_pPipeline.get(), "output stopping");
    m_changed.notify_all();
}

bool CAudioOutputRun::WaitStopped()
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_until(lock, m_tStopLimit, [this] { return m_bStopped; });
}

void CAudioOutputRun::Abandon()
{
    std::lock_guard lock(m_notifyMutex);
    m_notify = nullptr;
}

void CAudioOutputRun::Fail(HRESULT hr)
{
    if (!m_bFailed.exchange(true)) {
        GST_WARNING_OBJECT(m_pPipeline.get(), "output failed: 0x%08X", static_cast<unsigned>(hr));
        Post(NOTIFY_ERROR, static_cast<std::uint32_t>(FAILED(hr) ? hr : E_FAIL));
    }
}

void CAudioOutputRun::Post(int nCode, std::uint32_t nValue)
{
    std::lock_guard lock(m_notifyMutex);
    if (m_notify)
        m_notify(nCode, nValue);
}

GstBusSyncReply CAudioOutputRun::OnBusMessage(GstBus* /*pBus*/, GstMessage* pMessage,
                                              gpointer pSelf)
{
    auto* pRun = static_cast<CAudioOutputRun*>(pSelf);
    if (GST_MESSAGE_TYPE(pMessage) == GST_MESSAGE_ERROR) {
        GError* pError = nullptr;
        gchar* pszDetails = nullptr;
        gst_message_parse_error(pMessage, &pError, &pszDetails);
        GST_WARNING_OBJECT(GST_MESSAGE_SRC(pMessage), "output error: %s (%s)",
                           pError != nullptr ? pError->message : "?",
                           pszDetails != nullptr ? pszDetails : "");
        g_free(pszDetails);
        const HRESULT hr = pError != nullptr ? HResultFromGError(pError) : E_FAIL;
        g_clear_error(&pError);
        pRun->Fail(hr);
    } else if (GST_MESSAGE_TYPE(pMessage) == GST_MESSAGE_STATE_CHANGED &&
               GST_MESSAGE_SRC(pMessage) == GST_OBJECT(pRun->m_pPipeline.get())) {
        GstState newState = GST_STATE_VOID_PENDING;
        gst_message_parse_state_changed(pMessage, nullptr, &newState, nullptr);
        if (newState == GST_STATE_PLAYING && !pRun->m_bPlaying.exchange(true))
            GST_INFO_OBJECT(pRun->m_pPipeline.get(), "output playing");
    }
    gst_message_unref(pMessage);
    return GST_BUS_DROP;
}
