// A client of 127.0.0.1 for the renderer's and the player's tests, whose
// reads are bounded in time, and a port to serve on.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <chrono>
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
        m_fd = voxreel::test::ConnectLoopback(nPort, cbReceiveBuffer);
        return m_fd >= 0;
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
            const ssize_t n = voxreel::test::ReceiveWithin(m_fd, chunk, sizeof chunk, 20);
            m_bClosed = n < 0;
            m_received.insert(m_received.end(), chunk, chunk + std::max<ssize_t>(n, 0));
        }
        return done();
    }
    // True when m_received holds cbWanted bytes within the time.
    bool Read(std::size_t cbWanted, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        return ReadUntil([&] { return m_received.size() >= cbWanted; }, timeout);
    }
    // True when cb more bytes come within 10 s.
    bool ReadMore(std::size_t cb) { return Read(m_received.size() + cb); }
    // True when the peer closes within the time.
    bool WaitClosed() { return !Read(SIZE_MAX) && m_bClosed; }
    std::size_t Samples() const { return m_received.size() / 2; }
    // Every sample received so far.
    std::vector<std::int16_t> Copy() const
    {
        return voxreel::test::LittleEndianSamples(m_received);
    }
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

    std::vector<std::uint8_t> m_received; // every byte read so far

private:
    int m_fd = -1;
    bool m_bClosed = false;
};
