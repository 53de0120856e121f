// What the renderer's port carries, as the call client gets it: a loopback
// client that reads on its own thread (so that at any moment it holds what
// has reached the wire), and where a file's tone lies in what it got.
// Shared by the player's tests and its benchmark.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

class CWireRecorder {
public:
    CWireRecorder() = default;
    ~CWireRecorder()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            close(m_fd);
    }
    CWireRecorder(const CWireRecorder&) = delete;
    CWireRecorder& operator=(const CWireRecorder&) = delete;

    bool Connect(int nPort)
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address{
            AF_INET, htons(static_cast<std::uint16_t>(nPort)), {htonl(INADDR_LOOPBACK)}, {}};
        if (connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            return false;
        m_thread = std::thread([this] { ReadLoop(); });
        return true;
    }
    std::size_t Samples() const
    {
        std::lock_guard lock(m_mutex);
        return m_bytes.size() / 2;
    }
    std::vector<std::int16_t> Copy() const // the wire's little-endian samples
    {
        std::lock_guard lock(m_mutex);
        std::vector<std::int16_t> samples(m_bytes.size() / 2);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<std::int16_t>(m_bytes[2 * i] | m_bytes[2 * i + 1] << 8);
        return samples;
    }

private:
    void ReadLoop()
    {
        std::uint8_t chunk[8192];
        while (!m_bStop) {
            pollfd entry{m_fd, POLLIN, 0};
            if (poll(&entry, 1, 20) <= 0)
                continue;
            const ssize_t n = recv(m_fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return;
            std::lock_guard lock(m_mutex);
            m_bytes.insert(m_bytes.end(), chunk, chunk + n);
        }
    }

    int m_fd = -1;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<std::uint8_t> m_bytes; // guarded by m_mutex
};

// The wire cut into 2 ms windows (32 samples at 16 kHz, a whole period of
// any tone from 500 Hz up), each known by its loudest sample. Files played
// at different levels are told apart by that peak.
struct WireTone {
    static constexpr std::size_t kWindow = 32;
    static constexpr double kWindowMs = 2.0;
    std::vector<int> m_peaks;

    explicit WireTone(const std::vector<std::int16_t>& samples)
    {
        for (std::size_t n = 0; n + kWindow <= samples.size(); n += kWindow) {
            int nPeak = 0;
            for (std::size_t i = n; i < n + kWindow; ++i)
                nPeak = std::max(nPeak, std::abs(static_cast<int>(samples[i])));
            m_peaks.push_back(nPeak);
        }
    }

    // Where a file's tone (windows peaking within [nLow, nHigh]) first and
    // last is, and the longest stretch between of windows that are not. A
    // window the tone only partly fills can peak anywhere below its level, so
    // the tone is taken to start and end with runs of kRun such windows.
    static constexpr std::size_t kRun = 3;
    struct Span {
        bool bFound = false;
        std::size_t nFirst = 0; // windows
        std::size_t nLast = 0;
        std::size_t nLongestBreak = 0;
        double LengthMs() const { return bFound ? (nLast - nFirst + 1) * kWindowMs : 0.0; }
        double LongestBreakMs() const { return nLongestBreak * kWindowMs; }
        std::size_t EndSample() const { return (nLast + 1) * kWindow; }
    };
    Span Find(int nLow, int nHigh) const
    {
        const auto in = [&](std::size_t n) { return m_peaks[n] >= nLow && m_peaks[n] <= nHigh; };
        const auto runAt = [&](std::size_t n, int nStep) {
            for (std::size_t i = 0; i < kRun; ++i, n += nStep)
                if (n >= m_peaks.size() || !in(n))
                    return false;
            return true;
        };
        Span span;
        for (std::size_t n = 0; n < m_peaks.size(); ++n)
            if (runAt(n, 1)) {
                span.bFound = true;
                span.nFirst = n;
                break;
            }
        for (std::size_t n = m_peaks.size(); span.bFound && n-- > span.nFirst;)
            if (runAt(n, -1)) {
                span.nLast = n;
                break;
            }
        std::size_t nBreak = 0;
        for (std::size_t n = span.nFirst; span.bFound && n <= span.nLast; ++n) {
            nBreak = in(n) ? 0 : nBreak + 1;
            span.nLongestBreak = std::max(span.nLongestBreak, nBreak);
        }
        return span;
    }
};
