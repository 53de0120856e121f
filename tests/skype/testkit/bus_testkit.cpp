#include "bus_testkit.h"

#include <QCoreApplication>

#include <algorithm>

#include "voxreel_test_support.h"

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    return voxreel::test::WaitUntil(
        [&] {
            QCoreApplication::processEvents();
            return condition();
        },
        limit);
}

QDBusConnection ConnectToBus()
{
    static int s_count = 0;
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                         QStringLiteral("test-%1").arg(++s_count));
}

CCallsimProcess::CCallsimProcess(const QStringList& arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(VOXREEL_CALLSIM_PATH), arguments);
    if (const int ready = WaitForLine("ready "); ready >= 0)
        m_window = m_lines[static_cast<std::size_t>(ready)].substr(6);
}

void CCallsimProcess::Kill()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

int CCallsimProcess::WaitForLine(const std::string& text, int nFrom)
{
    for (auto i = static_cast<std::size_t>(nFrom); WaitFor([&] {
             while (m_process.canReadLine())
                 m_lines.push_back(m_process.readLine().trimmed().toStdString());
             return i < m_lines.size();
         });
         ++i)
        if (m_lines[i].find(text) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

CTestPlayer::CTestPlayer(int deliveryTimeoutMs) : m_channel(ConnectToBus(), deliveryTimeoutMs)
{
    m_connection.SetOwnWindow(m_channel.GetOwnWindow());
}

bool CTestPlayer::TickUntilState()
{
    return WaitFor([&] {
        m_connection.Tick();
        return WaitFor(
            [&] { return m_connection.GetAttachState() == CSkypeConnection::kAttachSuccess; },
            std::chrono::milliseconds(100));
    });
}

std::shared_ptr<CommandLog> CTestPlayer::Issue(const std::string& command)
{
    auto pLog = std::make_shared<CommandLog>();
    m_connection.Issue(std::make_unique<CLoggingHandler>(command, pLog));
    return pLog;
}

std::string CTestPlayer::Ask(const std::string& command)
{
    auto pLog = Issue(command);
    return WaitFor([&] { return !pLog->responses.empty(); }) ? pLog->responses[0] : "(no reply)";
}

bool CTestPlayer::WaitForNotification(const std::string& prefix)
{
    return WaitFor([&] {
        return std::ranges::any_of(m_events.m_notifications,
                                   [&](const auto& line) { return line.starts_with(prefix); });
    });
}
