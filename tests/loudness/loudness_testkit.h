// Media of known loudness made at test time, and the loudness of what came out.
#pragma once

#include <ebur128.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "file_analysis.h"
#include "voxreel_test_support.h"

namespace loudtest {

namespace fs = std::filesystem;

using voxreel::test::InitGstInProcess;
using voxreel::test::MakeTempFolder;

enum class Signal {
    PinkNoise,     // pink noise, band-limited to 7 kHz so a 16 kHz call carries all of it
    ToneMix,       // sines at 220, 440, 1000 and 3000 Hz, like a steady chord
    QuietWithPeaks // pink noise 20 dB down with a short loud burst every 2 s
};

// The gst-launch sources of a signal at volume (full scale 1), 44.1 kHz stereo, up to "mix.".
inline std::string Sources(Signal signal, double dVolume, double dSeconds)
{
    const std::string strBuffers = std::to_string(static_cast<long>(dSeconds * 10));
    const std::string strCaps = " ! audio/x-raw,format=F32LE,rate=44100,channels=2 ";
    // A volume element, not the source's own capped one: loud noise clips as in a loud master.
    const auto source = [&](const std::string& strWave, double dLevel) {
        return "audiotestsrc " + strWave + " samplesperbuffer=4410 num-buffers=" + strBuffers +
               strCaps + "! volume volume=" + std::to_string(dLevel) + " ";
    };
    switch (signal) {
    case Signal::PinkNoise:
        return source("wave=pink-noise", dVolume) +
               "! audiocheblimit mode=low-pass cutoff=7000 poles=8 ! mix. ";
    case Signal::ToneMix: {
        std::string strLaunch;
        for (int nFreq : {220, 440, 1000, 3000})
            strLaunch += source("freq=" + std::to_string(nFreq), dVolume / 4) + "! mix. ";
        return strLaunch;
    }
    case Signal::QuietWithPeaks:
        return source("wave=pink-noise", dVolume / 10) +
               "! audiocheblimit mode=low-pass cutoff=7000 poles=8 ! mix. " +
               source("wave=ticks freq=2000 sine-periods-per-tick=4 tick-interval=2000000000",
                      0.5) +
               "! mix. ";
    }
    return {};
}

inline bool WriteWav(const fs::path& path, Signal signal, double dVolume, double dSeconds)
{
    return voxreel::test::RunLaunch("audiomixer name=mix ! audioconvert ! "
                                    "audio/x-raw,format=S16LE ! wavenc ! filesink location=\"" +
                                    path.string() + "\" " + Sources(signal, dVolume, dSeconds));
}

// A WAV file of the signal made at a probe volume, measured and made again at about
// dLufs; returns its measured loudness (NaN on failure).
inline double MakeAtLoudness(const fs::path& path, Signal signal, double dLufs,
                             double dSeconds = 8.0)
{
    const auto madeAt = [&](double dVolume) {
        const auto loudness =
            WriteWav(path, signal, dVolume, dSeconds)
                ? loudness::AnalyseFile(path, loudness::AnalysisMode::MeasureOnly).loudness
                : std::nullopt;
        return loudness ? loudness->dLufs : NAN;
    };
    constexpr double kProbeVolume = 0.1;
    return madeAt(kProbeVolume * std::pow(10.0, (dLufs - madeAt(kProbeVolume)) / 20.0));
}

// Integrated loudness and true peak of 16-bit samples (one channel heard on both sides).
struct Measured {
    double dLufs = NAN;
    double dTruePeakDb = NAN;
};
inline Measured Measure(const std::vector<std::int16_t>& samples, unsigned nRate,
                        unsigned nChannels)
{
    ebur128_state* pState = ebur128_init(nChannels, nRate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    if (nChannels == 1)
        ebur128_set_channel(pState, 0, EBUR128_DUAL_MONO);
    ebur128_add_frames_short(pState, samples.data(), samples.size() / nChannels);
    Measured measured;
    ebur128_loudness_global(pState, &measured.dLufs);
    double dPeak = 0.0;
    for (unsigned c = 0; c < nChannels; ++c) {
        double dChannel = 0.0;
        ebur128_true_peak(pState, c, &dChannel);
        dPeak = std::max(dPeak, dChannel);
    }
    ebur128_destroy(&pState);
    measured.dTruePeakDb = 20.0 * std::log10(dPeak);
    return measured;
}

} // namespace loudtest
