// The looping capture buffer: the capture pipeline writes 16 kHz mono
// samples into it, the pacing tick polls its write position and reads.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <mutex>

#include "capture_buffer.h"

class CCaptureRing final : public ICaptureBuffer {
public:
    // Empties the ring; only while nobody writes.
    void Reset();
    // Appends whole samples, overwriting the oldest when it laps.
    void Write(const std::uint8_t* pData, std::size_t cbLength);

    HRESULT GetCurrentPosition(std::uint32_t* pnReadPosition) override;
    HRESULT Lock(std::uint32_t nOffset, std::uint32_t cbLength, CaptureRegions* pRegions) override;
    void Unlock(const CaptureRegions& regions) override;

private:
    // Held by the writer while it copies in, and by the reader between Lock
    // and Unlock, so a writer that laps the reader never writes under it.
    std::mutex m_mutex;
    std::array<std::int16_t, kCaptureBytes / 2> m_aData{}; // guarded by m_mutex
    // Byte offset of the next write; published (release) after the bytes.
    std::atomic<std::uint32_t> m_nWritePosition{0};
};
