#include "mixer.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "voxreel/hresult.h"
#include "voxreel/ids.h"

CMixer::CMixer(CPlaybackQueue& queue, CSendRing& ring, const CMixLevels& levels, SubmitFn submit,
               NotifyFn notify, CCallStage* pStage)
    : m_queue(queue), m_ring(ring), m_levels(levels), m_submit(std::move(submit)),
      m_notify(std::move(notify)), m_pStage(pStage)
{
}

void CMixer::FeedBlocks(const std::int16_t* pCapture, std::uint32_t cbLength)
{
    std::uint32_t cbDone = 0;
    int nSubmitted = 0;
    while (cbDone < cbLength && nSubmitted < kBlockCount) {
        SendBlock& block = m_ring.Current();
        if (!block.IsFree())
            return; // still with the network: the rest of the region is dropped
        const std::uint32_t cbRemaining = cbLength - cbDone;
        const std::int16_t* pMic = pCapture + cbDone / 2;
        std::uint32_t cbUsed = 0;
        // Mix only when the queue holds a playback sample for every captured
        // sample still to be placed, or holds the file's last samples, and is
        // not held (the element is not playing); otherwise the microphone
        // goes out alone.
        if (Covers(cbRemaining / 2))
            MixQueued(block, pMic, cbRemaining, &cbUsed);
        if (cbUsed == 0)
            cbUsed = CopyMic(block, pMic, cbRemaining);
        if (block.m_nFilled == kBlockSamples) {
            m_ring.Advance();
            block.m_bFree.store(false, std::memory_order_relaxed);
            m_submit(block);
            ++nSubmitted;
        }
        cbDone += cbUsed;
    }
}

bool CMixer::Covers(std::uint32_t nSamples) const
{
    const std::int32_t nAvailable = m_queue.Available();
    return nAvailable >= static_cast<std::int64_t>(nSamples) ||
           (nAvailable > 0 && m_queue.IsEnded());
}

std::uint32_t CMixer::CopyMic(SendBlock& block, const std::int16_t* pMic, std::uint32_t cbLength)
{
    const std::uint32_t cbUsed = std::min((kBlockSamples - block.m_nFilled) * 2, cbLength);
    std::int16_t* pOut = block.m_aData.data() + block.m_nFilled;
    std::memcpy(pOut, pMic, cbUsed);
    if (m_pStage != nullptr) {
        m_pStage->Listen(pMic, cbUsed / 2);
        m_pStage->Finish(pOut, cbUsed / 2);
    }
    block.m_nFilled += cbUsed / 2;
    return cbUsed;
}

int CMixer::MixQueued(SendBlock& block, const std::int16_t* pMic, std::uint32_t cbLength,
                      std::uint32_t* pcbProduced)
{
    *pcbProduced = 0;
    const std::uint32_t n = std::min(cbLength / 2, kBlockSamples - block.m_nFilled);
    std::int16_t* pOut = block.m_aData.data() + block.m_nFilled;
    std::uint32_t nDone = 0;
    while (nDone < n) {
        std::optional<TakenSample> taken = m_queue.TakeFront();
        if (!taken)
            return 1;
        QueuedSample& entry = taken->m_entry;
        const std::int32_t nRemaining =
            CPlaybackQueue::SamplesIn(entry.m_pSample.get()) - entry.m_nConsumed;
        const std::uint32_t cnt =
            std::min(n - nDone, static_cast<std::uint32_t>(std::max(nRemaining, 0)));
        {
            CBufferMap map(entry.m_pSample.get());
            if (!map.IsMapped()) {
                m_queue.Discard(std::move(*taken), nRemaining);
                m_notify(NOTIFY_CAPTURE_ERROR, static_cast<std::uint32_t>(E_FAIL));
                continue;
            }
            const std::uint8_t* pPlayback =
                map.Data() + 2 * static_cast<std::size_t>(entry.m_nConsumed);
            if (m_pStage != nullptr) {
                m_pStage->Listen(pMic + nDone, cnt);
                pPlayback = m_pStage->Playback(pPlayback, cnt);
            }
            MixSamples(pOut + nDone, pPlayback, pMic + nDone, cnt, m_levels.Balance(),
                       m_levels.Volume());
            if (m_pStage != nullptr)
                m_pStage->Finish(pOut + nDone, cnt);
        }
        entry.m_nConsumed += static_cast<std::int32_t>(cnt);
        nDone += cnt;
        *pcbProduced += 2 * cnt;
        block.m_nFilled += cnt;
        m_queue.Return(std::move(*taken), static_cast<std::int32_t>(cnt));
    }
    return 0;
}
