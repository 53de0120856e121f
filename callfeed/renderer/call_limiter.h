// A limiter after the mix law: no sample of the call's mix reaches full
// scale. It looks at no future samples (the mix goes out as it is made), so
// its gain falls at once to what the loudest channel of the current frame
// needs to stay at the ceiling, and comes back up smoothly. A sustained loud
// passage is thus turned down as a whole, with no distortion past its first
// wave; below the ceiling, with its gain back at one, every sample passes
// unchanged. Pacing thread only.
#pragma once

#include <cstdint>

class CCallLimiter {
public:
    // -1 dBFS.
    static constexpr std::int16_t kCeiling = 29204;
    // Time constant of the gain's return to one.
    static constexpr double kReleaseSeconds = 0.15;

    CCallLimiter(int nRate, int nChannels);

    // Limits nFrames interleaved frames in place.
    void Process(std::int16_t* pFrames, std::uint32_t nFrames);
    // Lets the gain go back to one at once (the limiter was off).
    void Reset() { m_dGain = 1.0; }
    double Gain() const { return m_dGain; }

private:
    const int m_nChannels;
    const double m_dReleaseStep; // fraction of the distance to one regained per frame
    double m_dGain = 1.0;
};
