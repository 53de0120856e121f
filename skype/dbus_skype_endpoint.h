// One participant of the call client's API on the session bus. It exports
// the API object (attach and copy-data methods), can listen for the discover
// signal, and calls the other side. Its unique bus name is its window id.
//
// The bus stamps every message with the sender's unique name, so a peer can
// claim no window but its own.
#pragma once

#include "skype_channel.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

inline constexpr const char* kSkypeApiObjectPath = "/com/kelmora/SkypeControlAPI";
inline constexpr const char* kSkypeApiInterface = "com.kelmora.SkypeControlAPI";

// What an endpoint is told by its peers. Runs on the endpoint's thread.
class IDBusSkypeReceiver {
public:
    virtual ~IDBusSkypeReceiver() = default;
    virtual std::uint32_t OnAttachCall(const SkypeWindow& caller, std::uint32_t status) = 0;
    // nullopt leaves the call unanswered (the caller's time-out decides).
    virtual std::optional<std::uint32_t> OnCopyDataCall(const SkypeWindow& sender,
                                                        const QByteArray& data) = 0;
    virtual void OnDiscoverSignal(const SkypeWindow& /*sender*/) {}
};

class CDBusSkypeEndpoint : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.kelmora.SkypeControlAPI")

public:
    // Exports the API object on the connection; IsRegistered() says whether
    // that worked (bus reachable, path free).
    CDBusSkypeEndpoint(QDBusConnection connection, IDBusSkypeReceiver& receiver);
    ~CDBusSkypeEndpoint() override;

    bool IsRegistered() const { return m_bRegistered; }
    SkypeWindow GetOwnWindow() const;

    // Starts hearing the discover signal of every participant.
    bool ListenForDiscover();
    void EmitDiscover();

    // Blocks until the peer answers or the time-out passes; 0 when not
    // delivered, with the bus error name in *pError.
    std::uint32_t CallCopyData(const SkypeWindow& target, const QByteArray& data, int timeoutMs,
                               std::string* pError = nullptr);

    // Never blocks; the optional callback hears whether the peer took it.
    using DeliveryCallback = std::function<void(std::uint32_t answer)>;
    void PostCopyData(const SkypeWindow& target, const QByteArray& data,
                      DeliveryCallback onAnswer = {});
    void PostAttach(const SkypeWindow& target, std::uint32_t status,
                    DeliveryCallback onAnswer = {});

signals:
    // Relayed to the bus as a broadcast signal of the API object.
    Q_SCRIPTABLE void SkypeControlAPIDiscover();

public slots:
    Q_SCRIPTABLE uint SkypeControlAPIAttach(uint status);
    Q_SCRIPTABLE uint CopyData(const QByteArray& data);

private slots:
    void OnDiscover(const QDBusMessage& message);

private:
    void PostCall(const QDBusMessage& call, DeliveryCallback onAnswer);

    QDBusConnection m_connection;
    IDBusSkypeReceiver& m_receiver;
    bool m_bRegistered = false;
};
