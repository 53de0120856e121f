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

std::uint32_t CDBusSkypeEndpoint::CallCopyData(const SkypeWindow& target, const QByteArray& data,
                                               int timeoutMs, std::string* pError)
{
    if (target.empty()) {
        if (pError != nullptr)
            *pError = "no window";
        return 0;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        ToQString(target), QString::fromLatin1(kSkypeApiObjectPath),
        QString::fromLatin1(kSkypeApiInterface), QStringLiteral("CopyData"));
    call << data;
    // Block, not BlockWithGui: nothing of ours runs again until the answer,
    // so the caller's state cannot change under it.
    const QDBusMessage reply = m_connection.call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        if (pError != nullptr)
            *pError = reply.errorName().toStdString();
        return 0;
    }
    if (pError != nullptr)
        pError->clear();
    return reply.arguments().constFirst().toUInt();
}

void CDBusSkypeEndpoint::PostCopyData(const SkypeWindow& target, const QByteArray& data,
                                      DeliveryCallback onAnswer)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        ToQString(target), QString::fromLatin1(kSkypeApiObjectPath),
        QString::fromLatin1(kSkypeApiInterface), QStringLiteral("CopyData"));
    call << data;
    PostCall(call, std::move(onAnswer));
}

void CDBusSkypeEndpoint::PostAttach(const SkypeWindow& target, std::uint32_t status,
                                    DeliveryCallback onAnswer)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        ToQString(target), QString::fromLatin1(kSkypeApiObjectPath),
        QString::fromLatin1(kSkypeApiInterface), QStringLiteral("SkypeControlAPIAttach"));
    call << static_cast<uint>(status);
    PostCall(call, std::move(onAnswer));
}

void CDBusSkypeEndpoint::PostCall(const QDBusMessage& call, DeliveryCallback onAnswer)
{
    if (!onAnswer) {
        m_connection.send(call);
        return;
    }
    auto* pWatcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(pWatcher, &QDBusPendingCallWatcher::finished, this,
            [onAnswer = std::move(onAnswer)](QDBusPendingCallWatcher* pFinished) {
                const QDBusPendingReply<uint> reply = *pFinished;
                onAnswer(reply.isError() ? 0u : reply.value());
                pFinished->deleteLater();
            });
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
