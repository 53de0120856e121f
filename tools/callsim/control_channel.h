// Reads the control channel (standard input) line by line without blocking
// the event loop.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <string>

class CControlChannel : public QObject {
public:
    using LineHandler = std::function<void(const std::string& line)>;

    CControlChannel(int fd, LineHandler onLine);

private:
    void ReadAvailable();

    int m_fd;
    LineHandler m_onLine;
    QSocketNotifier m_notifier;
    std::string m_pending; // bytes after the last complete line
};
