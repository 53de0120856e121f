#include "test_player.h"

#include "qt_wait.h"

#include <chrono>

CTestPlayer::CTestPlayer(QDBusConnection connection, int deliveryTimeoutMs)
    : m_channel(std::move(connection), deliveryTimeoutMs), m_connection(m_channel, &m_monitor),
      m_sink(m_connection)
{
    m_channel.SetSink(&m_sink);
    m_connection.SetOwnWindow(m_channel.GetOwnWindow());
}

CTestPlayer::~CTestPlayer()
{
    m_channel.SetSink(nullptr);
}

bool CTestPlayer::TickUntilState(std::int32_t state)
{
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (std::chrono::steady_clock::now() < deadline) {
        m_connection.Tick();
        if (WaitFor([&] { return m_connection.GetAttachState() == state; }, 100ms))
            return true;
    }
    return false;
}

std::shared_ptr<CommandLog> CTestPlayer::Issue(const std::string& command,
                                               CLoggingHandler::ResponseAction onResponse)
{
    auto pLog = std::make_shared<CommandLog>();
    const std::int32_t id =
        m_connection.AddHandler(std::make_unique<CLoggingHandler>(command, pLog, onResponse));
    m_connection.SendCommand(id);
    return pLog;
}

bool CTestPlayer::WaitForResponses(const CommandLog& log, std::size_t count)
{
    return WaitFor([&] { return log.responses.size() >= count; });
}

bool CTestPlayer::WaitForNotification(const std::string& line)
{
    return WaitFor([&] { return m_monitor.HasNotification(line); });
}
