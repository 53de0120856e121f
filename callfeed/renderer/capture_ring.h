// The looping capture buffer: the capture pipeline writes 16 kHz mono
// samples into it, the pacing tick polls its write position and reads a
// range in up to two regions (two when the range wraps).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "voxreel/hresult.h"

constexpr std::uint32_t kCaptureBytes = 32768;
constexpr std::uint32_t kCaptureMask = kCaptureBytes - 1;

struct CaptureRegions {
    const std::int16_t* m_pFirst = nullptr;
    std::uint32_t m_cbFirst = 0;
    const std::int16_t* m_pSecond = nullptr; // set when the range wraps
    std::uint32_t m_cbSecond = 0;
};

class CCaptureRing {
public:
    // Empties the ring; only while nobody writes.
    void Reset();
    // Appends whole samples, overwriting the oldest when it laps.
    void Write(const std::uint8_t* pData, std::size_t cbLength);

    // Byte offset (0..32767) before which all captured bytes may be read.
    HRESULT GetCurrentPosition(std::uint32_t* pnReadPosition);
    // Gives read access to cbLength bytes from nOffset until Unlock.
    HRESULT Lock(std::uint32_t nOffset, std::uint32_t cbLength, CaptureRegions* pRegions);
    void Unlock(const CaptureRegions& regions);

private:
    // Held by the writer while it copies in, and by the reader between Lock
    // and Unlock, so a writer that laps the reader never writes under it.
    std::mutex m_mutex;
    std::array<std::int16_t, kCaptureBytes / 2> m_aData{}; // guarded by m_mutex
    // Byte offset of the next write; published (release) after the bytes.
    std::atomic<std::uint32_t> m_nWritePosition{0};
};
