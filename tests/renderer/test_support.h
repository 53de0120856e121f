// Helpers shared by the renderer's tests: buffers, a loopback client,
// free ports and bounded waits.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "voxreel/gst_handle.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// GStreamer is ready before any test makes a buffer.
inline const bool g_bGstInitialised = [] {
    gst_init(nullptr, nullptr);
    return true;
}();

// Polls a condition until it holds or the time is up.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = 10s)
{
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

inline CBufferPtr MakeBuffer(const std::vector<std::int16_t>& samples)
{
    GstBuffer* pBuffer = gst_buffer_new_allocate(nullptr, samples.size() * 2, nullptr);
    gst_buffer_fill(pBuffer, 0, samples.data(), samples.size() * 2);
    return CBufferPtr(pBuffer);
}

inline sockaddr_in Loopback(int nPort)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(nPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A TCP socket on 127.0.0.1 that listens at nPort (0: any free port), as
// another program would. Returns the descriptor.
inline int Listen(int nPort)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(nPort);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd, 1);
    return fd;
}

// A port that nothing listened on a moment ago.
inline int FreePort()
{
    const int fd = Listen(0);
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
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
        const sockaddr_in address = Loopback(nPort);
        return connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    void Close()
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }
    // Appends what arrives until cbWanted bytes are there, the peer closes
    // or the time is up. False when the peer closed.
    bool Read(std::vector<std::uint8_t>& data, std::size_t cbWanted,
              std::chrono::milliseconds timeout = 10s)
    {
        const auto deadline = Clock::now() + timeout;
        std::uint8_t chunk[8192];
        while (data.size() < cbWanted && Clock::now() < deadline) {
            pollfd entry{m_fd, POLLIN, 0};
            if (poll(&entry, 1, 20) <= 0)
                continue;
            const ssize_t n = recv(m_fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return false;
            data.insert(data.end(), chunk, chunk + n);
        }
        return true;
    }
    bool WaitClosed()
    {
        std::vector<std::uint8_t> ignored;
        return !Read(ignored, SIZE_MAX);
    }

private:
    int m_fd = -1;
};

inline std::vector<std::int16_t> Samples(const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}
