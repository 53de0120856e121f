#include "skype_connection.h"

#include "skype_command_id.h"

#include <algorithm>

CSkypeConnection::CSkypeConnection(ISkypeChannel& channel) : m_channel(channel)
{
    m_channel.SetInbox({
        [this](const SkypeWindow& hClient, std::uint32_t status) {
            return HandleAttach(hClient, status);
        },
        [this](const SkypeWindow& hSender, const std::string& text) {
            return HandleText(hSender, text);
        },
    });
}

CSkypeConnection::~CSkypeConnection()
{
    m_channel.SetInbox({});
    // Front first, as they were added; the table stays consistent meanwhile.
    while (!m_handlers.empty()) {
        auto pHandler = std::move(m_handlers.front());
        m_handlers.erase(m_handlers.begin());
    }
}

std::uint32_t CSkypeConnection::HandleAttach(const SkypeWindow& hClient, std::uint32_t status)
{
    m_nAttachState = static_cast<std::int32_t>(status);
    if (m_nAttachState == kAttachApiAvailable) {
        BroadcastDiscover();
    } else if (m_nAttachState == kAttachSuccess) {
        m_hSkypeWindow = hClient;
        if (m_events.onAttached)
            m_events.onAttached();
    }
    return 1;
}

void CSkypeConnection::BroadcastDiscover()
{
    if (IsUsable())
        m_channel.BroadcastDiscover(m_hOwnWindow);
}

void CSkypeConnection::Tick()
{
    if (m_nAttachState != kAttachSuccess) {
        BroadcastDiscover();
        return;
    }
    // The table can grow while we walk it (a send may lead to new commands),
    // so its size is read again on every step.
    for (std::size_t i = 0; i < m_handlers.size();) {
        CSkypeCommandHandler* pHandler = m_handlers[i].get();
        if (!pHandler->m_bSent) {
            SendCommand(pHandler->m_nId);
            ++i;
        } else if (m_channel.GetTickCount() - pHandler->m_dwSentTime > kCommandTimeoutMs) {
            // Out of the table before OnTimeout runs, so whatever the
            // handler does from there finds the table consistent.
            auto pExpired = std::move(m_handlers[i]);
            m_handlers.erase(m_handlers.begin() + static_cast<std::ptrdiff_t>(i));
            pExpired->OnTimeout();
        } else {
            ++i;
        }
    }
}

std::int32_t CSkypeConnection::AddHandler(std::unique_ptr<CSkypeCommandHandler> pHandler)
{
    if (!pHandler)
        return 0;
    const std::int32_t id = pHandler->m_nId;
    m_handlers.push_back(std::move(pHandler));
    return id;
}

std::int32_t CSkypeConnection::Issue(std::unique_ptr<CSkypeCommandHandler> pHandler)
{
    const std::int32_t id = AddHandler(std::move(pHandler));
    SendCommand(id);
    return id;
}

void CSkypeConnection::SendCommand(std::int32_t id)
{
    const auto it = FindById(id);
    if (it == m_handlers.end() || (*it)->m_bSent)
        return;
    // Counted as sent while the line travels, so a tick neither sends it
    // twice nor lets it outlive its time-out.
    (*it)->m_bSent = true;
    (*it)->m_dwSentTime = m_channel.GetTickCount();
    const std::string text = FormatCommandIdPrefix(id) + (*it)->GetCommand();
    const SkypeWindow target = m_hSkypeWindow;
    // The answer may come at once, from inside SendText, or after this link
    // is gone; the table is looked up again either way.
    m_channel.SendText(target, text, [pSelf = std::weak_ptr(m_pSelf), id, target](bool bDelivered) {
        if (const auto pLink = pSelf.lock())
            (*pLink)->OnDelivery(id, target, bDelivered);
    });
}

void CSkypeConnection::OnDelivery(std::int32_t id, const SkypeWindow& target, bool bDelivered)
{
    if (bDelivered)
        return;
    // Not taken: it goes out again after the next attach.
    if (const auto it = FindById(id); it != m_handlers.end())
        (*it)->m_bSent = false;
    // A late answer about a client the link has left since changes nothing.
    if (target == m_hSkypeWindow)
        Detach();
}

void CSkypeConnection::Detach()
{
    m_hSkypeWindow.clear();
    m_nAttachState = kAttachNotAvailable;
    if (m_events.onDetached)
        m_events.onDetached();
}

bool CSkypeConnection::HandleText(const SkypeWindow& hSender, const std::string& text)
{
    if (m_hSkypeWindow.empty() || hSender != m_hSkypeWindow)
        return false;
    if (!text.empty() && text[0] == '#')
        HandleReply(text);
    else
        HandleNotification(text);
    return true;
}

void CSkypeConnection::HandleReply(const std::string& text)
{
    const auto prefix = ParseCommandIdPrefix(text);
    if (!prefix)
        return;
    auto it = FindById(prefix->id);
    if (it == m_handlers.end())
        return;
    CSkypeCommandHandler* pHandler = it->get();
    // OnResponse may issue commands, which grows the table.
    pHandler->OnResponse(text.substr(prefix->textOffset));
    RemoveIfComplete(pHandler);
}

void CSkypeConnection::HandleNotification(const std::string& text)
{
    for (std::size_t i = 0; i < m_handlers.size(); ++i) {
        CSkypeCommandHandler* pHandler = m_handlers[i].get();
        if (pHandler->OnNotification(text)) {
            RemoveIfComplete(pHandler);
            break;
        }
    }
    if (m_events.onNotification)
        m_events.onNotification(text);
}

void CSkypeConnection::RemoveIfComplete(const CSkypeCommandHandler* pHandler)
{
    auto it = FindByPointer(pHandler);
    if (it == m_handlers.end() || !(*it)->IsComplete())
        return;
    auto pDone = std::move(*it);
    m_handlers.erase(it);
}

CSkypeConnection::HandlerTable::iterator CSkypeConnection::FindById(std::int32_t id)
{
    return std::find_if(m_handlers.begin(), m_handlers.end(),
                        [id](const auto& pHandler) { return pHandler->m_nId == id; });
}

CSkypeConnection::HandlerTable::iterator
CSkypeConnection::FindByPointer(const CSkypeCommandHandler* pHandler)
{
    return std::find_if(m_handlers.begin(), m_handlers.end(),
                        [pHandler](const auto& pEntry) { return pEntry.get() == pHandler; });
}
