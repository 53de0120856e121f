#include "talk_over.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

double DbOfMeanSquare(double dMeanSquare)
{
    constexpr double kFullScale = 32768.0 * 32768.0;
    return dMeanSquare > 0.0 ? 10.0 * std::log10(dMeanSquare / kFullScale) : -200.0;
}

} // namespace

CTalkOver::CTalkOver(int nRate)
    : m_nRate(nRate), m_nBlockFrames(static_cast<std::uint32_t>(nRate * kBlockSeconds)),
      m_nHoldBlocks(static_cast<std::uint32_t>(kHoldSeconds / kBlockSeconds))
{
}

bool CTalkOver::Follow(const std::int16_t* pMic, std::uint32_t nFrames, bool bEnabled,
                       double dDepthDb, std::vector<float>& gains)
{
    gains.resize(nFrames);
    const double dAttackStep = dDepthDb / (kAttackSeconds * m_nRate);
    const double dReleaseStep = dDepthDb / (kReleaseSeconds * m_nRate);
    bool bLowered = false;
    for (std::uint32_t n = 0; n < nFrames; ++n) {
        m_dBlockEnergy += static_cast<double>(pMic[n]) * pMic[n];
        if (++m_nBlockFill == m_nBlockFrames)
            EndBlock();
        const double dTarget = bEnabled && m_bOpen ? -dDepthDb : 0.0;
        if (m_dGainDb > dTarget)
            m_dGainDb = std::max(dTarget, m_dGainDb - dAttackStep);
        else if (m_dGainDb < dTarget)
            m_dGainDb = std::min(dTarget, m_dGainDb + std::max(dReleaseStep, 1e-4));
        if (m_dGainDb == 0.0) {
            gains[n] = 1.0f;
        } else {
            gains[n] = static_cast<float>(std::pow(10.0, m_dGainDb / 20.0));
            bLowered = true;
        }
    }
    return bLowered;
}

void CTalkOver::EndBlock()
{
    const double dLevel = DbOfMeanSquare(m_dBlockEnergy / m_nBlockFill);
    m_dBlockEnergy = 0.0;
    m_nBlockFill = 0;
    if (dLevel >= kOpenDb)
        m_bOpen = true;
    if (dLevel >= kCloseDb)
        m_nQuietBlocks = 0;
    else if (m_bOpen && ++m_nQuietBlocks >= m_nHoldBlocks)
        m_bOpen = false;
}

void CTalkOver::Lower(std::int16_t* pOut, const std::uint8_t* pPlayback, const float* pGains,
                      std::uint32_t nFrames, int nChannels)
{
    for (std::uint32_t n = 0; n < nFrames; ++n) {
        for (int c = 0; c < nChannels; ++c) {
            const std::size_t i = static_cast<std::size_t>(n) * nChannels + c;
            std::int16_t p;
            std::memcpy(&p, pPlayback + 2 * i, sizeof p);
            pOut[i] = static_cast<std::int16_t>(std::lrintf(p * pGains[n]));
        }
    }
}
