// callsim run as a child process on a given bus; killed with the object.
#pragma once

#include <QProcess>
#include <QStringList>

#include <string>
#include <vector>

class CCallsimProcess {
public:
    CCallsimProcess(const QString& busAddress, const QStringList& arguments);
    ~CCallsimProcess();

    CCallsimProcess(const CCallsimProcess&) = delete;
    CCallsimProcess& operator=(const CCallsimProcess&) = delete;

    // Waits for its "ready" line; false when it did not come up.
    bool WaitReady();
    const std::string& GetWindow() const { return m_window; }

    // Sends one line on its control channel.
    void Control(const std::string& line);
    // SIGKILL, as a crash would end it.
    void Kill();

    // The event lines so far.
    const std::vector<std::string>& Lines();
    // Index of the first line at or after `from` that contains the text, or -1.
    int FindLine(const std::string& text, std::size_t from = 0);
    bool WaitForLine(const std::string& text);

private:
    QProcess m_process;
    std::string m_partial;
    std::vector<std::string> m_lines;
    std::string m_window;
};
