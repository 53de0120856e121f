// The law that mixes playback into the microphone:
//   out = ((p * (b + 127) + m * (128 - b)) >> 8) * v >> 8
// with 32-bit products and arithmetic shifts. The weights add up to 255 and
// the volume is at most 255, so the result always fits 16 bits.
#pragma once

#include <cstdint>

constexpr int kMinBalance = -127;
constexpr int kMaxBalance = 128;
constexpr int kMinVolume = 0;
constexpr int kMaxVolume = 255;

constexpr std::int16_t MixSample(std::int16_t p, std::int16_t m, int b, int v)
{
    const std::int32_t mixed = (p * (b + 127) + m * (128 - b)) >> 8;
    return static_cast<std::int16_t>((mixed * v) >> 8);
}

// Mixes cnt playback samples (pPlayback, 2-byte aligned or not) with cnt
// microphone samples into pOut. b and v must lie within their ranges.
void MixSamples(std::int16_t* pOut, const std::uint8_t* pPlayback, const std::int16_t* pMic,
                std::uint32_t cnt, int b, int v);
