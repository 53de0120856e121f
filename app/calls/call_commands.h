// The four commands the player sends the call client, each reading its own
// reply: the search for active calls, a call's partner name, and the switch
// of a call's input to our port and back to the sound card.
#pragma once

#include <cstdint>
#include <string>

#include "call_tracker.h"
#include "skype_command_handler.h"

class CSearchActiveCalls final : public CSkypeCommandHandler {
public:
    explicit CSearchActiveCalls(CCallTracker& tracker) : m_tracker(tracker) {}
    std::string GetCommand() const override { return "SEARCH ACTIVECALLS"; }
    void OnResponse(const std::string& response) override;

private:
    CCallTracker& m_tracker;
};

class CGetCallProperty final : public CSkypeCommandHandler {
public:
    CGetCallProperty(std::int32_t nCallId, CCallTracker& tracker)
        : m_tracker(tracker), m_nCallId(nCallId)
    {
    }
    std::string GetCommand() const override;
    void OnResponse(const std::string& response) override;

private:
    CCallTracker& m_tracker;
    const std::int32_t m_nCallId;
    const std::string m_strProperty = "PARTNER_DISPNAME";
};

class CSetNetInput final : public CSkypeCommandHandler {
public:
    CSetNetInput(CCallTracker& tracker, std::int32_t nCallId)
        : m_tracker(tracker), m_nCallId(nCallId)
    {
    }
    std::string GetCommand() const override;
    void OnResponse(const std::string& response) override;
    void OnTimeout() override;

private:
    CCallTracker& m_tracker;
    const std::int32_t m_nCallId;
};

class CSetDefaultInput final : public CSkypeCommandHandler {
public:
    explicit CSetDefaultInput(std::int32_t nCallId) : m_nCallId(nCallId) {}
    std::string GetCommand() const override;
    void OnResponse(const std::string& /*response*/) override { m_bComplete = true; }

private:
    const std::int32_t m_nCallId;
};

// True when text begins with prefix, letter case aside.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
