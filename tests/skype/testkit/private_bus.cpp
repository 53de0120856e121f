#include "private_bus.h"

#include <chrono>

CPrivateBus::CPrivateBus()
{
    m_daemon.setProcessChannelMode(QProcess::SeparateChannels);
    m_daemon.setStandardErrorFile(QProcess::nullDevice());
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1")});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!m_daemon.canReadLine() && std::chrono::steady_clock::now() < deadline &&
           m_daemon.state() != QProcess::NotRunning)
        m_daemon.waitForReadyRead(100);
    if (m_daemon.canReadLine())
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

CPrivateBus::~CPrivateBus()
{
    for (const QString& name : m_connectionNames)
        QDBusConnection::disconnectFromBus(name);
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
}

QDBusConnection CPrivateBus::Connect()
{
    static int s_nextConnection = 0;
    const QString name = QStringLiteral("voxreel-test-%1").arg(++s_nextConnection);
    m_connectionNames << name;
    return QDBusConnection::connectToBus(m_address, name);
}
