// The full-band mix, once per pacing tick: the 48 kHz microphone with the
// 48 kHz stereo playback of the "wide" pad mixed in by the call's law (the
// mono microphone centred, on both channels), for the Voxreel microphone;
// and the playback alone that went into it, for the local output. Pacing
// thread only.
//
// It is kept in step with the call's mixer by time: at the start of a tick
// in which the call's mixer used playback, both mixers should stand at the
// same buffer time. When the wide playback lags by more than kTolerance it
// skips ahead; when it leads, the microphone goes out alone until the call
// has caught up. Within the tolerance the two capture rings' small
// differences per tick (a capture buffer on one side of the tick or the
// other) even out by themselves.
#pragma once

#include <cstdint>
#include <vector>

#include "call_stage.h"
#include "mix_levels.h"
#include "playback_queue.h"
#include "renderer_callbacks.h"

class CWideMixer {
public:
    static constexpr int kRate = 48000;
    static constexpr int kChannels = 2;
    // Each capture ring takes whole capture buffers, so at a tick the two
    // mixers may stand a buffer or two apart (about 43 ms with 1024-frame
    // buffers) without any drift; correcting that would cut or hole the
    // file. Only a real slip (a ring that lost audio) is this large.
    static constexpr std::int64_t kTolerance = 150 * GST_MSECOND;

    // pStage, when given, takes every frame of the mix, in order (talk-over
    // and the limiter); the playback for the local output is never lowered.
    CWideMixer(CPlaybackQueue& queue, const CMixLevels& levels, NotifyFn notify,
               CCallStage* pStage = nullptr);

    // Starts a tick: empties the tick's output and brings the playback in
    // step with the call's, which stood at nCallStart (buffer time) when its
    // tick began; kNoPosition when the call's mixer used no playback.
    void BeginTick(std::int64_t nCallStart);
    // Mixes one region of 48 kHz mono microphone samples into the tick's
    // output.
    void Feed(const std::int16_t* pMic, std::uint32_t cbLength);
    // Uses up nFrames of playback in step with the call, with no output (no
    // wide capture runs).
    void Skip(std::uint32_t nFrames);

    // The tick's mix so far, interleaved stereo.
    const std::vector<std::int16_t>& Mix() const { return m_mix; }
    // The playback that went into it, interleaved stereo.
    const std::vector<std::int16_t>& Playback() const { return m_playback; }

private:
    bool Covers(std::uint32_t nFrames) const;
    // Mixes playback into up to nFrames; returns the frames mixed.
    std::uint32_t MixQueued(const std::int16_t* pMic, std::uint32_t nFrames);
    // Mixes nCount frames of the entry from where it stands; false when the
    // buffer cannot be read.
    bool MixEntry(const QueuedSample& entry, const std::int16_t* pMic, std::uint32_t nCount);
    void MicAlone(const std::int16_t* pMic, std::uint32_t nFrames);

    CPlaybackQueue& m_queue;
    const CMixLevels& m_levels;
    NotifyFn m_notify;
    CCallStage* m_pStage;
    std::uint32_t m_nLeadFrames = 0; // microphone alone before the playback goes on
    std::vector<std::int16_t> m_mix;
    std::vector<std::int16_t> m_playback;
    std::vector<std::int16_t> m_micStereo; // scratch
};
