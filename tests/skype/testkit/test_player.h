// The player's side of the link on a bus, as the main window wires it: the
// D-Bus channel, the connection, and the channel's sink feeding it.
#pragma once

#include "dbus_skype_channel.h"
#include "link_recorders.h"
#include "skype_connection.h"

#include <memory>
#include <string>

class CTestPlayer {
public:
    explicit CTestPlayer(QDBusConnection connection,
                         int deliveryTimeoutMs = CDBusSkypeChannel::kDefaultDeliveryTimeoutMs);
    ~CTestPlayer();

    // Ticks every 100 ms until the attach state is the given one.
    bool TickUntilState(std::int32_t state);
    bool Attach() { return TickUntilState(0); }

    // AddHandler and SendCommand, as every command is issued.
    std::shared_ptr<CommandLog> Issue(const std::string& command,
                                      CLoggingHandler::ResponseAction onResponse = {});
    static bool WaitForResponses(const CommandLog& log, std::size_t count = 1);
    bool WaitForNotification(const std::string& line);

    CDBusSkypeChannel m_channel;
    CRecordingMonitor m_monitor;
    CSkypeConnection m_connection;
    CSkypeConnectionSink m_sink;
};
