#include "send_ring.h"

void CSendRing::Reset()
{
    m_nCurrent = 0;
    for (SendBlock& block : m_aBlocks) {
        if (block.IsFree())
            block.m_nFilled = 0;
    }
}

bool CSendRing::AllFree() const
{
    for (const SendBlock& block : m_aBlocks) {
        if (!block.IsFree())
            return false;
    }
    return true;
}
