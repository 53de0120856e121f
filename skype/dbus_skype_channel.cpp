#include "dbus_skype_channel.h"

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

bool CDBusSkypeChannel::IsUsable() const
{
    return m_pEndpoint->IsRegistered();
}

void CDBusSkypeChannel::BroadcastDiscover(const SkypeWindow& /*own*/)
{
    // The sender of the signal is the own window; the bus says so itself.
    if (IsUsable())
        m_pEndpoint->EmitDiscover();
}

void CDBusSkypeChannel::SendText(const SkypeWindow& target, const std::string& text,
                                 DeliveryCallback onDelivered)
{
    if (target.empty()) {
        m_lastDeliveryError = "no window";
        if (onDelivered)
            onDelivered(false);
        return;
    }
    // The client reads the line up to its NUL.
    const QByteArray bytes(text.c_str(), static_cast<qsizetype>(text.size() + 1));
    // The endpoint, and with it every pending answer, goes with this object.
    m_pEndpoint->PostCopyData(
        target, bytes,
        [this, onDelivered = std::move(onDelivered)](std::uint32_t answer,
                                                     const std::string& error) {
            m_lastDeliveryError = answer != 0 ? std::string() : error;
            if (onDelivered)
                onDelivered(answer != 0);
        },
        m_deliveryTimeoutMs);
}

void CDBusSkypeChannel::FlushDeliveries()
{
    m_pEndpoint->WaitForAnswers();
}

std::uint32_t CDBusSkypeChannel::GetTickCount()
{
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - m_start);
    return static_cast<std::uint32_t>(elapsed.count());
}

std::uint32_t CDBusSkypeChannel::OnAttachCall(const SkypeWindow& caller, std::uint32_t status)
{
    return m_inbox.onAttach ? m_inbox.onAttach(caller, status) : 0;
}

std::optional<std::uint32_t> CDBusSkypeChannel::OnCopyDataCall(const SkypeWindow& sender,
                                                               const QByteArray& data)
{
    const std::string text =
        TextBeforeNul(std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
    return m_inbox.onText && m_inbox.onText(sender, text) ? 1u : 0u;
}
