// The true peak of audio (the highest level between samples too), by 4x
// oversampling with a 48-tap windowed-sinc interpolator, as ITU-R BS.1770
// describes it. Only the stretches within 12 dB of the peak so far are
// oversampled: the peaks between two samples exceed both by a few decibels
// at most in real audio, and skipping the rest makes it several times faster
// than oversampling everything. Frames are interleaved 32-bit float.
#pragma once

#include <cstddef>
#include <vector>

namespace loudness {

class CTruePeak {
public:
    explicit CTruePeak(unsigned nChannels);
    void Add(const float* pFrames, std::size_t nFrames);
    // Full scale 1.
    double Peak() const;

private:
    void AddChannel(unsigned nChannel, const float* pFrames, std::size_t nFrames);

    unsigned m_nChannels;
    std::vector<std::vector<float>> m_tails; // per channel: samples not yet past the window
    std::vector<float> m_work;               // a channel's tail and new samples
    float m_fPeak = 0.0f;
};

} // namespace loudness
