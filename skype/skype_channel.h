// What the link to the call client rides on: a way to find clients, to send
// one a line of text without waiting for it, and to be handed what clients
// send us. The D-Bus channel carries it between processes; the in-process
// channel records it for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// A window of the link: an opaque id chosen by the channel (the unique bus
// name on D-Bus). Empty means no window.
using SkypeWindow = std::string;

// What the channel hands the link, on the link's thread. Either may be empty.
struct SkypeChannelInbox {
    // A client's attach status; the answer goes back to the client.
    std::function<std::uint32_t(const SkypeWindow& client, std::uint32_t status)> onAttach;
    // A line from a window; true tells the sender it was taken.
    std::function<bool(const SkypeWindow& sender, const std::string& text)> onText;
};

class ISkypeChannel {
public:
    // Whether the peer took the line; called once, maybe before SendText returns.
    using DeliveryCallback = std::function<void(bool bDelivered)>;

    virtual ~ISkypeChannel() = default;

    // False when the channel cannot carry the client's API at all.
    virtual bool IsUsable() const = 0;
    // Replaces what the channel hands its link.
    virtual void SetInbox(SkypeChannelInbox inbox) = 0;
    // Tells every client that this window looks for one.
    virtual void BroadcastDiscover(const SkypeWindow& own) = 0;
    // Sends one line to a window and returns at once; the callback hears
    // whether it arrived (not for an empty window, nor after the time-out).
    virtual void SendText(const SkypeWindow& target, const std::string& text,
                          DeliveryCallback onDelivered) = 0;
    // Waits until every line sent has its answer, at most the delivery
    // time-out. For the closing steps, whose last line must leave the process.
    virtual void FlushDeliveries() {}

    // Milliseconds since an arbitrary start, unsigned 32-bit and wrapping.
    virtual std::uint32_t GetTickCount() = 0;
};

// The text of a received block: its bytes up to the first NUL, if any.
inline std::string TextBeforeNul(std::string_view bytes)
{
    return std::string(bytes.substr(0, bytes.find('\0')));
}
