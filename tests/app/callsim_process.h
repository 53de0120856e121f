// The child processes of a test: callsim, its event lines gathered as they
// come, and the voxreel program itself.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

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
    // Once this returns, every event callsim printed before has been read.
    void Settle()
    {
        Control("notify settled");
        EXPECT_TRUE(WaitFor("control notify settled"));
    }
    // How often a call was told to take its input from the sound card again.
    int SwitchBacks(const std::string& strCall) const
    {
        int n = 0;
        for (int i = 0; (i = Find("recv", i)) >= 0; ++i)
            n += Find("ALTER CALL " + strCall + " SET_INPUT SOUNDCARD=\"default\"", i) == i;
        return n;
    }

private:
    QProcess m_process;
    std::vector<std::string> m_lines;
};

// The voxreel program's environment under a test: its settings and playlist
// in folder, offscreen, a silent microphone, quiet speakers, a port of its
// own, plugins loaded in its own process (a forked scanner lacks a sanitizer
// build's runtime), and in such a build leaks reported as the tests' are.
inline QProcessEnvironment ProgramEnvironment(const fs::path& folder)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", QString::fromStdString((folder / "config").string()));
    env.insert("XDG_DATA_HOME", QString::fromStdString((folder / "data").string()));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence");
    env.insert("VOXREEL_AUDIO_SINK", kQuietSink);
    env.insert("VOXREEL_PORT", QString::number(FreePort()));
    env.insert("GST_REGISTRY_FORK", "no");
    if (env.contains("ASAN_OPTIONS"))
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":fast_unwind_on_malloc=0");
    return env;
}

// Starts the program, its output passed on to the test's.
inline void StartProgram(QProcess& process, const QProcessEnvironment& env,
                         const QStringList& arguments = {})
{
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral(VOXREEL_PROGRAM_PATH), arguments);
}

} // namespace apptest
