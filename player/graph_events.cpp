#include "graph_events.h"

#include <algorithm>

#include "voxreel/callfeed_control.h"
#include "voxreel/gst_handle.h"
#include "voxreel/gst_hresult.h"
#include "voxreel/ids.h"

namespace {

void ReleaseEvents(gpointer pData)
{
    delete static_cast<std::shared_ptr<CGraphEvents>*>(pData);
}

} // namespace

// The bus calls the release once the handler is replaced and no call of it
// is running any more.
void CGraphEvents::Attach(GstElement* pPipeline)
{
    CBusPtr pBus(gst_element_get_bus(pPipeline));
    gst_bus_set_sync_handler(pBus.get(), &CGraphEvents::OnSyncMessage,
                             new std::shared_ptr<CGraphEvents>(shared_from_this()), &ReleaseEvents);
}

void CGraphEvents::Detach(GstElement* pPipeline)
{
    CBusPtr pBus(gst_element_get_bus(pPipeline));
    gst_bus_set_sync_handler(pBus.get(), nullptr, nullptr, nullptr);
}

GstBusSyncReply CGraphEvents::OnSyncMessage(GstBus*, GstMessage* pMessage, gpointer pData)
{
    (*static_cast<std::shared_ptr<CGraphEvents>*>(pData))->Handle(pMessage);
    // A dropped message is the handler's to release.
    gst_message_unref(pMessage);
    return GST_BUS_DROP;
}

void CGraphEvents::Handle(GstMessage* pMessage)
{
    CallfeedNotification notification;
    if (ParseCallfeedNotification(pMessage, &notification)) {
        CGraphEvent event;
        event.m_kind = CGraphEvent::Kind::RendererNotice;
        event.m_nCode = notification.m_nCode;
        event.m_nValue = notification.m_nValue;
        Queue(std::move(event));
        return;
    }
    switch (GST_MESSAGE_TYPE(pMessage)) {
    case GST_MESSAGE_ELEMENT: {
        MissingDecoder missing;
        if (ParseMissingDecoder(pMessage, &missing)) {
            std::lock_guard lock(m_mutex);
            m_missing = std::move(missing);
        }
        break;
    }
    case GST_MESSAGE_EOS: {
        CGraphEvent event;
        event.m_kind = CGraphEvent::Kind::Complete;
        Queue(std::move(event));
        break;
    }
    case GST_MESSAGE_ERROR: {
        GError* pError = nullptr;
        gst_message_parse_error(pMessage, &pError, nullptr);
        HRESULT hr = HResultFromGError(pError);
        std::string strText = ReasonFor(pError);
        const bool bGeneric = IsGenericError(pError);
        g_clear_error(&pError);
        Queue({CGraphEvent::Kind::ErrorAbort, FAILED(hr) ? hr : E_FAIL, strText, 0, bGeneric});
        break;
    }
    case GST_MESSAGE_ASYNC_DONE: {
        // Bins keep their children's ASYNC_DONE; only the pipeline's reaches the bus.
        std::lock_guard lock(m_mutex);
        m_bPrerolled = true;
        m_changed.notify_all();
        break;
    }
    default:
        break;
    }
}

void CGraphEvents::SetWake(std::function<void()> wake)
{
    std::lock_guard lock(m_mutex);
    m_wake = std::move(wake);
}

// The wake runs under the lock, so that once SetWake has cleared it nothing
// can still be calling it.
void CGraphEvents::Queue(CGraphEvent event)
{
    {
        std::lock_guard lock(m_mutex);
        event.m_nSerial = m_nNextSerial++;
        m_events.push_back(std::move(event));
        // Held events keep the queue from emptying, so every arrival wakes;
        // the wakes fold into one delivery.
        if (m_wake)
            m_wake();
    }
    m_changed.notify_all();
}

std::optional<CGraphEvent> CGraphEvents::PopEvent(bool bHoldPlayback)
{
    std::lock_guard lock(m_mutex);
    const auto it = std::find_if(m_events.begin(), m_events.end(), [=](const auto& event) {
        return !bHoldPlayback || event.m_kind == CGraphEvent::Kind::RendererNotice ||
               event.m_kind == CGraphEvent::Kind::Opened;
    });
    if (it == m_events.end())
        return std::nullopt;
    CGraphEvent event = std::move(*it);
    m_events.erase(it);
    return event;
}

void CGraphEvents::QueueOpened(std::uint64_t nOpening, HRESULT hr, std::string strReason)
{
    CGraphEvent event;
    event.m_kind = CGraphEvent::Kind::Opened;
    event.m_hr = hr;
    event.m_strText = std::move(strReason);
    event.m_nOpening = nOpening;
    Queue(std::move(event));
}

std::uint64_t CGraphEvents::NextSerial()
{
    std::lock_guard lock(m_mutex);
    return m_nNextSerial;
}

std::optional<CGraphEvent> CGraphEvents::TakeErrorsSince(std::uint64_t nSerial)
{
    std::lock_guard lock(m_mutex);
    const auto isOperations = [nSerial](const CGraphEvent& event) {
        return event.m_nSerial >= nSerial && (event.m_kind == CGraphEvent::Kind::Complete ||
                                              event.m_kind == CGraphEvent::Kind::ErrorAbort);
    };
    std::optional<CGraphEvent> chosen;
    for (const CGraphEvent& event : m_events) {
        if (event.m_nSerial < nSerial || event.m_kind != CGraphEvent::Kind::ErrorAbort)
            continue;
        if (!chosen || (chosen->m_bGeneric && !event.m_bGeneric))
            chosen = event;
        if (!chosen->m_bGeneric)
            break;
    }
    std::erase_if(m_events, isOperations);
    return chosen;
}

void CGraphEvents::ResetForFile(std::string strFileName)
{
    std::lock_guard lock(m_mutex);
    m_bPrerolled = false;
    m_strFileName = std::move(strFileName);
    m_missing.reset();
}

std::string CGraphEvents::ReasonFor(const GError* pError)
{
    std::lock_guard lock(m_mutex);
    return FailureReason(pError, m_strFileName, m_missing ? &*m_missing : nullptr);
}

HRESULT CGraphEvents::WaitPreroll(std::uint64_t nSerial, std::chrono::milliseconds timeout,
                                  std::optional<CGraphEvent>* pError)
{
    std::unique_lock lock(m_mutex);
    auto hasError = [&] {
        return std::any_of(m_events.begin(), m_events.end(), [nSerial](const CGraphEvent& e) {
            return e.m_nSerial >= nSerial && e.m_kind == CGraphEvent::Kind::ErrorAbort;
        });
    };
    if (!m_changed.wait_for(lock, timeout, [&] { return m_bPrerolled || hasError(); }))
        return VFW_E_TIMEOUT;
    if (!hasError())
        return S_OK;
    lock.unlock();
    std::optional<CGraphEvent> error = TakeErrorsSince(nSerial);
    const HRESULT hr = error ? error->m_hr : E_FAIL;
    if (pError != nullptr)
        *pError = std::move(error);
    return hr;
}
