// The pacing tick: takes everything captured since the previous tick, in up
// to two regions, and feeds it to the transmit blocks. The whole range is
// consumed whether or not it found room.
#pragma once

#include <cstdint>
#include <functional>

#include "capture_buffer.h"

using FeedFn = std::function<void(const std::int16_t* pCapture, std::uint32_t cbLength)>;

class CCaptureReader {
public:
    CCaptureReader(ICaptureBuffer& buffer, FeedFn feed);

    void Reset() { m_nReadOffset = 0; }
    void OnPacingTick();
    std::uint32_t ReadOffset() const { return m_nReadOffset; }

private:
    ICaptureBuffer& m_buffer;
    FeedFn m_feed;
    std::uint32_t m_nReadOffset = 0; // pacing thread only
};
