#include "call_limiter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Close enough to one to jump there (0.009 dB), so that audio under the
// ceiling is soon passed untouched rather than scaled by a gain that only
// approaches one.
constexpr double kUnity = 0.999;

} // namespace

CCallLimiter::CCallLimiter(int nRate, int nChannels)
    : m_nChannels(nChannels), m_dReleaseStep(1.0 - std::exp(-1.0 / (kReleaseSeconds * nRate)))
{
}

void CCallLimiter::Process(std::int16_t* pFrames, std::uint32_t nFrames)
{
    for (std::uint32_t n = 0; n < nFrames; ++n) {
        std::int16_t* pFrame = pFrames + static_cast<std::size_t>(n) * m_nChannels;
        int nPeak = 0;
        for (int c = 0; c < m_nChannels; ++c)
            nPeak = std::max(nPeak, std::abs(static_cast<int>(pFrame[c])));
        if (m_dGain < 1.0) {
            m_dGain += (1.0 - m_dGain) * m_dReleaseStep;
            if (m_dGain >= kUnity)
                m_dGain = 1.0;
        }
        if (nPeak * m_dGain > kCeiling)
            m_dGain = static_cast<double>(kCeiling) / nPeak;
        if (m_dGain == 1.0)
            continue;
        // Truncation towards zero keeps the product at or under the ceiling.
        for (int c = 0; c < m_nChannels; ++c)
            pFrame[c] = static_cast<std::int16_t>(pFrame[c] * m_dGain);
    }
}
