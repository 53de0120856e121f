// A client of 127.0.0.1 for the renderer's and the player's tests, whose
// reads are bounded in time, and a port to serve on.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <complex>
#include <numbers>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "voxreel_test_support.h"

using voxreel::test::FreePort;

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
    // Receives until done() holds, the peer closes or the time is up; the
    // last value of done().
    bool ReadUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::uint8_t chunk[8192];
        while (!done() && !m_bClosed && std::chrono::steady_clock::now() < deadline) {
            pollfd entry{m_fd, POLLIN, 0};
            if (poll(&entry, 1, 20) <= 0)
                continue;
            const ssize_t n = recv(m_fd, chunk, sizeof chunk, 0);
            m_bClosed = n <= 0;
            m_received.insert(m_received.end(), chunk, chunk + std::max<ssize_t>(n, 0));
        }
        return done();
    }
    // True when m_received holds cbWanted bytes within the time.
    bool Read(std::size_t cbWanted, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        return ReadUntil([&] { return m_received.size() >= cbWanted; }, timeout);
    }
    // True when the peer closes within the time.
    bool WaitClosed() { return !Read(SIZE_MAX) && m_bClosed; }
    std::size_t Samples() const { return m_received.size() / 2; }
    // Received sample n (16-bit little-endian).
    std::int16_t Sample(std::size_t n) const
    {
        return static_cast<std::int16_t>(m_received[2 * n] | m_received[2 * n + 1] << 8);
    }
    // How many samples from nFrom on have a magnitude above nLevel.
    std::size_t Louder(std::size_t nFrom, int nLevel) const
    {
        std::size_t nLoud = 0;
        for (std::size_t n = nFrom; n < Samples(); ++n)
            nLoud += std::abs(Sample(n)) > nLevel;
        return nLoud;
    }

    // Amplitude of a tone in the nWindow samples from nFrom on, by projection
    // onto the tone over that window.
    double ToneAmplitude(std::size_t nFrom, double dFrequency, std::size_t nWindow = 8192) const
    {
        std::complex<double> sum;
        for (std::size_t n = nFrom; n < nFrom + nWindow && n < Samples(); ++n)
            sum += std::polar<double>(Sample(n), 2 * std::numbers::pi * dFrequency * n / 16000);
        return 2 * std::abs(sum) / static_cast<double>(nWindow);
    }

    std::vector<std::uint8_t> m_received; // every byte read so far

private:
    int m_fd = -1;
    bool m_bClosed = false;
};
