// The thread that talks to the sound server, so that the thread that owns it
// (the UI thread) never waits for the server's answers. Jobs run one at a
// time in the order they were posted; a job hands its results back with
// Reply, and the replies run on the owner's thread in the order they were
// made, as events of the owner's loop.
#pragma once

#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CSoundServerThread final : public QObject {
public:
    using Job = std::function<void()>;

    CSoundServerThread();
    // Drops the jobs not started yet and waits for the running one.
    ~CSoundServerThread() override;
    CSoundServerThread(const CSoundServerThread&) = delete;
    CSoundServerThread& operator=(const CSoundServerThread&) = delete;

    // From any thread.
    void Post(Job job);
    // Runs the job after a delay, unless the thread stops first.
    void PostAfter(std::chrono::milliseconds delay, Job job);
    // From a job: runs reply on the owner's thread.
    void Reply(Job reply);

    // From the owner's thread: waits until every job posted so far (not the
    // delayed ones still waiting) has run, then runs the replies they made.
    // Each job's own waits bound it.
    void Settle();
    // Drops the delayed jobs that wait; they belong to something going away.
    void DropDelayed();

private:
    struct Delayed {
        std::chrono::steady_clock::time_point due;
        Job job;
    };
    void Loop();
    // Called with m_mutex held: moves the delayed jobs that are due to the queue.
    void TakeDue(std::chrono::steady_clock::time_point now);
    void customEvent(QEvent* pEvent) override;
    void RunReplies();

    std::mutex m_mutex;
    std::condition_variable m_wake;    // new work, or the stop
    std::condition_variable m_settled; // a job finished
    std::deque<Job> m_jobs;            // guarded by m_mutex
    std::vector<Delayed> m_delayed;    // guarded by m_mutex
    std::deque<Job> m_replies;         // guarded by m_mutex
    std::uint64_t m_nPosted = 0;       // jobs queued so far; guarded by m_mutex
    std::uint64_t m_nDone = 0;         // jobs finished so far; guarded by m_mutex
    bool m_bStop = false;              // guarded by m_mutex
    // Counts reply events posted. Qt's event queue locks with futexes that
    // ThreadSanitizer cannot see; storing here before posting and loading on
    // arrival makes each hand-off visible to it.
    std::atomic<std::uint64_t> m_nRepliesPosted{0};
    std::thread m_thread; // last: starts once the fields above exist
};
