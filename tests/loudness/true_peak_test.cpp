// The true peak against libebur128's own, which oversamples every sample, on
// signals whose peaks lie between samples and on noise.
#include <gtest/gtest.h>

#include <ebur128.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "true_peak.h"

namespace {

double ReferenceDb(const std::vector<float>& frames, unsigned nChannels, unsigned long nRate)
{
    ebur128_state* pState = ebur128_init(nChannels, nRate, EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_float(pState, frames.data(), frames.size() / nChannels);
    double dPeak = 0.0;
    for (unsigned c = 0; c < nChannels; ++c) {
        double d = 0.0;
        ebur128_true_peak(pState, c, &d);
        dPeak = std::max(dPeak, d);
    }
    ebur128_destroy(&pState);
    return 20 * std::log10(dPeak);
}

// Stereo: the left channel a sine, the right one quieter noise.
std::vector<float> Signal(double dFreq, double dPhase, double dAmplitude, double dNoise,
                          unsigned long nRate)
{
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, static_cast<float>(dNoise));
    std::vector<float> frames;
    for (unsigned long n = 0; n < nRate * 2; ++n) {
        frames.push_back(static_cast<float>(
            dAmplitude * std::sin(2 * std::numbers::pi * dFreq * n / nRate + dPhase)));
        frames.push_back(dNoise > 0 ? noise(random) : 0.0f);
    }
    return frames;
}

TEST(TruePeak, AgreesWithLibebur128)
{
    struct Case {
        const char* what;
        double dFreq, dPhase, dAmplitude, dNoise;
        unsigned long nRate;
    };
    const Case cases[] = {
        {"quarter of the rate, peaks halfway between samples", 11025, std::numbers::pi / 4, 0.9, 0,
         44100},
        {"1 kHz, peaks on samples", 1000, 0, 0.5, 0, 48000},
        {"7 kHz at 44.1 kHz", 7000, 0.3, 0.7, 0, 44100},
        {"noise louder than a quiet sine", 440, 0, 0.05, 0.2, 44100},
        {"16 kHz", 5000, 1.0, 0.8, 0.01, 16000},
    };
    for (const Case& c : cases) {
        const std::vector<float> frames =
            Signal(c.dFreq, c.dPhase, c.dAmplitude, c.dNoise, c.nRate);
        loudness::CTruePeak peak(2);
        // In uneven pieces, as buffers come.
        for (std::size_t n = 0; n < frames.size() / 2;) {
            const std::size_t nPiece =
                std::min<std::size_t>(1 + (n * 7) % 1500, frames.size() / 2 - n);
            peak.Add(frames.data() + 2 * n, nPiece);
            n += nPiece;
        }
        EXPECT_NEAR(20 * std::log10(peak.Peak()), ReferenceDb(frames, 2, c.nRate), 0.25) << c.what;
    }
}

} // namespace
