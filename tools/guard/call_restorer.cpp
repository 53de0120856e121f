#include "call_restorer.h"

#include <QDBusConnection>

#include <algorithm>
#include <functional>

#include "skype_command_handler.h"

namespace {

constexpr int kDiscoverEveryMs = 200;
// A blocked delivery must not use up the whole deadline on one call.
constexpr int kDeliveryTimeoutMs = 400;

class CSoundcardInput final : public CSkypeCommandHandler {
public:
    using AnswerFn = std::function<void(std::int32_t, const std::string&)>;
    CSoundcardInput(std::int32_t nCallId, AnswerFn onAnswer)
        : m_nCallId(nCallId), m_onAnswer(std::move(onAnswer))
    {
    }
    std::string GetCommand() const override
    {
        return "ALTER CALL " + std::to_string(m_nCallId) + " SET_INPUT SOUNDCARD=\"default\"";
    }
    void OnResponse(const std::string& response) override
    {
        m_bComplete = true;
        m_onAnswer(m_nCallId, response);
    }

private:
    const std::int32_t m_nCallId;
    const AnswerFn m_onAnswer;
};

} // namespace

CCallRestorer::CCallRestorer(std::vector<std::int32_t> calls)
    : m_pending(std::move(calls)), m_channel(QDBusConnection::sessionBus(), kDeliveryTimeoutMs)
{
    m_link.SetOwnWindow(m_channel.GetOwnWindow());
    m_link.SetEvents({[this] { OnAttached(); }, {}, {}});
    QObject::connect(&m_discover, &QTimer::timeout, [this] {
        if (m_link.GetAttachState() != CSkypeConnection::kAttachSuccess)
            m_link.Tick(); // discovers again
    });
}

std::vector<std::string> CCallRestorer::Run(Clock::time_point deadline)
{
    if (!m_link.IsUsable())
        return {"the session bus cannot be used"};
    const auto remaining =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    QTimer::singleShot(std::max<int>(0, static_cast<int>(remaining.count())), &m_loop,
                       &QEventLoop::quit);
    m_link.Tick();
    m_discover.start(kDiscoverEveryMs);
    if (!m_pending.empty())
        m_loop.exec();
    m_discover.stop();
    std::vector<std::string> problems = m_problems;
    const char* pszWhy = m_link.GetAttachState() == CSkypeConnection::kAttachSuccess
                             ? "the call client did not answer in time"
                             : "no call client attached in time";
    for (std::int32_t nCallId : m_pending)
        problems.push_back(std::string(pszWhy) + "; call " + std::to_string(nCallId) +
                           " may still take its input from Voxreel's port");
    return problems;
}

void CCallRestorer::OnAttached()
{
    // Not from inside the client's attach call: its answer goes first.
    QTimer::singleShot(0, &m_loop, [this] { SendAll(); });
}

void CCallRestorer::SendAll()
{
    if (m_bSent)
        return;
    m_bSent = true;
    const std::vector<std::int32_t> calls = m_pending;
    for (std::int32_t nCallId : calls) {
        m_link.SendCommand(m_link.AddHandler(std::make_unique<CSoundcardInput>(
            nCallId,
            [this](std::int32_t nId, const std::string& answer) { OnAnswer(nId, answer); })));
    }
}

void CCallRestorer::OnAnswer(std::int32_t nCallId, const std::string& answer)
{
    m_pending.erase(std::remove(m_pending.begin(), m_pending.end(), nCallId), m_pending.end());
    // The client echoes a switch it takes; an ended call is an error that
    // leaves nothing to undo.
    if (answer.rfind("ALTER CALL", 0) != 0)
        m_problems.push_back("call " + std::to_string(nCallId) + ": the client said " + answer);
    if (m_pending.empty())
        m_loop.quit();
}
