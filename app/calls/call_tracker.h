// Follows the selected call: searches for calls every 2 s while the link is
// attached, keeps the active-call list, switches the selected call's input to
// our port when that is wanted, reads the client's notifications about the
// selected call, and switches the input back when the program closes. Takes
// the link's events for as long as it lives, and tells its listener what
// changed. Runs on the UI thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "active_call_list.h"
#include "call_listener.h"
#include "skype_connection.h"

class CCallTracker {
public:
    static constexpr std::uint32_t kSearchIntervalMs = 2000;

    // nInputPort: the port the call is asked to take its input from.
    CCallTracker(CSkypeConnection& link, ICallListener& listener, int nInputPort);
    ~CCallTracker();

    CCallTracker(const CCallTracker&) = delete;
    CCallTracker& operator=(const CCallTracker&) = delete;

    // The tick's search and input-switch steps; bCanFeed: whether our port
    // is there to take the call.
    void OnTick(std::uint32_t dwNow, bool bCanFeed);
    // The call's connection to our port is gone.
    void OnTransmissionLost() { SetTransmitting(false); }
    // True while the client takes the selected call's input from our port.
    bool IsInputSwitchedToUs() const { return Attached() && m_bTransmitting; }
    // Asks for the selected call's input back on the sound card, and waits
    // (at most the channel's delivery time-out) until the client has the
    // request. Only at closing.
    void SwitchBack();

    CActiveCallList& Calls() { return m_calls; }
    const CActiveCallList& Calls() const { return m_calls; }
    bool IsTransmitting() const { return m_bTransmitting; }
    bool IsInputSwitchPending() const { return m_bInputSwitchPending; }
    int InputPort() const { return m_nInputPort; }

    // What the command handlers do with their replies.
    void Issue(std::unique_ptr<CSkypeCommandHandler> pHandler);
    void ShowStatus(const std::string& strText) { m_listener.OnCallStatus(strText); }
    void SetTransmitting(bool bTransmitting);

private:
    bool Attached() const { return m_link.GetAttachState() == CSkypeConnection::kAttachSuccess; }
    void OnAttached() { m_bSearchDue = true; }
    void OnDetached();
    void OnNotification(const std::string& line);
    void OnSelectedCallEnded(std::int32_t nCallId, std::string_view word);

    CSkypeConnection& m_link;
    ICallListener& m_listener;
    const int m_nInputPort;
    CActiveCallList m_calls;
    bool m_bTransmitting = false;
    std::uint32_t m_dwLastSearch = 0;
    // Set on attaching: the first tick after it searches, whatever the clock says.
    bool m_bSearchDue = false;
    bool m_bInputSwitchPending = true;
};
