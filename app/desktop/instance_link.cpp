#include "instance_link.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>

bool CInstanceLink::Claim()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return true;
    const auto reply = bus.interface()->registerService(
        QString::fromLatin1(kServiceName), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered)
        return false;
    bus.registerObject(QString::fromLatin1(kObjectPath), this,
                       QDBusConnection::ExportScriptableSlots);
    return true;
}

bool CInstanceLink::HandOver(const CCommandLine& line)
{
    QStringList paths;
    for (const auto& path : line.paths)
        paths << QFile::decodeName(QByteArray::fromStdString(path.native()));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kServiceName), QString::fromLatin1(kObjectPath),
        QString::fromLatin1(kServiceName), QStringLiteral("Open"));
    call << paths << line.bPlay;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

void CInstanceLink::Open(const QStringList& paths, bool play)
{
    CCommandLine line;
    line.bPlay = play;
    for (const QString& path : paths)
        line.paths.emplace_back(QFile::encodeName(path).toStdString());
    if (m_onOpen)
        m_onOpen(std::move(line));
}
