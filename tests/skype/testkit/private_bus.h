// A bus daemon of a test's own. Tests that run the client get one each: the
// discover signal is a broadcast, so two tests sharing a bus would answer
// each other's players.
#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>

class CPrivateBus {
public:
    CPrivateBus();
    ~CPrivateBus();

    CPrivateBus(const CPrivateBus&) = delete;
    CPrivateBus& operator=(const CPrivateBus&) = delete;

    bool IsUp() const { return !m_address.isEmpty(); }
    const QString& GetAddress() const { return m_address; }
    // A new connection of its own (its own unique name), closed with the bus.
    QDBusConnection Connect();

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_connectionNames;
};
