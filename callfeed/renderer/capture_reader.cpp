#include "capture_reader.h"

#include <utility>

CCaptureReader::CCaptureReader(CCaptureRing& ring, FeedFn feed)
    : m_ring(ring), m_feed(std::move(feed))
{
}

void CCaptureReader::OnPacingTick()
{
    std::uint32_t nReadPosition = 0;
    if (FAILED(m_ring.GetCurrentPosition(&nReadPosition)))
        return;
    const std::uint32_t cbAvailable =
        m_ring.Wrap(std::uint64_t{nReadPosition} + m_ring.Capacity() - m_nReadOffset);
    if (cbAvailable == 0)
        return;
    CaptureRegions regions;
    if (FAILED(m_ring.Lock(m_nReadOffset, cbAvailable, &regions)))
        return; // retried from the same offset at the next tick
    if (regions.m_pFirst != nullptr && regions.m_cbFirst != 0)
        m_feed(regions.m_pFirst, regions.m_cbFirst);
    if (regions.m_pSecond != nullptr && regions.m_cbSecond != 0)
        m_feed(regions.m_pSecond, regions.m_cbSecond);
    m_ring.Unlock(regions);
    m_nReadOffset =
        m_ring.Wrap(std::uint64_t{m_nReadOffset} + regions.m_cbFirst + regions.m_cbSecond);
}
