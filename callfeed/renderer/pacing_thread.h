// A thread that runs a tick at a fixed period on the steady clock, with
// absolute deadlines so the period does not drift. Stop returns only when
// the thread has ended: no tick runs or starts afterwards.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "voxreel/hresult.h"

class CPacingThread {
public:
    static constexpr const char* kThreadName = "callfeed-pacing";

    CPacingThread() = default;
    ~CPacingThread() { Stop(); }
    CPacingThread(const CPacingThread&) = delete;
    CPacingThread& operator=(const CPacingThread&) = delete;

    // Fails when a thread is running already or cannot be created.
    HRESULT Start(std::chrono::milliseconds period, std::function<void()> tick);
    void Stop();

private:
    void Run(std::chrono::milliseconds period, const std::function<void()>& tick);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_bStop = false; // guarded by m_mutex
    std::thread m_thread; // the controlling thread only
};
