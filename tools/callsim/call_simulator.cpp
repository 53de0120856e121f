#include "call_simulator.h"

#include "skype_command_id.h"

#include <QMetaObject>

#include <cstdio>
#include <sstream>

namespace {

void DeleteInputLater(CCallInput* pInput)
{
    if (pInput != nullptr)
        pInput->deleteLater();
}

std::string TextOfBytes(const QByteArray& data)
{
    const qsizetype nul = data.indexOf('\0');
    return std::string(data.constData(), static_cast<std::size_t>(nul < 0 ? data.size() : nul));
}

} // namespace

void PrintEvent(const std::string& line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

CCallSimulator::CCallSimulator(QDBusConnection connection, CallSimOptions options)
    : m_pEndpoint(std::make_unique<CDBusSkypeEndpoint>(std::move(connection),
                                                       static_cast<IDBusSkypeReceiver&>(*this))),
      m_options(std::move(options)), m_discoverStatus(m_options.attachStatus)
{
    for (const auto& [callId, name] : m_options.calls)
        AddCall(callId, name);
    connect(&m_durationTimer, &QTimer::timeout, this, [this] { SendDurations(); });
}

CCallSimulator::~CCallSimulator() = default;

bool CCallSimulator::Start()
{
    if (!m_pEndpoint->IsRegistered() || !m_pEndpoint->ListenForDiscover()) {
        PrintEvent("error cannot register on the session bus");
        return false;
    }
    if (!m_options.recordPath.empty()) {
        m_pRecording = CWavWriter::Create(m_options.recordPath);
        if (!m_pRecording) {
            PrintEvent("error cannot write " + m_options.recordPath);
            return false;
        }
    }
    m_durationTimer.start(m_options.durationIntervalMs);
    PrintEvent("ready " + m_pEndpoint->GetOwnWindow());
    return true;
}

void CCallSimulator::OnDiscoverSignal(const SkypeWindow& sender)
{
    if (m_bHung)
        return;
    PrintEvent("discover " + sender);
    m_discoverers.insert(sender);
    SendAttach(sender, m_discoverStatus);
}

void CCallSimulator::SendAttach(const SkypeWindow& target, std::uint32_t status)
{
    if (status == 0)
        m_attached.insert(target);
    else
        m_attached.erase(target);
    PrintEvent("attach " + target + " " + std::to_string(status));
    m_pEndpoint->PostAttach(target, status);
}

std::uint32_t CCallSimulator::OnAttachCall(const SkypeWindow& caller, std::uint32_t status)
{
    PrintEvent("ignored attach " + caller + " " + std::to_string(status));
    return 0;
}

std::optional<std::uint32_t> CCallSimulator::OnCopyDataCall(const SkypeWindow& sender,
                                                            const QByteArray& data)
{
    const std::string line = TextOfBytes(data);
    if (m_bHung) {
        PrintEvent("unanswered " + sender + " " + line);
        return std::nullopt;
    }
    if (m_attached.count(sender) == 0) {
        PrintEvent("ignored " + sender + " " + line);
        return 0u;
    }
    PrintEvent("recv " + sender + " " + line);
    // Answered first; the reply follows as a call of its own.
    QMetaObject::invokeMethod(
        this, [this, sender, line] { HandleCommandLine(sender, line); }, Qt::QueuedConnection);
    return 1u;
}

void CCallSimulator::HandleCommandLine(const SkypeWindow& sender, const std::string& line)
{
    // The reply carries the command's id; a line without one gets none.
    const auto idPrefix = ParseCommandIdPrefix(line);
    const std::string prefix = idPrefix ? FormatCommandIdPrefix(idPrefix->id) : std::string();
    const std::string commandText = idPrefix ? line.substr(idPrefix->textOffset) : line;
    const ClientCommand command = ParseClientCommand(commandText);
    const auto reply = [&](const std::string& text) { SendLine(sender, prefix + text); };
    const bool bKnownCall = m_calls.count(command.callId) != 0;

    switch (command.kind) {
    case ClientCommandKind::SearchActiveCalls:
        reply(AnswerSearch());
        break;
    case ClientCommandKind::GetCallProperty:
        reply(AnswerGetProperty(command));
        break;
    case ClientCommandKind::SetInputPort: {
        if (!bKnownCall) {
            reply("ERROR 3 Unknown call");
        } else if (m_options.bRefuseInput) {
            reply("ERROR 4 Input switch refused");
        } else {
            // The echo confirms the switch; the connection follows it.
            auto accept = [this, sender, echo = prefix + commandText, command] {
                SendLine(sender, echo);
                StartInput(command.callId, command.port);
            };
            if (m_options.inputDelayMs > 0)
                QTimer::singleShot(m_options.inputDelayMs, this, accept);
            else
                accept();
        }
        break;
    }
    case ClientCommandKind::SetInputSoundcard:
        if (!bKnownCall) {
            reply("ERROR 3 Unknown call");
            break;
        }
        reply(commandText);
        StopInput(command.callId, "closed", false);
        break;
    case ClientCommandKind::Unknown:
        reply("ERROR 2 Unknown command");
        break;
    }
}

std::string CCallSimulator::AnswerSearch() const
{
    std::string reply = "CALLS ";
    for (auto it = m_calls.begin(); it != m_calls.end(); ++it)
        reply += (it == m_calls.begin() ? "" : ", ") + std::to_string(it->first);
    return reply;
}

std::string CCallSimulator::AnswerGetProperty(const ClientCommand& command) const
{
    const auto it = m_calls.find(command.callId);
    if (it == m_calls.end())
        return "ERROR 3 Unknown call";
    const std::string prefix = "CALL " + std::to_string(command.callId) + " ";
    if (command.property == "PARTNER_DISPNAME")
        return prefix + "PARTNER_DISPNAME " + it->second.partnerName;
    if (command.property == "STATUS")
        return prefix + "STATUS INPROGRESS";
    if (command.property == "DURATION")
        return prefix + "DURATION " + std::to_string(it->second.started.elapsed() / 1000);
    return "ERROR 5 Unknown property";
}

void CCallSimulator::SendLine(const SkypeWindow& target, const std::string& text)
{
    if (m_bHung)
        return;
    PrintEvent("send " + target + " " + text);
    QByteArray bytes(text.c_str(), static_cast<qsizetype>(text.size() + 1)); // with its NUL
    m_pEndpoint->PostCopyData(target, bytes,
                              [this, target](std::uint32_t answer, const std::string&) {
                                  if (answer == 0 && m_attached.erase(target) != 0)
                                      PrintEvent("undelivered " + target);
                              });
}

void CCallSimulator::Notify(const std::string& line)
{
    const std::set<SkypeWindow> targets = m_attached; // SendLine may detach one
    for (const SkypeWindow& target : targets)
        SendLine(target, line);
}

void CCallSimulator::AddCall(int callId, const std::string& partnerName)
{
    Call& call = m_calls[callId];
    call.partnerName = partnerName;
    call.started.start();
    PrintEvent("call added " + std::to_string(callId) + " " + partnerName);
}

void CCallSimulator::ReportStatus(int callId, const std::string& word)
{
    Notify("CALL " + std::to_string(callId) + " STATUS " + word);
    if (IsCallEndingStatus(word) && m_calls.count(callId) != 0) {
        StopInput(callId, "closed", false);
        m_calls.erase(callId);
        PrintEvent("call ended " + std::to_string(callId) + " " + word);
    }
}

void CCallSimulator::StartInput(int callId, int port)
{
    const auto it = m_calls.find(callId);
    if (it == m_calls.end())
        return;
    StopInput(callId, "closed", false);
    CCallInput::Callbacks callbacks;
    callbacks.onConnected = [callId, port] {
        PrintEvent("input connected " + std::to_string(callId) + " " + std::to_string(port));
    };
    callbacks.onLost = [this, callId] { StopInput(callId, "lost", true); };
    it->second.pInput = {new CCallInput(port, m_pRecording, std::move(callbacks)),
                         DeleteInputLater};
    it->second.pInput->setParent(this);
}

void CCallSimulator::StopInput(int callId, const char* pszEvent, bool bReportLost)
{
    const auto it = m_calls.find(callId);
    if (it == m_calls.end() || !it->second.pInput)
        return;
    CCallInput& input = *it->second.pInput;
    input.Close();
    PrintEvent(std::string("input ") + pszEvent + " " + std::to_string(callId) + " " +
               std::to_string(input.GetReceivedBytes()));
    it->second.pInput.reset();
    if (bReportLost)
        Notify("CALL " + std::to_string(callId) + " VAA_INPUT_STATUS FALSE");
}

void CCallSimulator::SendDurations()
{
    for (const auto& [callId, call] : m_calls)
        Notify("CALL " + std::to_string(callId) + " DURATION " +
               std::to_string(call.started.elapsed() / 1000));
}
