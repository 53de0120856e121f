#include "callsim_process.h"

#include "qt_wait.h"

#include <QProcessEnvironment>

CCallsimProcess::CCallsimProcess(const QString& busAddress, const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(VOXREEL_CALLSIM_PATH), arguments);
}

CCallsimProcess::~CCallsimProcess()
{
    Kill();
}

bool CCallsimProcess::WaitReady()
{
    if (!WaitForLine("ready "))
        return false;
    m_window = m_lines[static_cast<std::size_t>(FindLine("ready "))].substr(6);
    return true;
}

void CCallsimProcess::Control(const std::string& line)
{
    const std::string withEnd = line + "\n";
    m_process.write(withEnd.data(), static_cast<qint64>(withEnd.size()));
}

void CCallsimProcess::Kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

const std::vector<std::string>& CCallsimProcess::Lines()
{
    m_partial += m_process.readAllStandardOutput().toStdString();
    for (std::size_t end; (end = m_partial.find('\n')) != std::string::npos;) {
        m_lines.push_back(m_partial.substr(0, end));
        m_partial.erase(0, end + 1);
    }
    return m_lines;
}

int CCallsimProcess::FindLine(const std::string& text, std::size_t from)
{
    const auto& lines = Lines();
    for (std::size_t i = from; i < lines.size(); ++i)
        if (lines[i].find(text) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

bool CCallsimProcess::WaitForLine(const std::string& text)
{
    return WaitFor([&] { return FindLine(text) >= 0; });
}
