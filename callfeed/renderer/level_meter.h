// Measures one signal in 20 ms blocks, peak and RMS, and publishes each
// block on the level board. A sample within 0.1 dB of full scale marks its
// block clipped. Pacing thread only.
#pragma once

#include <cstdint>

#include "level_board.h"

class CLevelMeter {
public:
    static constexpr int kClipLevel = 32393; // -0.1 dBFS

    CLevelMeter(int nRate, CLevelBoard& board, CLevelBoard::Meter meter);

    // nSamples samples (all channels alike).
    void Measure(const std::int16_t* pSamples, std::uint32_t nSamples);

private:
    CLevelBoard& m_board;
    const CLevelBoard::Meter m_meter;
    const std::uint32_t m_nBlockSamples;
    std::uint32_t m_nFill = 0;
    int m_nPeak = 0;
    double m_dEnergy = 0.0;
};
