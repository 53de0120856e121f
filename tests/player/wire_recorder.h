// What the renderer's port carries, as the call client gets it: a loopback
// client that reads on its own thread, so that at any moment it holds what
// has reached the wire. Shared by the player's tests and its benchmark.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "voxreel_test_support.h"

class CWireRecorder {
public:
    ~CWireRecorder()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
        close(m_fd);
    }

    bool Connect(int nPort)
    {
        m_fd = voxreel::test::ConnectLoopback(nPort);
        if (m_fd >= 0)
            m_thread = std::thread([this] { ReadLoop(); });
        return m_fd >= 0;
    }
    std::size_t Samples() const
    {
        std::lock_guard lock(m_mutex);
        return m_bytes.size() / 2;
    }
    std::vector<std::int16_t> Copy() const // the wire's little-endian samples
    {
        std::lock_guard lock(m_mutex);
        return voxreel::test::LittleEndianSamples(m_bytes);
    }

private:
    void ReadLoop()
    {
        std::uint8_t chunk[8192];
        while (!m_bStop) {
            const ssize_t n = voxreel::test::ReceiveWithin(m_fd, chunk, sizeof chunk, 20);
            if (n < 0)
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
