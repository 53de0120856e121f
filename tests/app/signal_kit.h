// Reading back what a call heard (recordings and the level of a tone in
// them) and asking the sound server with pactl.
#pragma once

#include <QProcess>

#include <cmath>
#include <cstdint>
#include <vector>

#include "app_testkit.h"

namespace apptest {

inline constexpr int kRate = 16000;

// A recording's samples so far: 16 kHz mono 16-bit after a header of
// cbHeader bytes (44 for callsim's WAV, 0 for raw PCM).
inline std::vector<std::int16_t> Recorded(const fs::path& wav, std::size_t cbHeader)
{
    const std::string bytes = ReadText(wav);
    std::vector<std::int16_t> samples;
    for (std::size_t i = cbHeader; i + 1 < bytes.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(
            static_cast<std::uint8_t>(bytes[i]) | (static_cast<std::uint8_t>(bytes[i + 1]) << 8)));
    return samples;
}

// The amplitude of one frequency in samples [nFrom, nTo) at nRate (Goertzel).
inline double ToneAmplitude(const std::vector<std::int16_t>& samples, std::size_t nFrom,
                            std::size_t nTo, int nFreq, int nRate = kRate)
{
    const double dCoeff = 2.0 * std::cos(2.0 * M_PI * nFreq / nRate);
    double s1 = 0, s2 = 0;
    for (std::size_t i = nFrom; i < nTo; ++i) {
        const double s0 = samples[i] + dCoeff * s1 - s2;
        s2 = s1, s1 = s0;
    }
    const double dPower = s1 * s1 + s2 * s2 - dCoeff * s1 * s2;
    return 2.0 * std::sqrt(std::max(dPower, 0.0)) / static_cast<double>(nTo - nFrom);
}

// The last quarter second of samples at nRate carries nFreq above dLevel.
inline bool EndsWithTone(const std::vector<std::int16_t>& samples, int nFreq, double dLevel,
                         int nRate = kRate)
{
    const auto nQuarter = static_cast<std::size_t>(nRate / 4);
    return samples.size() > nQuarter &&
           ToneAmplitude(samples, samples.size() - nQuarter, samples.size(), nFreq, nRate) > dLevel;
}

// pactl's output ("" when it failed or said nothing).
inline std::string Pactl(const QStringList& arguments)
{
    QProcess pactl;
    pactl.start("pactl", arguments);
    pactl.waitForFinished(10000);
    return pactl.exitCode() == 0 ? pactl.readAllStandardOutput().toStdString() : std::string();
}

inline int Occurrences(const std::string& text, const std::string& what)
{
    int n = 0;
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size())
        ++n;
    return n;
}

} // namespace apptest
