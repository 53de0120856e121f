// The playback queue: buffers passed through the renderer wait here, each
// with the count of its samples the mixer has already used, until the mixer
// has used them all, a flush drops them, or the renderer goes away. One
// queue per pad: 16 kHz mono for the call, 48 kHz stereo for the wide mix.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "voxreel/gst_handle.h"

struct QueuedSample {
    CBufferPtr m_pSample;     // the queue's own reference
    std::int32_t m_nConsumed; // 16-bit samples already taken from the front
};

// An entry the mixer has taken off the front, with the flush generation it
// was taken in.
struct TakenSample {
    QueuedSample m_entry;
    std::uint64_t m_nGeneration;
};

// The count always equals the samples waiting in the queue plus those left
// in an entry the mixer holds. A flush zeroes the count and empties the
// queue in one step; an entry taken before the flush does not come back and
// does not take its samples off the zeroed count.
class CPlaybackQueue {
public:
    static constexpr std::int64_t kNoPosition = -1;

    // nRate and nChannels tell the position how long a sample lasts.
    explicit CPlaybackQueue(int nRate = 16000, int nChannels = 1)
        : m_nRate(nRate), m_nChannels(nChannels)
    {
    }
    CPlaybackQueue(const CPlaybackQueue&) = delete;
    CPlaybackQueue& operator=(const CPlaybackQueue&) = delete;

    // Appends the buffer at the back; the queue takes over the reference.
    void Push(CBufferPtr pSample);
    // Drops every queued buffer, zeroes the count, forgets the position and
    // the end. A held queue stays held.
    void Flush();
    // No buffer follows the queued ones (end of stream): the mixer then takes
    // a tail shorter than its region too. Push or Flush clears it.
    void SetEnded() { m_bEnded.store(true, std::memory_order_release); }
    bool IsEnded() const { return m_bEnded.load(std::memory_order_acquire); }
    // Buffer time (ns) the mixer has reached: the timestamp of the entry it
    // used last plus what it used of it; kNoPosition before anything was
    // used since the last flush, or with buffers that carry no timestamp.
    std::int64_t Position() const { return m_nPosition.load(std::memory_order_acquire); }
    // Drops up to nSamples from the front as if mixed; returns how many.
    std::int32_t Skip(std::int32_t nSamples);
    // While held the mixer takes nothing: the entries wait, with what was
    // consumed of the front one, until the hold is lifted. An entry the mixer
    // took before the hold still comes back (Return) as usual.
    //
    // A held queue keeps copies of its buffers, not upstream's: upstream's
    // pool is bounded, and a pipeline going to PAUSED needs one more buffer to
    // preroll its sink, which it would wait for for ever were every pool
    // buffer waiting here.
    void SetHeld(bool bHeld);
    // The samples the mixer may use now: the count, or 0 while held.
    std::int32_t Available() const { return m_bHeld.load(std::memory_order_acquire) ? 0 : Count(); }
    // Takes the front entry off the queue; nothing when it is empty or held.
    std::optional<TakenSample> TakeFront();
    // The mixer has used nUsed more samples of a taken entry: takes them off
    // the count and puts the entry back at the front when samples are left.
    // Both only when no flush happened since the entry was taken; otherwise
    // the entry is dropped.
    void Return(TakenSample taken, std::int32_t nUsed);
    // Drops a taken entry whose remaining samples cannot be used.
    void Discard(TakenSample taken, std::int32_t nRemaining);

    std::int32_t Count() const { return m_nCount.load(std::memory_order_acquire); }
    // The samples the queued entries still hold; equals Count() whenever the
    // mixer holds no entry.
    std::int64_t QueuedSamples() const;

    static std::int32_t SamplesIn(GstBuffer* pSample)
    {
        return static_cast<std::int32_t>(gst_buffer_get_size(pSample) >> 1);
    }

private:
    std::int64_t PositionAfter(const QueuedSample& entry) const;

    const int m_nRate;
    const int m_nChannels;
    mutable std::mutex m_mutex;
    std::deque<QueuedSample> m_queue; // guarded by m_mutex
    std::uint64_t m_nGeneration = 0;  // guarded by m_mutex; flushes so far
    // Written only under m_mutex (so TakeFront sees it in order); read
    // without it by Available.
    std::atomic<bool> m_bHeld{false};
    // Written only under m_mutex; read without it by the mixer's check.
    std::atomic<std::int32_t> m_nCount{0};
    // Written only under m_mutex; read without it.
    std::atomic<bool> m_bEnded{false};
    std::atomic<std::int64_t> m_nPosition{kNoPosition};
};
