// Helpers shared by the renderer's tests: buffers, free ports, bounded
// waits and a loopback client.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

#include "callfeed_renderer_register.h"
#include "tcp_server.h"
#include "voxreel/gst_handle.h"
#include "voxreel_test_support.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// GStreamer is ready, and the renderer registered, before any test runs.
inline const bool g_bGstReady = [] {
    gst_init(nullptr, nullptr);
    return GST_ELEMENT_REGISTER(callfeedrenderer, nullptr) != FALSE;
}();

using voxreel::test::WaitUntil;

inline CBufferPtr MakeBuffer(const std::vector<std::int16_t>& samples)
{
    return CBufferPtr(gst_buffer_new_memdup(samples.data(), samples.size() * 2));
}

// A port that nothing listened on a moment ago.
inline int FreePort()
{
    CTcpServer probe([](int, std::uint32_t) {});
    probe.Start(0);
    return probe.LocalPort();
}

// A client of 127.0.0.1 whose reads are bounded in time.
class CTestClient {
public:
    ~CTestClient() { Close(); }

    bool Connect(int nPort, int cbReceiveBuffer = 0)
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        if (cbReceiveBuffer > 0)
            setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &cbReceiveBuffer, sizeof cbReceiveBuffer);
        const sockaddr_in address{
            AF_INET, htons(static_cast<std::uint16_t>(nPort)), {htonl(INADDR_LOOPBACK)}, {}};
        return connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    void Close() { close(std::exchange(m_fd, -1)); }
    // Receives until m_received holds cbWanted bytes, the peer closes or
    // the time is up. True when the bytes are there.
    bool Read(std::size_t cbWanted, std::chrono::milliseconds timeout = 10s)
    {
        const auto deadline = Clock::now() + timeout;
        std::uint8_t chunk[8192];
        while (m_received.size() < cbWanted && !m_bClosed && Clock::now() < deadline) {
            pollfd entry{m_fd, POLLIN, 0};
            if (poll(&entry, 1, 20) <= 0)
                continue;
            const ssize_t n = recv(m_fd, chunk, sizeof chunk, 0);
            m_bClosed = n <= 0;
            m_received.insert(m_received.end(), chunk, chunk + std::max<ssize_t>(n, 0));
        }
        return m_received.size() >= cbWanted;
    }
    // True when the peer closes within the time.
    bool WaitClosed() { return !Read(SIZE_MAX) && m_bClosed; }
    // Received sample n (16-bit little-endian).
    std::int16_t Sample(std::size_t n) const
    {
        return static_cast<std::int16_t>(m_received[2 * n] | m_received[2 * n + 1] << 8);
    }

    std::vector<std::uint8_t> m_received; // every byte read so far

private:
    int m_fd = -1;
    bool m_bClosed = false;
};
