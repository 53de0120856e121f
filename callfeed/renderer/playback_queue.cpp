#include "playback_queue.h"

#include <algorithm>
#include <utility>

namespace {

// The same samples in memory of their own, so upstream's buffer can go back
// to its pool.
CBufferPtr Detached(const CBufferPtr& pSample)
{
    return CBufferPtr(gst_buffer_copy_deep(pSample.get()));
}

} // namespace

void CPlaybackQueue::Push(CBufferPtr pSample)
{
    const std::int32_t nSamples = SamplesIn(pSample.get());
    std::lock_guard lock(m_mutex);
    m_bEnded.store(false, std::memory_order_release);
    if (m_bHeld.load(std::memory_order_relaxed))
        pSample = Detached(pSample);
    m_queue.push_back(QueuedSample{std::move(pSample), 0});
    m_nCount.fetch_add(nSamples, std::memory_order_acq_rel);
}

void CPlaybackQueue::Flush()
{
    std::deque<QueuedSample> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_nCount.store(0, std::memory_order_release);
        m_bEnded.store(false, std::memory_order_release);
        m_nPosition.store(kNoPosition, std::memory_order_release);
        dropped.swap(m_queue);
        ++m_nGeneration;
    }
    // The buffers go back to their pools outside the lock.
}

void CPlaybackQueue::SetHeld(bool bHeld)
{
    std::lock_guard lock(m_mutex);
    m_bHeld.store(bHeld, std::memory_order_release);
    if (!bHeld)
        return;
    for (QueuedSample& entry : m_queue)
        entry.m_pSample = Detached(entry.m_pSample);
}

std::optional<TakenSample> CPlaybackQueue::TakeFront()
{
    std::lock_guard lock(m_mutex);
    if (m_queue.empty() || m_bHeld.load(std::memory_order_relaxed))
        return std::nullopt;
    TakenSample taken{std::move(m_queue.front()), m_nGeneration};
    m_queue.pop_front();
    return taken;
}

void CPlaybackQueue::Return(TakenSample taken, std::int32_t nUsed)
{
    QueuedSample entry = std::move(taken.m_entry);
    const bool bUsedUp = entry.m_nConsumed >= SamplesIn(entry.m_pSample.get());
    std::lock_guard lock(m_mutex);
    if (taken.m_nGeneration != m_nGeneration)
        return; // flushed meanwhile: the count was zeroed, the entry is dropped
    m_nCount.fetch_sub(nUsed, std::memory_order_acq_rel);
    if (nUsed > 0)
        m_nPosition.store(PositionAfter(entry), std::memory_order_release);
    if (bUsedUp)
        return;
    if (m_bHeld.load(std::memory_order_relaxed))
        entry.m_pSample = Detached(entry.m_pSample);
    m_queue.push_front(std::move(entry));
    // A used-up entry releases its buffer when it leaves this scope; the
    // unref only returns it to its pool.
}

void CPlaybackQueue::Discard(TakenSample taken, std::int32_t nRemaining)
{
    std::lock_guard lock(m_mutex);
    if (taken.m_nGeneration == m_nGeneration)
        m_nCount.fetch_sub(nRemaining, std::memory_order_acq_rel);
}

std::int64_t CPlaybackQueue::QueuedSamples() const
{
    std::lock_guard lock(m_mutex);
    std::int64_t nSamples = 0;
    for (const QueuedSample& entry : m_queue)
        nSamples += SamplesIn(entry.m_pSample.get()) - entry.m_nConsumed;
    return nSamples;
}

std::int32_t CPlaybackQueue::Skip(std::int32_t nSamples)
{
    std::int32_t nSkipped = 0;
    while (nSkipped < nSamples) {
        std::optional<TakenSample> taken = TakeFront();
        if (!taken)
            break;
        QueuedSample& entry = taken->m_entry;
        const std::int32_t nUsed =
            std::min(nSamples - nSkipped, SamplesIn(entry.m_pSample.get()) - entry.m_nConsumed);
        entry.m_nConsumed += nUsed;
        nSkipped += nUsed;
        Return(std::move(*taken), nUsed);
    }
    return nSkipped;
}

std::int64_t CPlaybackQueue::PositionAfter(const QueuedSample& entry) const
{
    const GstClockTime tStart = GST_BUFFER_PTS(entry.m_pSample.get());
    if (!GST_CLOCK_TIME_IS_VALID(tStart))
        return kNoPosition;
    const auto nFrames = static_cast<guint64>(entry.m_nConsumed / m_nChannels);
    return static_cast<std::int64_t>(tStart +
                                     gst_util_uint64_scale_int(nFrames, GST_SECOND, m_nRate));
}
