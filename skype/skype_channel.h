// The platform operations the Skype link rides on, and what its own window
// receives. The D-Bus channel carries them between processes; the in-process
// channel records them for tests.
#pragma once

#include <cstdint>
#include <string>

// A window of the link: an opaque id chosen by the channel (the unique bus
// name on D-Bus). Empty means no window.
using SkypeWindow = std::string;

// The payload of one copy-data message: dwData, then cbData bytes at lpData.
struct CopyDataBlock {
    std::uintptr_t dwData = 0;
    std::uint32_t cbData = 0;
    const void* lpData = nullptr;
};

class ISkypeChannel {
public:
    virtual ~ISkypeChannel() = default;

    // A nonzero id for a message name, the same for the same name; 0 when the
    // channel cannot carry messages at all.
    virtual std::uint32_t RegisterMessage(const std::string& name) = 0;

    // Delivers a registered message to every window that listens for it.
    virtual void Broadcast(std::uint32_t message, const SkypeWindow& wParam,
                           std::uint32_t lParam) = 0;

    // Delivers a block of bytes to one window and returns its answer; 0 when
    // it was not delivered (no such window, no answer in time).
    virtual std::uint32_t SendCopyData(const SkypeWindow& target, const SkypeWindow& wParam,
                                       const CopyDataBlock& data) = 0;

    // Milliseconds since an arbitrary start, unsigned 32-bit and wrapping.
    virtual std::uint32_t GetTickCount() = 0;
};

// What the own window is given by the channel: registered messages (the
// attach message) and copy-data blocks. The results go back to the sender.
class ISkypeWindowSink {
public:
    virtual ~ISkypeWindowSink() = default;
    virtual std::uint32_t OnWindowMessage(std::uint32_t message, const SkypeWindow& wParam,
                                          std::uint32_t lParam) = 0;
    virtual std::uint32_t OnCopyData(const SkypeWindow& sender, const CopyDataBlock& data) = 0;
};

// Names of the two registered messages of the client's API.
inline constexpr const char* kSkypeDiscoverMessageName = "SkypeControlAPIDiscover";
inline constexpr const char* kSkypeAttachMessageName = "SkypeControlAPIAttach";
