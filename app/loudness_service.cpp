#include "loudness_service.h"

#include <utility>

#include "file_analysis.h"
#include "idle_task_pool.h"
#include "loudness_cache.h"

namespace {
loudness::Analysis AnalyseNormally(const std::filesystem::path& path,
                                   const std::atomic<bool>* pCancel)
{
    return loudness::AnalyseFile(path, loudness::AnalysisMode::TagsOrMeasure, pCancel);
}
} // namespace

CLoudnessService::CLoudnessService(std::filesystem::path cacheFolder, ResultFn onResult,
                                   ProgressFn onProgress, AnalyseFn analyse)
    : m_onResult(std::move(onResult)), m_onProgress(std::move(onProgress)),
      m_analyse(analyse ? std::move(analyse) : AnalyseFn(AnalyseNormally)),
      m_worker([this, folder = std::move(cacheFolder)]() mutable { WorkerLoop(std::move(folder)); })
{
}

CLoudnessService::~CLoudnessService()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_all();
    m_worker.join();
}

void CLoudnessService::Request(std::int32_t id, std::filesystem::path path)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({id, std::move(path)});
    }
    ++m_nAsked;
    m_wake.notify_one();
}

void CLoudnessService::CancelQueued()
{
    std::lock_guard lock(m_mutex);
    m_nAsked -= std::min(m_nAsked, m_queue.size());
    m_queue.clear();
}

bool CLoudnessService::Busy() const
{
    std::lock_guard lock(m_mutex);
    return !m_queue.empty() || m_nInFlight > 0;
}

void CLoudnessService::WorkerLoop(std::filesystem::path cacheFolder)
{
    loudness::LowerThisThread();
    loudness::CLoudnessCache cache(std::move(cacheFolder)); // this thread's alone
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bStop || !m_queue.empty(); });
        if (m_bStop)
            return;
        Job job = std::move(m_queue.front());
        m_queue.pop_front();
        ++m_nInFlight;
        lock.unlock();

        Result result{job.id, job.path, cache.Find(job.path), false, {}};
        result.bFromCache = result.loudness.has_value();
        if (!result.bFromCache) {
            loudness::Analysis analysis = m_analyse(job.path, &m_bStop);
            result.loudness = analysis.loudness;
            result.strError = std::move(analysis.strError);
            if (result.loudness)
                cache.Store(job.path, *result.loudness);
        }
        lock.lock();
        if (m_bStop)
            return;
        // Posted with the lock held, so that Busy never misses a result on its way.
        m_nPosted.fetch_add(1, std::memory_order_release);
        QMetaObject::invokeMethod(
            this, [this, r = std::move(result)]() mutable { Deliver(std::move(r)); },
            Qt::QueuedConnection);
    }
}

void CLoudnessService::Deliver(Result&& result)
{
    (void)m_nPosted.load(std::memory_order_acquire); // before touching the result
    {
        std::lock_guard lock(m_mutex);
        --m_nInFlight;
    }
    ++m_nDone;
    m_onResult(std::move(result));
    const std::size_t nAsked = std::max(m_nAsked, m_nDone);
    m_onProgress(m_nDone, nAsked);
    if (!Busy())
        m_nAsked = m_nDone = 0;
}
