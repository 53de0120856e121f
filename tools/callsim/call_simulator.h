// The substitute call client: answers the player's discover and commands on
// the bus, keeps the calls under way, reports their duration and status, and
// feeds each switched input from the player's TCP port into the recording.
// It never blocks on a call to a player: commands are answered at once and
// replies and notifications go out as separate asynchronous calls.
#pragma once

#include "call_input.h"
#include "client_command.h"
#include "dbus_skype_endpoint.h"
#include "wav_writer.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

struct CallSimOptions {
    std::map<int, std::string> calls; // call id -> partner display name
    std::string recordPath;
    std::uint32_t attachStatus = 0;
    bool bRefuseInput = false;
    int inputDelayMs = 0;
    int durationIntervalMs = 1000;
};

class CCallSimulator : public QObject, private IDBusSkypeReceiver {
public:
    CCallSimulator(QDBusConnection connection, CallSimOptions options);
    ~CCallSimulator() override;

    // Exports the API object and listens for discover; false when the bus
    // cannot be used.
    bool Start();
    // One line of the control channel; false when it was not understood.
    bool HandleControlLine(const std::string& line);

private:
    struct Call {
        std::string partnerName;
        QElapsedTimer started;
        std::unique_ptr<CCallInput, void (*)(CCallInput*)> pInput{nullptr, nullptr};
    };

    std::uint32_t OnAttachCall(const SkypeWindow& caller, std::uint32_t status) override;
    std::optional<std::uint32_t> OnCopyDataCall(const SkypeWindow& sender,
                                                const QByteArray& data) override;
    void OnDiscoverSignal(const SkypeWindow& sender) override;

    void HandleCommandLine(const SkypeWindow& sender, const std::string& line);
    std::string AnswerCommand(const SkypeWindow& sender, const std::string& text, bool* pbDeferred);
    std::string AnswerSearch() const;
    std::string AnswerGetProperty(const ClientCommand& command) const;
    std::string AnswerSetInput(const SkypeWindow& sender, const ClientCommand& command,
                               const std::string& text, bool* pbDeferred);
    void SendLine(const SkypeWindow& target, const std::string& text);
    void Notify(const std::string& line);
    void SendAttach(const SkypeWindow& target, std::uint32_t status);

    void AddCall(int callId, const std::string& partnerName);
    void ReportStatus(int callId, const std::string& word);
    void StartInput(int callId, int port);
    void StopInput(int callId, const char* pszEvent, bool bReportLost);
    void SendDurations();

    bool HandleAttachControl(const std::string& argument);

    std::unique_ptr<CDBusSkypeEndpoint> m_pEndpoint;
    CallSimOptions m_options;
    std::map<int, Call> m_calls;
    std::set<SkypeWindow> m_discoverers; // every window that discovered us
    std::set<SkypeWindow> m_attached;    // windows whose commands we take
    std::shared_ptr<CWavWriter> m_pRecording;
    std::uint32_t m_discoverStatus;
    bool m_bHung = false;
    QTimer m_durationTimer;
};

// One event line on standard output.
void PrintEvent(const std::string& line);
