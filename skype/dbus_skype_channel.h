// The link's channel over the session bus: the player's side. Discover is a
// broadcast signal, commands are blocking CopyData calls with a short
// time-out, and the client's attach and copy-data calls go to the sink.
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
    // reached or the object cannot be exported, RegisterMessage returns 0.
    explicit CDBusSkypeChannel(QDBusConnection connection = QDBusConnection::sessionBus(),
                               int deliveryTimeoutMs = kDefaultDeliveryTimeoutMs);
    ~CDBusSkypeChannel() override;

    // The own window's message handling; not owned, may be null.
    void SetSink(ISkypeWindowSink* pSink) { m_pSink = pSink; }
    SkypeWindow GetOwnWindow() const;
    // The bus error of the last failed delivery ("" after a delivered one).
    const std::string& GetLastDeliveryError() const { return m_lastDeliveryError; }

    std::uint32_t RegisterMessage(const std::string& name) override;
    void Broadcast(std::uint32_t message, const SkypeWindow& wParam, std::uint32_t lParam) override;
    std::uint32_t SendCopyData(const SkypeWindow& target, const SkypeWindow& wParam,
                               const CopyDataBlock& data) override;
    std::uint32_t GetTickCount() override;

private:
    std::uint32_t OnAttachCall(const SkypeWindow& caller, std::uint32_t status) override;
    std::optional<std::uint32_t> OnCopyDataCall(const SkypeWindow& sender,
                                                const QByteArray& data) override;

    std::unique_ptr<CDBusSkypeEndpoint> m_pEndpoint;
    int m_deliveryTimeoutMs;
    ISkypeWindowSink* m_pSink = nullptr;
    std::string m_lastDeliveryError;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};
