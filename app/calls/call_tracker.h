// Follows the selected call: searches for calls every 2.5 s while the link is
// attached, switches the selected call's input to our port when that is
// wanted, reads the client's notifications about the selected call, and
// switches the input back when the program closes. Runs on the UI thread.
#pragma once

#include <cstdint>
#include <string>

#include "call_owner.h"
#include "skype_connection.h"

class CCallTracker {
public:
    static constexpr std::uint32_t kSearchIntervalMs = 2000;

    CCallTracker(CSkypeConnection& link, ICallOwner& owner) : m_link(link), m_owner(owner) {}

    // The tick's search and input-switch steps.
    void OnTick(std::uint32_t dwNow);
    void OnAttached() { m_bSearchDue = true; }
    void OnDetached();
    void OnNotification(const std::string& line);
    // True while the client takes the selected call's input from our port.
    bool IsInputSwitchedToUs() const { return Attached() && m_owner.IsTransmitting(); }
    // Asks for the selected call's input back on the sound card (at closing).
    void SwitchBack();

    bool IsInputSwitchPending() const { return m_bInputSwitchPending; }

private:
    bool Attached() const { return m_link.GetAttachState() == CSkypeConnection::kAttachSuccess; }

    CSkypeConnection& m_link;
    ICallOwner& m_owner;
    std::uint32_t m_dwLastSearch = 0;
    // Set on attaching: the first tick after it searches, whatever the clock says.
    bool m_bSearchDue = false;
    bool m_bInputSwitchPending = true;
};
