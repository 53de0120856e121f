#include "wide_mixer.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "mix_law.h"
#include "voxreel/hresult.h"
#include "voxreel/ids.h"

namespace {

std::uint32_t FramesIn(std::int64_t nTime)
{
    return static_cast<std::uint32_t>(
        gst_util_uint64_scale_int(static_cast<guint64>(nTime), CWideMixer::kRate, GST_SECOND));
}

} // namespace

CWideMixer::CWideMixer(CPlaybackQueue& queue, const CMixLevels& levels, NotifyFn notify,
                       CCallStage* pStage)
    : m_queue(queue), m_levels(levels), m_notify(std::move(notify)), m_pStage(pStage)
{
}

void CWideMixer::BeginTick(std::int64_t nCallStart)
{
    m_mix.clear();
    m_playback.clear();
    const std::int64_t nOwn = m_queue.Position();
    if (nCallStart == CPlaybackQueue::kNoPosition || nOwn == CPlaybackQueue::kNoPosition)
        return;
    const std::int64_t nLag = nCallStart - nOwn;
    m_nLeadFrames = 0;
    if (nLag > kTolerance)
        m_queue.Skip(static_cast<std::int32_t>(FramesIn(nLag) * kChannels));
    else if (nLag < -kTolerance)
        m_nLeadFrames = FramesIn(-nLag);
}

void CWideMixer::Feed(const std::int16_t* pMic, std::uint32_t cbLength)
{
    const std::uint32_t nFrames = cbLength / 2;
    std::uint32_t nDone = std::min(m_nLeadFrames, nFrames);
    MicAlone(pMic, nDone);
    m_nLeadFrames -= nDone;
    // As the call's mixer: playback only when the queue covers the region or
    // holds the stream's last samples, and is not held.
    if (Covers(nFrames - nDone))
        nDone += MixQueued(pMic + nDone, nFrames - nDone);
    MicAlone(pMic + nDone, nFrames - nDone);
}

void CWideMixer::Skip(std::uint32_t nFrames)
{
    if (Covers(nFrames))
        m_queue.Skip(static_cast<std::int32_t>(nFrames * kChannels));
}

bool CWideMixer::Covers(std::uint32_t nFrames) const
{
    const std::int32_t nAvailable = m_queue.Available();
    return nFrames > 0 && (nAvailable >= static_cast<std::int64_t>(nFrames) * kChannels ||
                           (nAvailable > 0 && m_queue.IsEnded()));
}

std::uint32_t CWideMixer::MixQueued(const std::int16_t* pMic, std::uint32_t nFrames)
{
    std::uint32_t nDone = 0;
    while (nDone < nFrames) {
        std::optional<TakenSample> taken = m_queue.TakeFront();
        if (!taken)
            break;
        QueuedSample& entry = taken->m_entry;
        const std::int32_t nRemaining =
            CPlaybackQueue::SamplesIn(entry.m_pSample.get()) - entry.m_nConsumed;
        const std::uint32_t nCount =
            std::min(nFrames - nDone, static_cast<std::uint32_t>(std::max(nRemaining, 0)) / 2);
        if (nCount == 0 || !MixEntry(entry, pMic + nDone, nCount)) { // half a frame, or unreadable
            if (nCount > 0)
                m_notify(NOTIFY_CAPTURE_ERROR, static_cast<std::uint32_t>(E_FAIL));
            m_queue.Discard(std::move(*taken), nRemaining);
            continue;
        }
        const std::uint32_t nSamples = nCount * kChannels;
        entry.m_nConsumed += static_cast<std::int32_t>(nSamples);
        nDone += nCount;
        m_queue.Return(std::move(*taken), static_cast<std::int32_t>(nSamples));
    }
    return nDone;
}

bool CWideMixer::MixEntry(const QueuedSample& entry, const std::int16_t* pMic, std::uint32_t nCount)
{
    CBufferMap map(entry.m_pSample.get());
    if (!map.IsMapped())
        return false;
    const std::uint32_t nSamples = nCount * kChannels;
    m_micStereo.resize(nSamples);
    for (std::uint32_t i = 0; i < nCount; ++i)
        m_micStereo[2 * i] = m_micStereo[2 * i + 1] = pMic[i];
    const std::uint8_t* pPlayback = map.Data() + 2 * static_cast<std::size_t>(entry.m_nConsumed);
    const std::uint8_t* pMixed = pPlayback;
    if (m_pStage != nullptr) {
        m_pStage->Listen(pMic, nCount);
        pMixed = m_pStage->Playback(pPlayback, nCount);
    }
    const std::size_t nAt = m_mix.size();
    m_mix.resize(nAt + nSamples);
    MixSamples(m_mix.data() + nAt, pMixed, m_micStereo.data(), nSamples, m_levels.Balance(),
               m_levels.Volume());
    if (m_pStage != nullptr)
        m_pStage->Finish(m_mix.data() + nAt, nCount);
    // The playback runs alongside, for the local output.
    const std::size_t nPlaybackAt = m_playback.size();
    m_playback.resize(nPlaybackAt + nSamples);
    std::memcpy(m_playback.data() + nPlaybackAt, pPlayback, 2 * std::size_t{nSamples});
    return true;
}

void CWideMixer::MicAlone(const std::int16_t* pMic, std::uint32_t nFrames)
{
    const std::size_t nAt = m_mix.size();
    m_mix.resize(nAt + std::size_t{nFrames} * kChannels);
    for (std::uint32_t i = 0; i < nFrames; ++i)
        m_mix[nAt + 2 * i] = m_mix[nAt + 2 * i + 1] = pMic[i];
    if (m_pStage != nullptr) {
        m_pStage->Listen(pMic, nFrames);
        m_pStage->Finish(m_mix.data() + nAt, nFrames);
    }
}
