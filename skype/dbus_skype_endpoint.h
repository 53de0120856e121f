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

    // Never blocks; the optional callback hears the peer's answer, or 0 and
    // the bus error's name when the call failed or the time-out (-1: the
    // bus's default) passed first. It runs from the event loop, never from
    // inside the Post call.
    using DeliveryCallback = std::function<void(std::uint32_t answer, const std::string& error)>;
    void PostCopyData(const SkypeWindow& target, const QByteArray& data,
                      DeliveryCallback onAnswer = {}, int timeoutMs = -1);
    void PostAttach(const SkypeWindow& target, std::uint32_t status,
                    DeliveryCallback onAnswer = {});
    // Blocks until every call posted with a callback has its answer or its
    // time-out; for closing only.
    void WaitForAnswers();

signals:
    // Relayed to the bus as a broadcast signal of the API object.
    Q_SCRIPTABLE void SkypeControlAPIDiscover();

public slots:
    Q_SCRIPTABLE uint SkypeControlAPIAttach(uint status);
    Q_SCRIPTABLE uint CopyData(const QByteArray& data);

private slots:
    void OnDiscover(const QDBusMessage& message);

private:
    void PostCall(const QDBusMessage& call, DeliveryCallback onAnswer, int timeoutMs);

    QDBusConnection m_connection;
    IDBusSkypeReceiver& m_receiver;
    bool m_bRegistered = false;
};
