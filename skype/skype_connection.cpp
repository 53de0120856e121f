#include "skype_connection.h"

#include "skype_command_id.h"

#include <algorithm>
#include <cstring>

namespace {

// The text of a copy-data block: its bytes up to the first NUL, if any.
std::string TextOfBlock(const CopyDataBlock* pData)
{
    if (pData == nullptr || pData->lpData == nullptr || pData->cbData == 0)
        return {};
    const auto* pBytes = static_cast<const char*>(pData->lpData);
    const void* pNul = std::memchr(pBytes, '\0', pData->cbData);
    const std::size_t length =
        pNul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(pNul) - pBytes)
                        : pData->cbData;
    return std::string(pBytes, length);
}

} // namespace

CSkypeConnection::CSkypeConnection(ISkypeChannel& channel, ISkypeConnectionMonitor* pMonitor)
    : m_channel(channel), m_pMonitor(pMonitor)
{
    m_uAttachMessage = m_channel.RegisterMessage(kSkypeAttachMessageName);
    m_uDiscoverMessage = m_channel.RegisterMessage(kSkypeDiscoverMessageName);
}

CSkypeConnection::~CSkypeConnection()
{
    // Front first, as they were added; the table stays consistent meanwhile.
    while (!m_handlers.empty()) {
        auto pHandler = std::move(m_handlers.front());
        m_handlers.erase(m_handlers.begin());
    }
    if (m_nAttachState == kAttachSuccess && m_pMonitor != nullptr)
        m_pMonitor->OnDetached();
}

std::uint32_t CSkypeConnection::HandleAttach(const SkypeWindow& hClient, std::uint32_t status)
{
    m_nAttachState = static_cast<std::int32_t>(status);
    if (m_nAttachState == kAttachApiAvailable) {
        BroadcastDiscover();
    } else if (m_nAttachState == kAttachSuccess) {
        m_hSkypeWindow = hClient;
        if (m_pMonitor != nullptr)
            m_pMonitor->OnAttached();
    }
    return 1;
}

void CSkypeConnection::BroadcastDiscover()
{
    if (HasMessageIds())
        m_channel.Broadcast(m_uDiscoverMessage, m_hOwnWindow, 0);
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

void CSkypeConnection::SendCommand(std::int32_t id)
{
    auto it = FindById(id);
    if (it == m_handlers.end() || (*it)->m_bSent)
        return;
    const std::string text = FormatCommandIdPrefix(id) + (*it)->GetCommand();
    const CopyDataBlock block{0, static_cast<std::uint32_t>(text.size() + 1), text.c_str()};
    const std::uint32_t result = m_channel.SendCopyData(m_hSkypeWindow, m_hOwnWindow, block);

    // Found again: the table is not to be trusted across a call that leaves
    // this object.
    it = FindById(id);
    if (result != 0) {
        if (it != m_handlers.end()) {
            (*it)->m_bSent = true;
            (*it)->m_dwSentTime = m_channel.GetTickCount();
        }
        return;
    }
    m_hSkypeWindow.clear();
    m_nAttachState = kAttachNotAvailable;
    if (m_pMonitor != nullptr)
        m_pMonitor->OnDetached();
}

std::uint32_t CSkypeConnection::HandleCopyData(const SkypeWindow& hSender,
                                               const CopyDataBlock* pData)
{
    if (m_hSkypeWindow.empty() || hSender != m_hSkypeWindow)
        return 0;
    const std::string text = TextOfBlock(pData);
    if (!text.empty() && text[0] == '#')
        HandleReply(text);
    else
        HandleNotification(text);
    return 1;
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
    if (m_pMonitor != nullptr)
        m_pMonitor->OnNotification(text);
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

std::uint32_t CSkypeConnectionSink::OnWindowMessage(std::uint32_t message,
                                                    const SkypeWindow& wParam, std::uint32_t lParam)
{
    if (message == 0 || message != m_connection.GetAttachMessage())
        return 0;
    return m_connection.HandleAttach(wParam, lParam);
}

std::uint32_t CSkypeConnectionSink::OnCopyData(const SkypeWindow& sender, const CopyDataBlock& data)
{
    return m_connection.HandleCopyData(sender, &data);
}
