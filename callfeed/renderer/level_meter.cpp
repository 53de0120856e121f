#include "level_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

CLevelMeter::CLevelMeter(int nRate, CLevelBoard& board, CLevelBoard::Meter meter)
    : m_board(board), m_meter(meter),
      m_nBlockSamples(static_cast<std::uint32_t>(nRate * CLevelBoard::kBlock.count() / 1000))
{
}

void CLevelMeter::Measure(const std::int16_t* pSamples, std::uint32_t nSamples)
{
    for (std::uint32_t n = 0; n < nSamples; ++n) {
        const int nSample = pSamples[n];
        m_nPeak = std::max(m_nPeak, std::abs(nSample));
        m_dEnergy += static_cast<double>(nSample) * nSample;
        if (++m_nFill < m_nBlockSamples)
            continue;
        constexpr float kFullScale = 32768.0f;
        const CLevelBoard::Block block{
            static_cast<float>(m_nPeak) / kFullScale,
            static_cast<float>(std::sqrt(m_dEnergy / m_nFill)) / kFullScale, m_nPeak >= kClipLevel};
        m_board.Publish(m_meter, block);
        m_nFill = 0;
        m_nPeak = 0;
        m_dEnergy = 0.0;
    }
}
