// Amplitude of one tone in a stream of 16 kHz samples, by projection onto
// the tone's sine and cosine over the whole window.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

inline double ToneAmplitude(const std::vector<std::int16_t>& samples, double dFrequency)
{
    double dCos = 0, dSin = 0;
    const double dStep = 2 * std::numbers::pi * dFrequency / 16000.0;
    for (std::size_t n = 0; n < samples.size(); ++n) {
        dCos += samples[n] * std::cos(dStep * static_cast<double>(n));
        dSin += samples[n] * std::sin(dStep * static_cast<double>(n));
    }
    return 2 * std::hypot(dCos, dSin) / static_cast<double>(samples.size());
}
