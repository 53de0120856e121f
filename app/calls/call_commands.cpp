#include "call_commands.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "log_categories.h"
#include "status_text.h"
#include "undo_journal.h"

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

namespace {

// The reply's call ids, split at commas; empty tokens are skipped. A token
// without digits counts as call 0 and asks for nothing.
struct CallToken {
    std::int32_t nCallId;
    bool bHasDigits;
};
std::vector<CallToken> ParseCallIds(const std::string& list)
{
    std::vector<CallToken> tokens;
    std::size_t nAt = 0;
    while (nAt < list.size()) {
        const std::size_t nComma = std::min(list.find(',', nAt), list.size());
        if (nComma > nAt) {
            const std::string token = list.substr(nAt, nComma - nAt);
            char* pEnd = nullptr;
            const unsigned long nValue = std::strtoul(token.c_str(), &pEnd, 10);
            const bool bDigits = pEnd != token.c_str() &&
                                 std::any_of(token.begin(), token.end(),
                                             [](unsigned char c) { return std::isdigit(c); });
            tokens.push_back({static_cast<std::int32_t>(nValue), bDigits});
        }
        nAt = nComma + 1;
    }
    return tokens;
}

} // namespace

void CSearchActiveCalls::OnResponse(const std::string& response)
{
    m_bComplete = true;
    if (!StartsWithNoCase(response, "CALLS ")) {
        qCDebug(lcCalls) << "call search answered" << response.c_str();
        return;
    }
    qCDebug(lcCalls) << "active calls:" << response.c_str() + 6;
    std::vector<std::int32_t> live;
    for (const CallToken& token : ParseCallIds(response.substr(6))) {
        live.push_back(token.nCallId);
        if (token.bHasDigits)
            m_tracker.Issue(std::make_unique<CGetCallProperty>(token.nCallId, m_tracker));
    }
    CActiveCallList& calls = m_tracker.Calls();
    const auto selected = calls.SelectedCall();
    for (int i = 0; i < calls.Count();) {
        if (std::find(live.begin(), live.end(), calls.ItemData(i)) == live.end())
            calls.Delete(i);
        else
            ++i;
    }
    // A selected call that has ended leaves nothing selected.
    calls.SelectCall(selected);
}

std::string CGetCallProperty::GetCommand() const
{
    return "GET CALL " + std::to_string(m_nCallId) + " " + m_strProperty;
}

void CGetCallProperty::OnResponse(const std::string& response)
{
    m_bComplete = true;
    const std::string prefix = "CALL " + std::to_string(m_nCallId) + " " + m_strProperty + " ";
    CActiveCallList& calls = m_tracker.Calls();
    if (!StartsWithNoCase(response, prefix) || calls.Find(m_nCallId) != -1)
        return;
    const auto selected = calls.SelectedCall();
    const int nIndex = calls.Add(
        CallDisplayName(std::string_view(response).substr(prefix.size()), m_nCallId), m_nCallId);
    // The first call in an unselected list is selected; a later one never
    // takes the selection away.
    if (selected)
        calls.SelectCall(selected);
    else
        calls.Select(nIndex);
}

std::string CSetNetInput::GetCommand() const
{
    return "ALTER CALL " + std::to_string(m_nCallId) + " SET_INPUT PORT=\"" +
           std::to_string(m_tracker.InputPort()) + "\"";
}

void CSetNetInput::OnResponse(const std::string& response)
{
    m_bComplete = true;
    // The client confirms by echoing the command.
    if (StartsWithNoCase(response, GetCommand())) {
        qCInfo(lcCalls) << "call" << m_nCallId << "takes its input from port"
                        << m_tracker.InputPort();
        m_tracker.ShowStatus("CSetNetInput::OnResponse => SUCCESS\n");
        m_tracker.SetTransmitting(true);
        return;
    }
    qCWarning(lcCalls) << "call" << m_nCallId << "refused our input:" << response.c_str();
    UndoJournal().CallReleased(m_nCallId);
    m_tracker.ShowStatus(FormatStatus("Cannot establish connection with Skype: %S", {response}));
    m_tracker.SetTransmitting(false);
}

void CSetNetInput::OnTimeout()
{
    qCWarning(lcCalls) << "call" << m_nCallId << "did not answer the switch to our input";
    m_tracker.SetTransmitting(false);
}

std::string CSetDefaultInput::GetCommand() const
{
    return "ALTER CALL " + std::to_string(m_nCallId) + " SET_INPUT SOUNDCARD=\"default\"";
}
