// The call's side of a soak: a loopback client that reads on its own thread
// and keeps the stream's figures: bytes after the first arrival, the time
// between the first and the last, and the longest time between two arrivals.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>

class CSoakClient {
public:
    using Clock = std::chrono::steady_clock;

    struct Figures {
        std::uint64_t m_cbAfterFirst = 0;
        double m_dSeconds = 0;  // first to last arrival
        double m_dMaxGapMs = 0; // longest time between two arrivals
    };

    explicit CSoakClient(int nPort);
    ~CSoakClient();
    CSoakClient(const CSoakClient&) = delete;
    CSoakClient& operator=(const CSoakClient&) = delete;

    bool Connected() const { return m_fd >= 0; }
    Figures Read() const;

private:
    void ReadLoop();

    int m_fd = -1;
    std::atomic<bool> m_bStop{false};
    mutable std::mutex m_mutex;
    Figures m_figures;                     // guarded by m_mutex
    Clock::time_point m_first{}, m_last{}; // guarded by m_mutex
    bool m_bFirst = true;                  // guarded by m_mutex
    std::thread m_thread;
};
