// What the pacing tick needs of a capture source: a position up to which
// captured bytes are safe to read, and read access to a range of the
// 32768-byte looping buffer in up to two regions.
#pragma once

#include <cstdint>

#include "voxreel/hresult.h"

constexpr std::uint32_t kCaptureBytes = 32768;
constexpr std::uint32_t kCaptureMask = kCaptureBytes - 1;

struct CaptureRegions {
    const std::int16_t* m_pFirst = nullptr;
    std::uint32_t m_cbFirst = 0;
    const std::int16_t* m_pSecond = nullptr; // set when the range wraps
    std::uint32_t m_cbSecond = 0;
};

class ICaptureBuffer {
public:
    virtual ~ICaptureBuffer() = default;
    // Byte offset (0..32767) before which all captured bytes may be read.
    virtual HRESULT GetCurrentPosition(std::uint32_t* pnReadPosition) = 0;
    // Gives read access to cbLength bytes from nOffset until Unlock.
    virtual HRESULT Lock(std::uint32_t nOffset, std::uint32_t cbLength,
                         CaptureRegions* pRegions) = 0;
    virtual void Unlock(const CaptureRegions& regions) = 0;
};
