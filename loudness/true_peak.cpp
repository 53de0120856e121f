#include "true_peak.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace loudness {
namespace {

constexpr int kPhases = 4;
constexpr int kTaps = 12;  // per phase: samples m-5 .. m+6 around a point after m
constexpr int kBefore = 5; // of them before m
// Oversample where either neighbour is within this of the peak so far (-12 dB).
constexpr float kNearPeak = 0.25f;

using Phase = std::array<float, kTaps>;

// Hann-windowed sinc, each phase scaled to unity gain at DC.
std::array<Phase, kPhases> MakeFilter()
{
    std::array<Phase, kPhases> filter{};
    for (int p = 1; p < kPhases; ++p) {
        double dSum = 0.0;
        for (int k = 0; k < kTaps; ++k) {
            const double t = static_cast<double>(p) / kPhases - (k - kBefore);
            const double dSinc = std::sin(std::numbers::pi * t) / (std::numbers::pi * t);
            const double dWindow = 0.5 * (1.0 + std::cos(std::numbers::pi * t / (kTaps / 2.0)));
            filter[static_cast<std::size_t>(p)][static_cast<std::size_t>(k)] =
                static_cast<float>(dSinc * dWindow);
            dSum += dSinc * dWindow;
        }
        for (float& f : filter[static_cast<std::size_t>(p)])
            f = static_cast<float>(f / dSum);
    }
    return filter;
}

const std::array<Phase, kPhases> kFilter = MakeFilter();

} // namespace

CTruePeak::CTruePeak(unsigned nChannels) : m_nChannels(nChannels), m_tails(nChannels)
{
}

void CTruePeak::Add(const float* pFrames, std::size_t nFrames)
{
    for (unsigned c = 0; c < m_nChannels; ++c)
        AddChannel(c, pFrames, nFrames);
}

void CTruePeak::AddChannel(unsigned nChannel, const float* pFrames, std::size_t nFrames)
{
    std::vector<float>& tail = m_tails[nChannel];
    m_work.assign(tail.begin(), tail.end());
    for (std::size_t n = 0; n < nFrames; ++n)
        m_work.push_back(pFrames[n * m_nChannels + nChannel]);
    // Points after sample m need samples m-5 .. m+6. The first samples of
    // the stream have no past: they count as silence before them.
    if (tail.empty() && !m_work.empty())
        m_work.insert(m_work.begin(), kBefore, 0.0f);
    std::size_t m = kBefore;
    for (; m + (kTaps - kBefore) <= m_work.size(); ++m) {
        const float fHere = std::fabs(m_work[m]);
        const float fNext = std::fabs(m_work[m + 1]);
        m_fPeak = std::max(m_fPeak, fHere);
        if (std::max(fHere, fNext) < kNearPeak * m_fPeak)
            continue;
        const float* pWindow = &m_work[m - kBefore];
        for (int p = 1; p < kPhases; ++p) {
            const Phase& phase = kFilter[static_cast<std::size_t>(p)];
            float fValue = 0.0f;
            for (int k = 0; k < kTaps; ++k)
                fValue += pWindow[k] * phase[static_cast<std::size_t>(k)];
            m_fPeak = std::max(m_fPeak, std::fabs(fValue));
        }
    }
    tail.assign(m_work.begin() + static_cast<std::ptrdiff_t>(m - kBefore), m_work.end());
}

double CTruePeak::Peak() const
{
    float fPeak = m_fPeak;
    for (const std::vector<float>& tail : m_tails)
        for (float f : tail)
            fPeak = std::max(fPeak, std::fabs(f));
    return fPeak;
}

} // namespace loudness
