#include "sound_server_thread.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

namespace {
const QEvent::Type kReplyEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
} // namespace

CSoundServerThread::CSoundServerThread() : m_thread([this] { Loop(); })
{
}

CSoundServerThread::~CSoundServerThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
        m_jobs.clear();
        m_delayed.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

void CSoundServerThread::Post(Job job)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_bStop)
            return;
        m_jobs.push_back(std::move(job));
        ++m_nPosted;
    }
    m_wake.notify_all();
}

void CSoundServerThread::PostAfter(std::chrono::milliseconds delay, Job job)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_bStop)
            return;
        m_delayed.push_back({std::chrono::steady_clock::now() + delay, std::move(job)});
    }
    m_wake.notify_all();
}

void CSoundServerThread::Reply(Job reply)
{
    {
        std::lock_guard lock(m_mutex);
        m_replies.push_back(std::move(reply));
    }
    auto* pEvent = new QEvent(kReplyEvent); // made before the store that publishes it
    m_nRepliesPosted.fetch_add(1, std::memory_order_release);
    QCoreApplication::postEvent(this, pEvent);
}

void CSoundServerThread::Settle()
{
    {
        std::unique_lock lock(m_mutex);
        const std::uint64_t nTarget = m_nPosted;
        m_settled.wait(lock, [&] { return m_nDone >= nTarget; });
    }
    (void)m_nRepliesPosted.load(std::memory_order_acquire);
    RunReplies();
}

void CSoundServerThread::DropDelayed()
{
    std::lock_guard lock(m_mutex);
    m_delayed.clear();
}

void CSoundServerThread::Loop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        TakeDue(std::chrono::steady_clock::now());
        if (m_bStop)
            return;
        if (m_jobs.empty()) {
            if (m_delayed.empty()) {
                m_wake.wait(lock);
            } else {
                // A copy: the wait reads the time again once woken, when a
                // PostAfter may have moved the delayed jobs elsewhere.
                const auto due = m_delayed.front().due; // TakeDue sorted them
                m_wake.wait_until(lock, due);
            }
            continue;
        }
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        job();
        job = nullptr; // what it holds goes before the job counts as done
        lock.lock();
        ++m_nDone;
        m_settled.notify_all();
    }
}

// Due jobs join the queue in the order they fell due.
void CSoundServerThread::TakeDue(std::chrono::steady_clock::time_point now)
{
    std::stable_sort(m_delayed.begin(), m_delayed.end(),
                     [](const Delayed& a, const Delayed& b) { return a.due < b.due; });
    auto firstLater = std::find_if(m_delayed.begin(), m_delayed.end(),
                                   [now](const Delayed& d) { return d.due > now; });
    for (auto it = m_delayed.begin(); it != firstLater; ++it) {
        m_jobs.push_back(std::move(it->job));
        ++m_nPosted;
    }
    m_delayed.erase(m_delayed.begin(), firstLater);
}

void CSoundServerThread::customEvent(QEvent* pEvent)
{
    (void)m_nRepliesPosted.load(std::memory_order_acquire); // before touching the event
    if (pEvent->type() == kReplyEvent)
        RunReplies();
}

void CSoundServerThread::RunReplies()
{
    for (;;) {
        Job reply;
        {
            std::lock_guard lock(m_mutex);
            if (m_replies.empty())
                return;
            reply = std::move(m_replies.front());
            m_replies.pop_front();
        }
        reply();
    }
}
