#include "control_channel.h"

#include <unistd.h>

CControlChannel::CControlChannel(int fd, LineHandler onLine)
    : m_fd(fd), m_onLine(std::move(onLine)), m_notifier(fd, QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, [this] { ReadAvailable(); });
}

void CControlChannel::ReadAvailable()
{
    char buffer[4096];
    const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
    if (count <= 0) {
        // End of input (or an error): the simulator goes on without control.
        m_notifier.setEnabled(false);
        if (!m_pending.empty())
            m_onLine(std::exchange(m_pending, {}));
        return;
    }
    m_pending.append(buffer, static_cast<std::size_t>(count));
    for (std::size_t end; (end = m_pending.find('\n')) != std::string::npos;) {
        std::string line = m_pending.substr(0, end);
        m_pending.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            m_onLine(line);
    }
}
