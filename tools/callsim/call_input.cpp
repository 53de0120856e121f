#include "call_input.h"

#include <QHostAddress>

CCallInput::CCallInput(int port, std::shared_ptr<CWavWriter> pRecording, Callbacks callbacks)
    : m_port(port), m_pRecording(std::move(pRecording)), m_callbacks(std::move(callbacks))
{
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        if (m_callbacks.onConnected)
            m_callbacks.onConnected();
    });
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] { ReadAvailable(); });
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] { ReportLost(); });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this] { ReportLost(); });
    m_socket.connectToHost(QHostAddress(QHostAddress::LocalHost), static_cast<quint16>(port));
}

CCallInput::~CCallInput()
{
    Close();
}

void CCallInput::Close()
{
    m_bFinished = true;
    m_socket.abort();
}

void CCallInput::ReadAvailable()
{
    const QByteArray bytes = m_socket.readAll();
    m_receivedBytes += static_cast<std::uint64_t>(bytes.size());
    if (m_pRecording)
        m_pRecording->Append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void CCallInput::ReportLost()
{
    if (m_bFinished)
        return;
    m_bFinished = true;
    ReadAvailable(); // what arrived before the close still belongs to the call
    if (m_callbacks.onLost)
        m_callbacks.onLost();
}
