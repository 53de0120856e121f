#include "dbus_skype_channel.h"

#include <cstring>

namespace {
// The two names the API knows. Their ids need only be stable inside the
// process: on the bus the message is named by its member, not its id.
constexpr std::uint32_t kAttachMessageId = 0xC001;
constexpr std::uint32_t kDiscoverMessageId = 0xC002;
} // namespace

CDBusSkypeChannel::CDBusSkypeChannel(QDBusConnection connection, int deliveryTimeoutMs)
    : m_pEndpoint(std::make_unique<CDBusSkypeEndpoint>(std::move(connection),
                                                       static_cast<IDBusSkypeReceiver&>(*this))),
      m_deliveryTimeoutMs(deliveryTimeoutMs)
{
}

CDBusSkypeChannel::~CDBusSkypeChannel() = default;

SkypeWindow CDBusSkypeChannel::GetOwnWindow() const
{
    return m_pEndpoint->GetOwnWindow();
}

std::uint32_t CDBusSkypeChannel::RegisterMessage(const std::string& name)
{
    if (!m_pEndpoint->IsRegistered())
        return 0;
    if (name == kSkypeAttachMessageName)
        return kAttachMessageId;
    if (name == kSkypeDiscoverMessageName)
        return kDiscoverMessageId;
    return 0;
}

void CDBusSkypeChannel::Broadcast(std::uint32_t message, const SkypeWindow& /*wParam*/,
                                  std::uint32_t /*lParam*/)
{
    // The sender of the signal is the own window; the bus says so itself.
    if (message == kDiscoverMessageId && m_pEndpoint->IsRegistered())
        m_pEndpoint->EmitDiscover();
}

std::uint32_t CDBusSkypeChannel::SendCopyData(const SkypeWindow& target,
                                              const SkypeWindow& /*wParam*/,
                                              const CopyDataBlock& data)
{
    QByteArray bytes;
    if (data.lpData != nullptr)
        bytes =
            QByteArray(static_cast<const char*>(data.lpData), static_cast<qsizetype>(data.cbData));
    return m_pEndpoint->CallCopyData(target, bytes, m_deliveryTimeoutMs, &m_lastDeliveryError);
}

std::uint32_t CDBusSkypeChannel::GetTickCount()
{
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - m_start);
    return static_cast<std::uint32_t>(elapsed.count());
}

std::uint32_t CDBusSkypeChannel::OnAttachCall(const SkypeWindow& caller, std::uint32_t status)
{
    return m_pSink != nullptr ? m_pSink->OnWindowMessage(kAttachMessageId, caller, status) : 0;
}

std::optional<std::uint32_t> CDBusSkypeChannel::OnCopyDataCall(const SkypeWindow& sender,
                                                               const QByteArray& data)
{
    if (m_pSink == nullptr)
        return 0u;
    const CopyDataBlock block{0, static_cast<std::uint32_t>(data.size()), data.constData()};
    return m_pSink->OnCopyData(sender, block);
}
