// The link to the call client: discovery and attach state, commands framed
// with their ids, the table of outstanding commands, the matching of replies,
// time-outs, and the routing of notifications to the monitor. Runs on one
// thread (the UI thread); the channel carries the messages.
#pragma once

#include "skype_channel.h"
#include "skype_command_handler.h"
#include "skype_connection_monitor.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CSkypeConnection {
public:
    static constexpr std::int32_t kAttachSuccess = 0;
    static constexpr std::int32_t kAttachPending = 1;
    static constexpr std::int32_t kAttachRefused = 2;
    static constexpr std::int32_t kAttachNotAvailable = 3;
    static constexpr std::int32_t kAttachApiAvailable = 0x8001;
    static constexpr std::uint32_t kCommandTimeoutMs = 5000;

    // Registers both message names with the channel; when either fails the
    // link stays inert and HasMessageIds() tells the owner so.
    CSkypeConnection(ISkypeChannel& channel, ISkypeConnectionMonitor* pMonitor);
    // Deletes every outstanding handler without OnTimeout, then reports the
    // detach when attached.
    ~CSkypeConnection();

    CSkypeConnection(const CSkypeConnection&) = delete;
    CSkypeConnection& operator=(const CSkypeConnection&) = delete;

    bool HasMessageIds() const { return m_uAttachMessage != 0 && m_uDiscoverMessage != 0; }
    std::uint32_t GetAttachMessage() const { return m_uAttachMessage; }
    std::uint32_t GetDiscoverMessage() const { return m_uDiscoverMessage; }
    std::int32_t GetAttachState() const { return m_nAttachState; }
    const SkypeWindow& GetSkypeWindow() const { return m_hSkypeWindow; }
    std::size_t GetHandlerCount() const { return m_handlers.size(); }

    void SetOwnWindow(const SkypeWindow& hWnd) { m_hOwnWindow = hWnd; }
    const SkypeWindow& GetOwnWindow() const { return m_hOwnWindow; }

    // The attach message: the client's window and its status. Returns 1.
    std::uint32_t HandleAttach(const SkypeWindow& hClient, std::uint32_t status);
    // A copy-data message; returns 1 when it came from the client's window.
    std::uint32_t HandleCopyData(const SkypeWindow& hSender, const CopyDataBlock* pData);
    // The 500 ms tick: discover while not attached, else send and expire.
    void Tick();

    // Appends a handler without sending it; returns its id (0 for none).
    std::int32_t AddHandler(std::unique_ptr<CSkypeCommandHandler> pHandler);
    // Sends the handler with this id if it is in the table and not yet sent.
    void SendCommand(std::int32_t id);

private:
    using HandlerTable = std::vector<std::unique_ptr<CSkypeCommandHandler>>;

    HandlerTable::iterator FindById(std::int32_t id);
    HandlerTable::iterator FindByPointer(const CSkypeCommandHandler* pHandler);
    void BroadcastDiscover();
    void HandleReply(const std::string& text);
    void HandleNotification(const std::string& text);
    void RemoveIfComplete(const CSkypeCommandHandler* pHandler);

    ISkypeChannel& m_channel;
    std::int32_t m_nAttachState = kAttachNotAvailable;
    std::uint32_t m_uAttachMessage = 0;
    std::uint32_t m_uDiscoverMessage = 0;
    SkypeWindow m_hSkypeWindow;
    HandlerTable m_handlers;
    SkypeWindow m_hOwnWindow;
    ISkypeConnectionMonitor* m_pMonitor; // not owned; may be null
};

// Feeds a connection from its own window's messages: the attach message to
// HandleAttach, copy-data blocks to HandleCopyData.
class CSkypeConnectionSink : public ISkypeWindowSink {
public:
    explicit CSkypeConnectionSink(CSkypeConnection& connection) : m_connection(connection) {}

    std::uint32_t OnWindowMessage(std::uint32_t message, const SkypeWindow& wParam,
                                  std::uint32_t lParam) override;
    std::uint32_t OnCopyData(const SkypeWindow& sender, const CopyDataBlock& data) override;

private:
    CSkypeConnection& m_connection;
};
