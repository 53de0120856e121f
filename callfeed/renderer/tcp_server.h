// The write-only audio server: listens on 127.0.0.1, serves one client at a
// time, only one whose socket belongs to this process's user, and sends the
// transmit blocks handed to it. Every socket operation
// runs on the server's own thread; other threads only post work to it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "renderer_callbacks.h"
#include "send_ring.h"
#include "voxreel/hresult.h"

class CTcpServer {
public:
    // The client socket's send buffer: with the kernel's doubling this lets
    // about one second of audio wait in the kernel; past it the blocks stay
    // in flight and later audio is dropped instead of delayed.
    static constexpr int kClientSendBuffer = 16000;
    static constexpr const char* kThreadName = "callfeed-server";

    explicit CTcpServer(NotifyFn notify);
    ~CTcpServer();
    CTcpServer(const CTcpServer&) = delete;
    CTcpServer& operator=(const CTcpServer&) = delete;

    // Listens on 127.0.0.1 at the low 16 bits of nPort and starts the
    // server thread. E_FAIL when the port cannot be bound or a server
    // thread exists already.
    HRESULT Start(int nPort);
    // Ends the server thread: the client is closed, code 2 is posted and
    // every block in flight is released before Stop returns. A thread that
    // already ended on an error is only joined.
    void Stop();
    bool HasThread() const { return m_thread.joinable(); }
    // The port actually bound (useful when 0 asked for any free port).
    std::uint16_t LocalPort() const { return m_nLocalPort.load(std::memory_order_relaxed); }

    // Called by the pacing thread with a full block marked not free: the
    // block goes to the client, or is released at once when there is none.
    void Submit(SendBlock& block);

    // Makes the server thread end as on a failed wait (code 0, E_FAIL).
    void InjectFailure();

private:
    class CSession;
    void Run(CSession& session);

    NotifyFn m_notify;
    std::mutex m_mutex;
    // Whether the server thread still takes blocks; guarded by m_mutex, and
    // so is posting to m_pSession while it is true.
    bool m_bAccepting = false;
    std::unique_ptr<CSession> m_pSession; // set and reset by the controlling thread only
    std::thread m_thread;                 // the controlling thread only
    std::atomic<std::uint16_t> m_nLocalPort{0};
};
