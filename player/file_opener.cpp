#include "file_opener.h"

#include <pthread.h>

CFileOpener::CFileOpener() : m_thread([this] { Run(); })
{
}

CFileOpener::~CFileOpener()
{
    {
        std::lock_guard lock(m_mutex);
        m_bEnding = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void CFileOpener::Post(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_changed.notify_all();
}

bool CFileOpener::WaitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_jobs.empty() && !m_bBusy; });
}

void CFileOpener::Run()
{
    pthread_setname_np(pthread_self(), "player-opener");
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_bEnding || !m_jobs.empty(); });
        if (m_jobs.empty())
            return;
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_bBusy = true;
        lock.unlock();
        job();
        lock.lock();
        m_bBusy = false;
        m_changed.notify_all();
    }
}
