// What one of the call's mixes does around the mix law, frame by frame in
// stream order: the microphone is followed for talk-over (and measured),
// the playback lowered while it carries speech, and the mix limited (and
// measured) after the law. With talk-over and the limiter off, the playback
// goes in and the mix comes out untouched. Pacing thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "call_limiter.h"
#include "call_options.h"
#include "level_board.h"
#include "level_meter.h"
#include "talk_over.h"

class CCallStage {
public:
    // pBoard, when given, gets the microphone's and the mix's levels.
    CCallStage(int nRate, int nChannels, const CCallOptions& options,
               CLevelBoard* pBoard = nullptr);

    // The next nFrames of the (mono) microphone.
    void Listen(const std::int16_t* pMic, std::uint32_t nFrames);
    // The playback for the frames just listened to: pPlayback itself, or a
    // lowered copy while talk-over lowers it.
    const std::uint8_t* Playback(const std::uint8_t* pPlayback, std::uint32_t nFrames);
    // The mix of the frames just listened to, after the law, in place.
    void Finish(std::int16_t* pMix, std::uint32_t nFrames);

private:
    const int m_nChannels;
    const CCallOptions& m_options;
    CTalkOver m_talkOver;
    CCallLimiter m_limiter;
    std::unique_ptr<CLevelMeter> m_pMicMeter;
    std::unique_ptr<CLevelMeter> m_pMixMeter;
    std::vector<float> m_gains;          // of the frames just listened to
    bool m_bLowered = false;             // any of them below one
    std::vector<std::int16_t> m_lowered; // scratch
};
