// The link's channel over the session bus: the player's side. Discover is a
// broadcast signal; lines go out as asynchronous CopyData calls with a short
// time-out, whose answers come back through the event loop; the client's
// attach and CopyData calls go to the inbox.
#pragma once

#include "dbus_skype_endpoint.h"
#include "skype_channel.h"

#include <QDBusConnection>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

class CDBusSkypeChannel : public ISkypeChannel, private IDBusSkypeReceiver {
public:
    static constexpr int kDefaultDeliveryTimeoutMs = 1000;

    // Exports the API object on the connection. When the bus cannot be
    // reached or the object cannot be exported, IsUsable() is false.
    explicit CDBusSkypeChannel(QDBusConnection connection = QDBusConnection::sessionBus(),
                               int deliveryTimeoutMs = kDefaultDeliveryTimeoutMs);
    ~CDBusSkypeChannel() override;

    SkypeWindow GetOwnWindow() const;
    // The bus error of the last failed delivery ("" after a delivered one).
    const std::string& GetLastDeliveryError() const { return m_lastDeliveryError; }

    bool IsUsable() const override;
    void SetInbox(SkypeChannelInbox inbox) override { m_inbox = std::move(inbox); }
    void BroadcastDiscover(const SkypeWindow& own) override;
    void SendText(const SkypeWindow& target, const std::string& text,
                  DeliveryCallback onDelivered) override;
    void FlushDeliveries() override;
    std::uint32_t GetTickCount() override;

private:
    std::uint32_t OnAttachCall(const SkypeWindow& caller, std::uint32_t status) override;
    std::optional<std::uint32_t> OnCopyDataCall(const SkypeWindow& sender,
                                                const QByteArray& data) override;

    std::unique_ptr<CDBusSkypeEndpoint> m_pEndpoint;
    int m_deliveryTimeoutMs;
    SkypeChannelInbox m_inbox;
    std::string m_lastDeliveryError;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};
