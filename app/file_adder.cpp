#include "file_adder.h"

#include <QCoreApplication>
#include <QEvent>

#include "playlist/media_info.h"
#include "rules/audio_files.h"

namespace {
// Files handed to the window per turn of its event loop: small enough that
// inserting them never stalls the window noticeably.
constexpr std::size_t kBatchSize = 100;

const QEvent::Type kDrainEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// Moves up to n elements from the front of from.
template <typename T> std::vector<T> TakeFront(std::vector<T>& from, std::size_t n)
{
    const auto end = from.begin() + static_cast<std::ptrdiff_t>(std::min(n, from.size()));
    std::vector<T> taken(std::make_move_iterator(from.begin()), std::make_move_iterator(end));
    from.erase(from.begin(), end);
    return taken;
}
} // namespace

CFileAdder::CFileAdder(BatchFn onBatch, ProgressFn onProgress, DescribedFn onDescribed)
    : m_onBatch(std::move(onBatch)), m_onProgress(std::move(onProgress)),
      m_onDescribed(std::move(onDescribed))
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
    StartWorker();
    return nRequest;
}

void CFileAdder::Describe(const std::vector<PlaylistItem>& entries)
{
    {
        std::lock_guard lock(m_mutex);
        for (const PlaylistItem& entry : entries) {
            if (NeedsDescribing(entry))
                m_entriesToDescribe.push_back(entry);
        }
        if (m_entriesToDescribe.empty())
            return;
    }
    StartWorker();
}

void CFileAdder::StartWorker()
{
    if (!m_worker.joinable())
        m_worker = std::thread([this] { WorkerLoop(); });
    m_wake.notify_one();
}

bool CFileAdder::Busy() const
{
    std::lock_guard lock(m_mutex);
    return !m_inbox.empty() || m_nInFlight > 0 || !m_outbox.empty() ||
           !m_entriesToDescribe.empty() || m_nDescribing > 0 || !m_describedOut.empty();
}

bool CFileAdder::FinishAdds(std::chrono::milliseconds limit)
{
    bool bDone = false;
    {
        std::unique_lock lock(m_mutex);
        bDone = m_addsDone.wait_for(lock, limit,
                                    [this] { return m_inbox.empty() && m_nInFlight == 0; });
    }
    for (;;) { // Drain hands over a batch at a time
        Drain();
        std::lock_guard lock(m_mutex);
        if (m_outbox.empty())
            return bDone;
    }
}

// Files being added go first: the user waits for them, while the entries
// described here already have their rows.
void CFileAdder::WorkerLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock,
                    [this] { return m_bStop || !m_inbox.empty() || !m_entriesToDescribe.empty(); });
        if (m_bStop)
            return;
        if (m_inbox.empty()) {
            DescribeEntry(lock);
            continue;
        }
        const Request request = std::move(m_inbox.front());
        m_inbox.pop_front();
        ++m_nInFlight;
        lock.unlock();
        DescribeOne(request);
        lock.lock();
        --m_nInFlight;
        if (m_inbox.empty()) {
            PostDrain(); // the owner sees the end of the burst
            m_addsDone.notify_all();
        }
    }
}

// Called with lock held on m_mutex; releases it while reading the file.
void CFileAdder::DescribeEntry(std::unique_lock<std::mutex>& lock)
{
    PlaylistItem entry = std::move(m_entriesToDescribe.front());
    m_entriesToDescribe.pop_front();
    ++m_nDescribing;
    lock.unlock();
    const PlaylistItem before = entry;
    DescribeMissing(entry);
    lock.lock();
    --m_nDescribing;
    if (entry.title != before.title || entry.duration != before.duration) {
        m_describedOut.push_back(std::move(entry));
        PostDrain();
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
        // A playlist's entry keeps the title it was listed with.
        if (item.title.empty())
            DescribeFile(item.path, item);
        else
            DescribeMissing(item);
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
    auto* pEvent = new QEvent(kDrainEvent);
    m_nDrainsPosted.fetch_add(1, std::memory_order_release);
    QCoreApplication::postEvent(this, pEvent);
}

void CFileAdder::customEvent(QEvent* pEvent)
{
    (void)m_nDrainsPosted.load(std::memory_order_acquire); // before touching the event
    if (pEvent->type() == kDrainEvent)
        Drain();
}

void CFileAdder::Drain()
{
    std::vector<Added> batch;
    std::vector<PlaylistItem> described;
    std::size_t nFound = 0;
    bool bBurstOver = false;
    {
        std::lock_guard lock(m_mutex);
        batch = TakeFront(m_outbox, kBatchSize);
        described = TakeFront(m_describedOut, kBatchSize);
        m_bDrainPosted = false;
        if (!m_outbox.empty() || !m_describedOut.empty())
            PostDrain();
        nFound = m_nFound;
        bBurstOver = m_outbox.empty() && m_inbox.empty() && m_nInFlight == 0;
        if (bBurstOver)
            m_nFound = 0;
    }
    if (!described.empty() && m_onDescribed)
        m_onDescribed(std::move(described));
    m_nDone += batch.size();
    if (!batch.empty())
        m_onBatch(std::move(batch));
    m_onProgress(m_nDone, bBurstOver ? m_nDone : nFound);
    if (bBurstOver)
        m_nDone = 0;
}
