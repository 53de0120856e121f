// The tests that run callsim: each test process re-runs itself under a
// session bus of its own (the window tests' bus_test_main.cpp), since the
// discover signal is a broadcast and tests sharing a bus would answer each
// other's players.
#pragma once

#include "dbus_skype_channel.h"
#include "link_recorders.h"
#include "skype_connection.h"

#include <QProcess>

#include <chrono>
#include <functional>

// Runs the event loop until the condition holds or the limit passes.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(15));
// A connection of its own to the test's bus.
QDBusConnection ConnectToBus();

// callsim as a child process; SIGKILLed with the object, as a crash ends it.
class CCallsimProcess {
public:
    // Starts it and waits for its "ready" line; GetWindow() is "" when none came.
    explicit CCallsimProcess(const QStringList& arguments);
    ~CCallsimProcess() { Kill(); }

    void Kill();
    void Control(const std::string& line) { m_process.write((line + "\n").c_str()); }
    // Index of the first event line from nFrom on containing the text, or -1
    // when none came in time.
    int WaitForLine(const std::string& text, int nFrom = 0);
    const std::string& GetWindow() const { return m_window; }

private:
    QProcess m_process;
    std::vector<std::string> m_lines;
    std::string m_window;
};

// The player's side of the link on its own connection, wired as the main window wires it.
struct CTestPlayer {
    explicit CTestPlayer(int deliveryTimeoutMs = 1000);

    // Ticks every 100 ms until the link is attached.
    bool TickUntilState();
    // AddHandler and SendCommand, as every command is issued.
    std::shared_ptr<CommandLog> Issue(const std::string& command);
    // Issues the command and waits for its reply; "(no reply)" when none came.
    std::string Ask(const std::string& command);
    bool WaitForNotification(const std::string& prefix);

    CDBusSkypeChannel m_channel;
    CSkypeConnection m_connection{m_channel};
    CLinkEventLog m_events{m_connection};
};
