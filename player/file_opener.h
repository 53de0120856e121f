// The player's opening thread: runs one job at a time, in the order they
// were posted, so that a file whose source stalls (a network mount that
// hangs, a FIFO nobody writes) holds up nobody but the files after it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class CFileOpener {
public:
    CFileOpener();
    // Waits for the running and the queued jobs.
    ~CFileOpener();
    CFileOpener(const CFileOpener&) = delete;
    CFileOpener& operator=(const CFileOpener&) = delete;

    void Post(std::function<void()> job);
    // True when every posted job has run within the time.
    bool WaitIdle(std::chrono::milliseconds timeout);

private:
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_changed;        // a job posted or finished, or the end
    std::deque<std::function<void()>> m_jobs; // guarded by m_mutex
    bool m_bBusy = false;                     // guarded by m_mutex: a job is running
    bool m_bEnding = false;                   // guarded by m_mutex
    std::thread m_thread;                     // started last, joined by the destructor
};
