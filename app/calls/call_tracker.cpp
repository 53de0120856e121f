#include "call_tracker.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "call_commands.h"
#include "log_categories.h"
#include "time_text.h"
#include "undo_journal.h"

namespace {

constexpr std::array<std::string_view, 6> kEndWords = {"FAILED",  "FINISHED", "MISSED",
                                                       "REFUSED", "BUSY",     "CANCELLED"};

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

} // namespace

void CCallTracker::OnTick(std::uint32_t dwNow)
{
    if (!Attached())
        return;
    if (m_bSearchDue || dwNow - m_dwLastSearch > kSearchIntervalMs) {
        m_bSearchDue = false;
        m_dwLastSearch = dwNow;
        m_owner.Issue(std::make_unique<CSearchActiveCalls>(m_owner));
    }
    const auto selected = m_owner.Calls().SelectedCall();
    if (m_bInputSwitchPending && m_owner.HasRenderer() && selected) {
        qCInfo(lcCalls) << "switching call" << *selected << "to our input";
        m_bInputSwitchPending = false;
        m_owner.Issue(std::make_unique<CSetNetInput>(m_owner, *selected));
    }
}

void CCallTracker::OnDetached()
{
    qCWarning(lcCalls) << "the call client refused the link";
    m_owner.SetStatus("Skype refused connection.\n");
    m_owner.SetTransmitting(false);
    m_owner.ShowNotTransmittingIcon();
}

void CCallTracker::OnNotification(const std::string& line)
{
    const auto selected = m_owner.Calls().SelectedCall();
    if (!selected)
        return;
    const std::string call = "CALL " + std::to_string(*selected) + " ";
    if (EqualsNoCase(line, call + "VAA_INPUT_STATUS FALSE")) {
        qCInfo(lcCalls) << "call" << *selected << "left our port";
        m_owner.SetStatus("Skype has disconnected from the network port\n");
        m_owner.SetTransmitting(false);
        m_owner.ShowNotTransmittingIcon();
    } else if (StartsWithNoCase(line, call + "STATUS ")) {
        const std::string_view word = std::string_view(line).substr(call.size() + 7);
        for (std::string_view end : kEndWords) {
            if (!EqualsNoCase(word, end))
                continue;
            qCInfo(lcCalls) << "call" << *selected << "ended:" << line.c_str() + call.size() + 7;
            m_owner.SetStatus("Call finished.\n");
            UndoJournal().CallReleased(*selected);
            m_owner.StopForEndedCall();
            m_bInputSwitchPending = false;
            m_owner.SetTransmitting(false);
            m_owner.ShowNotTransmittingIcon();
            break;
        }
    } else if (StartsWithNoCase(line, call + "DURATION ")) {
        const int nSeconds = std::atoi(line.c_str() + call.size() + 9);
        m_bInputSwitchPending = nSeconds > 0 && !m_owner.IsTransmitting();
        m_owner.ShowCallDuration(
            FormatMinutesSeconds(static_cast<std::uint32_t>(std::max(nSeconds, 0))));
    }
}

void CCallTracker::SwitchBack()
{
    if (const auto selected = m_owner.Calls().SelectedCall()) {
        qCInfo(lcCalls) << "switching call" << *selected << "back to the sound card";
        m_owner.Issue(std::make_unique<CSetDefaultInput>(m_owner, *selected));
        UndoJournal().CallReleased(*selected);
    }
}
