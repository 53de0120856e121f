// callsim as a child process of a test, its event lines gathered as they come.
#pragma once

#include <QProcess>

#include <string>
#include <vector>

#include "app_testkit.h"

namespace apptest {

// callsim as a child process; its event lines are gathered as they come.
class CCallsim {
public:
    explicit CCallsim(const QStringList& arguments)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            while (m_process.canReadLine())
                m_lines.push_back(m_process.readLine().trimmed().toStdString());
        });
        m_process.start(QStringLiteral(VOXREEL_CALLSIM_PATH), arguments);
    }
    ~CCallsim() { Kill(); }
    void Kill()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    void Control(const std::string& line) { m_process.write((line + "\n").c_str()); }
    // The index of the first line from nFrom on that contains text, or -1.
    int Find(const std::string& text, int nFrom = 0) const
    {
        for (std::size_t i = static_cast<std::size_t>(nFrom); i < m_lines.size(); ++i) {
            if (m_lines[i].find(text) != std::string::npos)
                return static_cast<int>(i);
        }
        return -1;
    }
    bool WaitFor(const std::string& text, int nFrom = 0)
    {
        return apptest::WaitFor([&] { return Find(text, nFrom) >= 0; }, 20s);
    }
    int Count() const { return static_cast<int>(m_lines.size()); }

private:
    QProcess m_process;
    std::vector<std::string> m_lines;
};

} // namespace apptest
