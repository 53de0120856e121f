// Holds the end of a stream on the streaming thread until the call has
// heard it: until the condition the caller gives holds (re-checked whenever
// the pacing thread wakes it after a tick), or an abort (a flush, a state
// change down, transmission stopping) ends every wait in progress.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

class CHeardWait {
public:
    // Returns true when bHeard held, false when aborted. bHeard reads only
    // state the other threads publish before they call Wake or Abort.
    bool Wait(const std::function<bool()>& bHeard)
    {
        std::unique_lock lock(m_mutex);
        const std::uint64_t nAborts = m_nAborts;
        m_wake.wait(lock, [&] { return m_nAborts != nAborts || bHeard(); });
        return m_nAborts == nAborts;
    }
    // Something the condition reads has changed.
    void Wake()
    {
        {
            std::lock_guard lock(m_mutex); // orders the change before a waiter's check
        }
        m_wake.notify_all();
    }
    void Abort()
    {
        {
            std::lock_guard lock(m_mutex);
            ++m_nAborts;
        }
        m_wake.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::uint64_t m_nAborts = 0; // guarded by m_mutex
};
