// Places captured audio into the transmit blocks, mixing queued playback
// into it when enough is queued, and hands every full block on. Runs on the
// pacing thread only.
#pragma once

#include <cstdint>

#include "call_stage.h"
#include "mix_levels.h"
#include "playback_queue.h"
#include "renderer_callbacks.h"
#include "send_ring.h"

class CMixer {
public:
    // pStage, when given, takes every sample placed, in order (talk-over,
    // the limiter, the meters).
    CMixer(CPlaybackQueue& queue, CSendRing& ring, const CMixLevels& levels, SubmitFn submit,
           NotifyFn notify, CCallStage* pStage = nullptr);

    // Puts one contiguous region of captured audio into the blocks. Audio
    // that finds the current block still with the network is dropped, and
    // so is what remains once all four blocks were handed on in one call.
    void FeedBlocks(const std::int16_t* pCapture, std::uint32_t cbLength);

    // Mixes queued playback into the microphone samples, writing into the
    // block after its filled samples. Returns 1 when the queue ran empty
    // before the block or the microphone samples were used up, else 0.
    int MixQueued(SendBlock& block, const std::int16_t* pMic, std::uint32_t cbLength,
                  std::uint32_t* pcbProduced);

private:
    // Whether the queue may be mixed into nSamples of microphone: it holds
    // them all, or it holds the stream's last samples.
    bool Covers(std::uint32_t nSamples) const;
    std::uint32_t CopyMic(SendBlock& block, const std::int16_t* pMic, std::uint32_t cbLength);

    CPlaybackQueue& m_queue;
    CSendRing& m_ring;
    const CMixLevels& m_levels;
    SubmitFn m_submit;
    NotifyFn m_notify;
    CCallStage* m_pStage;
};
