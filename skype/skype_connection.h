// The link to the call client: discovery and attach state, commands framed
// with their ids, the table of outstanding commands, the matching of replies,
// time-outs, and the client's notification lines for whoever follows the
// calls. Runs on one thread (the UI thread); the channel carries the lines
// and never makes the link wait for a client.
#pragma once

#include "skype_channel.h"
#include "skype_command_handler.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What the link tells the one part that follows the calls. Any may be empty.
struct SkypeLinkEvents {
    std::function<void()> onAttached;
    // The client refused the link or a line to it did not arrive.
    std::function<void()> onDetached;
    // A line from the client that is not a reply, after the handlers saw it.
    std::function<void(const std::string& line)> onNotification;
};

class CSkypeConnection {
public:
    static constexpr std::int32_t kAttachSuccess = 0;
    static constexpr std::int32_t kAttachPending = 1;
    static constexpr std::int32_t kAttachRefused = 2;
    static constexpr std::int32_t kAttachNotAvailable = 3;
    static constexpr std::int32_t kAttachApiAvailable = 0x8001;
    static constexpr std::uint32_t kCommandTimeoutMs = 5000;

    // Takes what the channel receives until destroyed. A channel that is
    // not usable leaves the link inert, and IsUsable() tells the owner so.
    explicit CSkypeConnection(ISkypeChannel& channel);
    // Deletes every outstanding handler without OnTimeout and reports nothing.
    ~CSkypeConnection();

    CSkypeConnection(const CSkypeConnection&) = delete;
    CSkypeConnection& operator=(const CSkypeConnection&) = delete;

    void SetEvents(SkypeLinkEvents events) { m_events = std::move(events); }

    bool IsUsable() const { return m_channel.IsUsable(); }
    std::int32_t GetAttachState() const { return m_nAttachState; }
    const SkypeWindow& GetSkypeWindow() const { return m_hSkypeWindow; }
    std::size_t GetHandlerCount() const { return m_handlers.size(); }

    void SetOwnWindow(const SkypeWindow& hWnd) { m_hOwnWindow = hWnd; }
    const SkypeWindow& GetOwnWindow() const { return m_hOwnWindow; }

    // A client's attach status. Returns 1.
    std::uint32_t HandleAttach(const SkypeWindow& hClient, std::uint32_t status);
    // A line from a window; true when it came from the client's window.
    bool HandleText(const SkypeWindow& hSender, const std::string& text);
    // The 500 ms tick: discover while not attached, else send and expire.
    void Tick();

    // Appends a handler without sending it; returns its id (0 for none).
    std::int32_t AddHandler(std::unique_ptr<CSkypeCommandHandler> pHandler);
    // Sends the handler with this id if it is in the table and not yet sent.
    void SendCommand(std::int32_t id);
    // AddHandler, then SendCommand.
    std::int32_t Issue(std::unique_ptr<CSkypeCommandHandler> pHandler);
    // Waits, at most the channel's delivery time-out, until the lines sent
    // so far have arrived or failed. Only for closing.
    void FlushDeliveries() { m_channel.FlushDeliveries(); }

private:
    using HandlerTable = std::vector<std::unique_ptr<CSkypeCommandHandler>>;

    HandlerTable::iterator FindById(std::int32_t id);
    HandlerTable::iterator FindByPointer(const CSkypeCommandHandler* pHandler);
    void BroadcastDiscover();
    void OnDelivery(std::int32_t id, const SkypeWindow& target, bool bDelivered);
    void Detach();
    void HandleReply(const std::string& text);
    void HandleNotification(const std::string& text);
    void RemoveIfComplete(const CSkypeCommandHandler* pHandler);

    ISkypeChannel& m_channel;
    SkypeLinkEvents m_events;
    std::int32_t m_nAttachState = kAttachNotAvailable;
    SkypeWindow m_hSkypeWindow;
    HandlerTable m_handlers;
    SkypeWindow m_hOwnWindow;
    // Delivery answers can come after the link is gone; they hold only this.
    const std::shared_ptr<CSkypeConnection*> m_pSelf = std::make_shared<CSkypeConnection*>(this);
};
