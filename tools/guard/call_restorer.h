// Switches calls' input back to the sound card through the call client's own
// API, as a player of its own: discover, attach, one ALTER CALL per call.
// Everything waits on the Qt event loop up to a deadline, so a client that
// does not answer costs no more than the deadline.
#pragma once

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "dbus_skype_channel.h"
#include "skype_connection.h"

class CCallRestorer final {
public:
    using Clock = std::chrono::steady_clock;

    explicit CCallRestorer(std::vector<std::int32_t> calls);

    // Returns what went wrong, one line per problem; empty when every call
    // got its answer.
    std::vector<std::string> Run(Clock::time_point deadline);

private:
    void OnAttached();
    void SendAll();
    void OnAnswer(std::int32_t nCallId, const std::string& answer);

    std::vector<std::int32_t> m_pending; // calls without an answer yet
    std::vector<std::string> m_problems;
    CDBusSkypeChannel m_channel;
    CSkypeConnection m_link{m_channel};
    QEventLoop m_loop;
    QTimer m_discover;
    bool m_bSent = false;
};
