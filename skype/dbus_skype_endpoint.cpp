#include "dbus_skype_endpoint.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString kDiscoverSignal = QStringLiteral("SkypeControlAPIDiscover");

QString ToQString(const SkypeWindow& window)
{
    return QString::fromStdString(window);
}

SkypeWindow ToWindow(const QString& name)
{
    return name.toStdString();
}

} // namespace

CDBusSkypeEndpoint::CDBusSkypeEndpoint(QDBusConnection connection, IDBusSkypeReceiver& receiver)
    : m_connection(std::move(connection)), m_receiver(receiver)
{
    m_bRegistered = m_connection.isConnected() &&
                    m_connection.registerObject(QString::fromLatin1(kSkypeApiObjectPath), this,
                                                QDBusConnection::ExportScriptableSlots |
                                                    QDBusConnection::ExportScriptableSignals);
}

CDBusSkypeEndpoint::~CDBusSkypeEndpoint()
{
    if (m_bRegistered)
        m_connection.unregisterObject(QString::fromLatin1(kSkypeApiObjectPath));
}

SkypeWindow CDBusSkypeEndpoint::GetOwnWindow() const
{
    return ToWindow(m_connection.baseService());
}

bool CDBusSkypeEndpoint::ListenForDiscover()
{
    return m_connection.connect(QString(), QString(), QString::fromLatin1(kSkypeApiInterface),
                                kDiscoverSignal, this, SLOT(OnDiscover(QDBusMessage)));
}

void CDBusSkypeEndpoint::EmitDiscover()
{
    emit SkypeControlAPIDiscover();
}

void CDBusSkypeEndpoint::PostCopyData(const SkypeWindow& target, const QByteArray& data,
                                      DeliveryCallback onAnswer, int timeoutMs)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        ToQString(target), QString::fromLatin1(kSkypeApiObjectPath),
        QString::fromLatin1(kSkypeApiInterface), QStringLiteral("CopyData"));
    call << data;
    PostCall(call, std::move(onAnswer), timeoutMs);
}

void CDBusSkypeEndpoint::PostAttach(const SkypeWindow& target, std::uint32_t status,
                                    DeliveryCallback onAnswer)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        ToQString(target), QString::fromLatin1(kSkypeApiObjectPath),
        QString::fromLatin1(kSkypeApiInterface), QStringLiteral("SkypeControlAPIAttach"));
    call << static_cast<uint>(status);
    PostCall(call, std::move(onAnswer), -1);
}

void CDBusSkypeEndpoint::PostCall(const QDBusMessage& call, DeliveryCallback onAnswer,
                                  int timeoutMs)
{
    if (!onAnswer) {
        m_connection.send(call);
        return;
    }
    auto* pWatcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call, timeoutMs), this);
    connect(pWatcher, &QDBusPendingCallWatcher::finished, this,
            [onAnswer = std::move(onAnswer)](QDBusPendingCallWatcher* pFinished) {
                const QDBusPendingReply<uint> reply = *pFinished;
                pFinished->deleteLater();
                if (reply.isError())
                    onAnswer(0u, reply.error().name().toStdString());
                else
                    onAnswer(reply.value(), {});
            });
}

void CDBusSkypeEndpoint::WaitForAnswers()
{
    // Each call has its own time-out, so together they wait no longer than
    // the longest of them.
    for (QDBusPendingCallWatcher* pWatcher :
         findChildren<QDBusPendingCallWatcher*>(Qt::FindDirectChildrenOnly))
        pWatcher->waitForFinished();
}

uint CDBusSkypeEndpoint::SkypeControlAPIAttach(uint status)
{
    return m_receiver.OnAttachCall(ToWindow(message().service()), status);
}

uint CDBusSkypeEndpoint::CopyData(const QByteArray& data)
{
    const auto answer = m_receiver.OnCopyDataCall(ToWindow(message().service()), data);
    if (!answer) {
        setDelayedReply(true); // and never reply: the caller's time-out decides
        return 0;
    }
    return *answer;
}

void CDBusSkypeEndpoint::OnDiscover(const QDBusMessage& message)
{
    if (message.service() != m_connection.baseService())
        m_receiver.OnDiscoverSignal(ToWindow(message.service()));
}
