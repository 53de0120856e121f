// A command handler and an event log that record what the link tells them.
#pragma once

#include "skype_command_handler.h"
#include "skype_connection.h"

#include <memory>
#include <string>
#include <vector>

// What happened to one command; shared with the test, since the link owns
// and deletes the handler.
struct CommandLog {
    std::int32_t id = 0;
    std::vector<std::string> responses;
    std::vector<std::string> notifications;
    int timeouts = 0;
    bool bDeleted = false;
};

class CLoggingHandler : public CSkypeCommandHandler {
public:
    CLoggingHandler(std::string command, std::shared_ptr<CommandLog> pLog,
                    bool bClaimNotifications = false)
        : m_command(std::move(command)), m_pLog(std::move(pLog)), m_bClaim(bClaimNotifications)
    {
        m_pLog->id = GetId();
    }
    ~CLoggingHandler() override { m_pLog->bDeleted = true; }

    std::string GetCommand() const override { return m_command; }
    void OnTimeout() override { ++m_pLog->timeouts; }
    void OnResponse(const std::string& response) override
    {
        m_bComplete = true;
        m_pLog->responses.push_back(response);
    }
    bool OnNotification(const std::string& line) override
    {
        m_pLog->notifications.push_back(line);
        m_bComplete = m_bClaim;
        return m_bClaim;
    }

private:
    std::string m_command;
    std::shared_ptr<CommandLog> m_pLog;
    bool m_bClaim;
};

// Takes the link's events; declared after the link, so it goes first and the
// link raises no event in between.
struct CLinkEventLog {
    explicit CLinkEventLog(CSkypeConnection& link)
    {
        link.SetEvents({[this] { ++m_nAttached; }, [this] { ++m_nDetached; },
                        [this](const std::string& line) { m_notifications.push_back(line); }});
    }
    CLinkEventLog(const CLinkEventLog&) = delete;
    CLinkEventLog& operator=(const CLinkEventLog&) = delete;

    int m_nAttached = 0;
    int m_nDetached = 0;
    std::vector<std::string> m_notifications;
};
