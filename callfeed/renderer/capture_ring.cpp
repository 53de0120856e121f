#include "capture_ring.h"

#include <algorithm>
#include <cstring>

void CCaptureRing::Reset()
{
    m_nWritePosition.store(0, std::memory_order_release);
}

void CCaptureRing::Write(const std::uint8_t* pData, std::size_t cbLength)
{
    cbLength &= ~std::size_t{1};
    if (cbLength > m_cbCapacity) { // only the newest buffer's worth can be kept
        pData += cbLength - m_cbCapacity;
        cbLength = m_cbCapacity;
    }
    std::lock_guard lock(m_mutex);
    std::uint32_t nPosition = m_nWritePosition.load(std::memory_order_relaxed);
    auto* pRing = reinterpret_cast<std::uint8_t*>(m_aData.data());
    while (cbLength > 0) {
        const std::size_t cbChunk = std::min<std::size_t>(cbLength, m_cbCapacity - nPosition);
        std::memcpy(pRing + nPosition, pData, cbChunk);
        pData += cbChunk;
        cbLength -= cbChunk;
        nPosition = Wrap(std::uint64_t{nPosition} + cbChunk);
    }
    m_nWritePosition.store(nPosition, std::memory_order_release);
}

HRESULT CCaptureRing::GetCurrentPosition(std::uint32_t* pnReadPosition)
{
    *pnReadPosition = m_nWritePosition.load(std::memory_order_acquire);
    return S_OK;
}

HRESULT CCaptureRing::Lock(std::uint32_t nOffset, std::uint32_t cbLength, CaptureRegions* pRegions)
{
    if (nOffset >= m_cbCapacity || cbLength > m_cbCapacity || (nOffset & 1) != 0)
        return E_INVALIDARG;
    m_mutex.lock();
    const std::uint32_t cbFirst = std::min(cbLength, m_cbCapacity - nOffset);
    *pRegions = CaptureRegions{m_aData.data() + nOffset / 2, cbFirst, nullptr, 0};
    if (cbFirst < cbLength) {
        pRegions->m_pSecond = m_aData.data();
        pRegions->m_cbSecond = cbLength - cbFirst;
    }
    return S_OK;
}

void CCaptureRing::Unlock(const CaptureRegions& /*regions*/)
{
    m_mutex.unlock();
}
