// One outstanding command of the Skype link. Concrete handlers supply the
// command text and react to its reply; the link owns them once added.
#pragma once

#include <cstdint>
#include <string>

class CSkypeConnection;

class CSkypeCommandHandler {
public:
    // Takes the next id of the process-wide counter (1, 2, ...; never reused).
    CSkypeCommandHandler();
    virtual ~CSkypeCommandHandler() = default;

    CSkypeCommandHandler(const CSkypeCommandHandler&) = delete;
    CSkypeCommandHandler& operator=(const CSkypeCommandHandler&) = delete;

    // True once the handler has had the reply it waited for.
    bool IsComplete() const { return m_bComplete; }
    // The command without its "#id " prefix.
    virtual std::string GetCommand() const = 0;
    virtual void OnTimeout() {}
    // The reply text after the "#id " prefix.
    virtual void OnResponse(const std::string& /*response*/) {}
    // Returns true to claim a notification line.
    virtual bool OnNotification(const std::string& /*line*/) { return false; }

    std::int32_t GetId() const { return m_nId; }

protected:
    bool m_bComplete = false;

private:
    friend class CSkypeConnection;

    const std::int32_t m_nId;
    std::uint32_t m_dwSentTime = 0;
    bool m_bSent = false;
};
