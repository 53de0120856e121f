// The pacing tick: takes everything captured since the previous tick, in up
// to two regions, and feeds it to the transmit blocks. The whole range is
// consumed whether or not it found room.
#pragma once

#include <cstdint>

#include "capture_ring.h"
#include "renderer_callbacks.h"

class CCaptureReader {
public:
    CCaptureReader(CCaptureRing& ring, FeedFn feed);

    void Reset() { m_nReadOffset = 0; }
    void OnPacingTick();
    std::uint32_t ReadOffset() const { return m_nReadOffset; }

private:
    CCaptureRing& m_ring;
    FeedFn m_feed;
    std::uint32_t m_nReadOffset = 0; // pacing thread only
};
