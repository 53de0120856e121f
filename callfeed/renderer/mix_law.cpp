#include "mix_law.h"

#include <cstring>

namespace {

// The compiler vectorises this loop (the file is built with -O3): eight
// samples per step in SSE2 registers.
void MixAligned(std::int16_t* __restrict pOut, const std::int16_t* __restrict pPlayback,
                const std::int16_t* __restrict pMic, std::uint32_t cnt, int b, int v)
{
    const std::int32_t wp = b + 127;
    const std::int32_t wm = 128 - b;
    for (std::uint32_t i = 0; i < cnt; ++i) {
        const std::int32_t mixed = (pPlayback[i] * wp + pMic[i] * wm) >> 8;
        pOut[i] = static_cast<std::int16_t>((mixed * v) >> 8);
    }
}

} // namespace

void MixSamples(std::int16_t* pOut, const std::uint8_t* pPlayback, const std::int16_t* pMic,
                std::uint32_t cnt, int b, int v)
{
    if (reinterpret_cast<std::uintptr_t>(pPlayback) % alignof(std::int16_t) == 0) {
        MixAligned(pOut, reinterpret_cast<const std::int16_t*>(pPlayback), pMic, cnt, b, v);
        return;
    }
    // A buffer whose data starts at an odd address: read it bytewise.
    for (std::uint32_t i = 0; i < cnt; ++i) {
        std::int16_t p;
        std::memcpy(&p, pPlayback + 2 * i, sizeof p);
        pOut[i] = MixSample(p, pMic[i], b, v);
    }
}
