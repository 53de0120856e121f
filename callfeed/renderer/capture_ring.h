// The looping capture buffer: the capture pipeline writes mono samples
// into it (16 kHz for the call, 48 kHz for the wide mix), the pacing tick
// polls its write position and reads a range in up to two regions (two when
// the range wraps).
#pragma once

#include <vector>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "voxreel/hresult.h"

// The call's capture is 16 kHz mono; the wide one 48 kHz mono, three of its
// samples to each of the call's.
constexpr std::uint32_t kCallCaptureRate = 16000;
constexpr std::uint32_t kWideSamplesPerCallSample = 3;
// The call's ring; the wide ring is sized for the same time span.
constexpr std::uint32_t kCaptureBytes = 32768;
constexpr std::uint32_t kWideCaptureBytes = kWideSamplesPerCallSample * kCaptureBytes;

struct CaptureRegions {
    const std::int16_t* m_pFirst = nullptr;
    std::uint32_t m_cbFirst = 0;
    const std::int16_t* m_pSecond = nullptr; // set when the range wraps
    std::uint32_t m_cbSecond = 0;
};

class CCaptureRing {
public:
    // cbCapacity: an even number of bytes.
    explicit CCaptureRing(std::uint32_t cbCapacity = kCaptureBytes)
        : m_cbCapacity(cbCapacity), m_aData(cbCapacity / 2)
    {
    }

    std::uint32_t Capacity() const { return m_cbCapacity; }
    // The offset nBytes after nOffset, wrapped.
    std::uint32_t Wrap(std::uint64_t nOffset) const
    {
        return static_cast<std::uint32_t>(nOffset % m_cbCapacity);
    }
    // Empties the ring; only while nobody writes.
    void Reset();
    // Appends whole samples, overwriting the oldest when it laps.
    void Write(const std::uint8_t* pData, std::size_t cbLength);

    // Byte offset (0..capacity - 1) before which all captured bytes may be read.
    HRESULT GetCurrentPosition(std::uint32_t* pnReadPosition);
    // Gives read access to cbLength bytes from nOffset until Unlock.
    HRESULT Lock(std::uint32_t nOffset, std::uint32_t cbLength, CaptureRegions* pRegions);
    void Unlock(const CaptureRegions& regions);

private:
    // Held by the writer while it copies in, and by the reader between Lock
    // and Unlock, so a writer that laps the reader never writes under it.
    std::mutex m_mutex;
    const std::uint32_t m_cbCapacity;
    std::vector<std::int16_t> m_aData; // guarded by m_mutex
    // Byte offset of the next write; published (release) after the bytes.
    std::atomic<std::uint32_t> m_nWritePosition{0};
};
