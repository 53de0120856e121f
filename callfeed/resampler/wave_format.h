// The wave format header that describes a PCM stream, and its translation from
// GStreamer raw-audio caps. The resampler's negotiation rules are written
// against this header, whatever the caps looked like.
#pragma once

#include <gst/gst.h>

#include <cstdint>

#include "voxreel/hresult.h"

struct WAVEFORMATEX {
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;
};

constexpr std::uint16_t WAVE_FORMAT_PCM = 1;
constexpr std::uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;
constexpr std::uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

// Fills *pFormat from fixed "audio/x-raw" caps. Interleaved little-endian
// integers whose width equals their depth are plain PCM; floats are IEEE
// float; planar layouts and padded samples (for example 24 bits in 32) need
// the extensible header. Returns S_OK, E_POINTER, or S_FALSE for caps that no
// wave header describes (other media, big-endian, missing fields, a block
// alignment or byte rate beyond the header's fields).
HRESULT WaveFormatFromCaps(const GstCaps* pCaps, WAVEFORMATEX* pFormat);
