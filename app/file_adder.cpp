#include "file_adder.h"

#include <QMetaObject>

#include "playlist/media_info.h"
#include "rules/audio_files.h"

namespace {
// Files handed to the window per turn of its event loop: small enough that
// inserting them never stalls the window noticeably.
constexpr std::size_t kBatchSize = 100;
} // namespace

CFileAdder::CFileAdder(BatchFn onBatch, ProgressFn onProgress)
    : m_onBatch(std::move(onBatch)), m_onProgress(std::move(onProgress))
{
}

CFileAdder::~CFileAdder()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

std::uint64_t CFileAdder::Add(std::vector<std::filesystem::path> paths)
{
    const std::uint64_t nRequest = ++m_nLastRequest;
    {
        std::lock_guard lock(m_mutex);
        for (auto& path : paths)
            m_inbox.push_back({nRequest, std::move(path)});
    }
    if (!m_worker.joinable())
        m_worker = std::thread([this] { WorkerLoop(); });
    m_wake.notify_one();
    return nRequest;
}

bool CFileAdder::Busy() const
{
    std::lock_guard lock(m_mutex);
    return !m_inbox.empty() || m_nInFlight > 0 || !m_outbox.empty();
}

void CFileAdder::WorkerLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bStop || !m_inbox.empty(); });
        if (m_bStop)
            return;
        const Request request = std::move(m_inbox.front());
        m_inbox.pop_front();
        ++m_nInFlight;
        lock.unlock();
        DescribeOne(request);
        lock.lock();
        --m_nInFlight;
        if (m_inbox.empty())
            PostDrain(); // the owner sees the end of the burst
    }
}

void CFileAdder::DescribeOne(const Request& request)
{
    std::vector<PlaylistItem> items = ExpandAddedPath(request.path);
    {
        std::lock_guard lock(m_mutex);
        m_nFound += items.size();
    }
    for (PlaylistItem& item : items) {
        if (item.title.empty())
            DescribeFile(item.path, item);
        std::lock_guard lock(m_mutex);
        if (m_bStop)
            return;
        m_outbox.push_back({request.nRequest, std::move(item)});
        PostDrain();
    }
}

// Called with m_mutex held.
void CFileAdder::PostDrain()
{
    if (m_bDrainPosted)
        return;
    m_bDrainPosted = true;
    QMetaObject::invokeMethod(
        this, [this] { Drain(); }, Qt::QueuedConnection);
}

void CFileAdder::Drain()
{
    std::vector<Added> batch;
    std::size_t nFound = 0;
    bool bBurstOver = false;
    {
        std::lock_guard lock(m_mutex);
        const std::size_t n = std::min(kBatchSize, m_outbox.size());
        batch.assign(std::make_move_iterator(m_outbox.begin()),
                     std::make_move_iterator(m_outbox.begin() + static_cast<std::ptrdiff_t>(n)));
        m_outbox.erase(m_outbox.begin(), m_outbox.begin() + static_cast<std::ptrdiff_t>(n));
        m_bDrainPosted = false;
        if (!m_outbox.empty())
            PostDrain();
        nFound = m_nFound;
        bBurstOver = m_outbox.empty() && m_inbox.empty() && m_nInFlight == 0;
        if (bBurstOver)
            m_nFound = 0;
    }
    m_nDone += batch.size();
    if (!batch.empty())
        m_onBatch(std::move(batch));
    m_onProgress(m_nDone, bBurstOver ? m_nDone : nFound);
    if (bBurstOver)
        m_nDone = 0;
}
