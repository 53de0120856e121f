#include "pacing_thread.h"

#include <pthread.h>

#include <system_error>

HRESULT CPacingThread::Start(std::chrono::milliseconds period, std::function<void()> tick)
{
    if (m_thread.joinable())
        return E_UNEXPECTED;
    {
        std::lock_guard lock(m_mutex);
        m_bStop = false;
    }
    try {
        m_thread = std::thread([this, period, tick = std::move(tick)] { Run(period, tick); });
    } catch (const std::system_error& error) {
        return HResultFromErrno(error.code().value());
    }
    return S_OK;
}

void CPacingThread::Stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void CPacingThread::Run(std::chrono::milliseconds period, const std::function<void()>& tick)
{
    using Clock = std::chrono::steady_clock;
    pthread_setname_np(pthread_self(), kThreadName);
    Clock::time_point deadline = Clock::now() + period;
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_wake.wait_until(lock, deadline, [this] { return m_bStop; }))
            return;
        lock.unlock();
        tick();
        lock.lock();
        deadline += period;
        // After a stall one late tick takes everything captured meanwhile;
        // there is nothing to catch up with a burst of ticks.
        const Clock::time_point now = Clock::now();
        if (deadline <= now)
            deadline = now + period;
    }
}
