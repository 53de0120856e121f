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

CCallTracker::CCallTracker(CSkypeConnection& link, ICallListener& listener, int nInputPort)
    : m_link(link), m_listener(listener), m_nInputPort(nInputPort)
{
    m_link.SetEvents({[this] { OnAttached(); }, [this] { OnDetached(); },
                      [this](const std::string& line) { OnNotification(line); }});
    m_calls.SetOnChanged([this] { m_listener.OnCallsChanged(); });
}

CCallTracker::~CCallTracker()
{
    m_link.SetEvents({});
}

void CCallTracker::Issue(std::unique_ptr<CSkypeCommandHandler> pHandler)
{
    m_link.Issue(std::move(pHandler));
}

void CCallTracker::SetTransmitting(bool bTransmitting)
{
    m_bTransmitting = bTransmitting;
    m_listener.OnTransmittingChanged(bTransmitting);
}

void CCallTracker::OnTick(std::uint32_t dwNow, bool bCanFeed)
{
    if (!Attached())
        return;
    if (m_bSearchDue || dwNow - m_dwLastSearch > kSearchIntervalMs) {
        m_bSearchDue = false;
        m_dwLastSearch = dwNow;
        Issue(std::make_unique<CSearchActiveCalls>(*this));
    }
    const auto selected = m_calls.SelectedCall();
    if (m_bInputSwitchPending && bCanFeed && selected) {
        qCInfo(lcCalls) << "switching call" << *selected << "to our input";
        m_bInputSwitchPending = false;
        // Journaled before the command leaves: the client may switch the call
        // and this process die before the echo is read, and the guard must
        // still give the call its sound card back.
        UndoJournal().CallSwitched(*selected);
        Issue(std::make_unique<CSetNetInput>(*this, *selected));
    }
}

void CCallTracker::OnDetached()
{
    qCWarning(lcCalls) << "the call client refused the link";
    ShowStatus("Skype refused connection.\n");
    SetTransmitting(false);
}

void CCallTracker::OnNotification(const std::string& line)
{
    const auto selected = m_calls.SelectedCall();
    if (!selected)
        return;
    const std::string call = "CALL " + std::to_string(*selected) + " ";
    if (EqualsNoCase(line, call + "VAA_INPUT_STATUS FALSE")) {
        qCInfo(lcCalls) << "call" << *selected << "left our port";
        ShowStatus("Skype has disconnected from the network port\n");
        SetTransmitting(false);
    } else if (StartsWithNoCase(line, call + "STATUS ")) {
        const std::string_view word = std::string_view(line).substr(call.size() + 7);
        if (std::any_of(kEndWords.begin(), kEndWords.end(),
                        [word](std::string_view end) { return EqualsNoCase(word, end); }))
            OnSelectedCallEnded(*selected, word);
    } else if (StartsWithNoCase(line, call + "DURATION ")) {
        const int nSeconds = std::atoi(line.c_str() + call.size() + 9);
        m_bInputSwitchPending = nSeconds > 0 && !m_bTransmitting;
        m_listener.OnCallDuration(
            FormatMinutesSeconds(static_cast<std::uint32_t>(std::max(nSeconds, 0))));
    }
}

void CCallTracker::OnSelectedCallEnded(std::int32_t nCallId, std::string_view word)
{
    qCInfo(lcCalls) << "call" << nCallId << "ended:" << std::string(word).c_str();
    ShowStatus("Call finished.\n");
    UndoJournal().CallReleased(nCallId);
    m_listener.OnCallEnded();
    m_bInputSwitchPending = false;
    SetTransmitting(false);
}

void CCallTracker::SwitchBack()
{
    if (const auto selected = m_calls.SelectedCall()) {
        qCInfo(lcCalls) << "switching call" << *selected << "back to the sound card";
        Issue(std::make_unique<CSetDefaultInput>(*selected));
        UndoJournal().CallReleased(*selected);
        // The program ends next: the request must have left it by then.
        m_link.FlushDeliveries();
    }
}
