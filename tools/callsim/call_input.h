// The network input of one call: a TCP connection to the player's port on
// 127.0.0.1 whose bytes are the call's outgoing audio, appended to the
// recording as they arrive.
#pragma once

#include "wav_writer.h"

#include <QObject>
#include <QTcpSocket>

#include <cstdint>
#include <functional>
#include <memory>

class CCallInput : public QObject {
public:
    struct Callbacks {
        std::function<void()> onConnected;
        // The peer closed, or the connection could not be made. Called once;
        // never after Close().
        std::function<void()> onLost;
    };

    // pRecording may be null (nothing is kept, bytes are only counted).
    CCallInput(int port, std::shared_ptr<CWavWriter> pRecording, Callbacks callbacks);
    ~CCallInput() override;

    // Closes on our side; no loss is reported.
    void Close();
    int GetPort() const { return m_port; }
    std::uint64_t GetReceivedBytes() const { return m_receivedBytes; }

private:
    void ReadAvailable();
    void ReportLost();

    int m_port;
    std::shared_ptr<CWavWriter> m_pRecording;
    Callbacks m_callbacks;
    QTcpSocket m_socket;
    std::uint64_t m_receivedBytes = 0;
    bool m_bFinished = false; // lost or closed: nothing more is reported
};
