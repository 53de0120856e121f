// Talk-over: the playback in the call's mix is lowered while the microphone
// carries speech. Speech is told by a level gate on the microphone: it opens
// when a 10 ms block's RMS level reaches kOpenDb and closes once the level
// has stayed under kCloseDb for kHoldSeconds, so the gaps between words and
// syllables keep it open (no pumping on a steady voice). The gain moves in
// decibels on a straight line, sample by sample (no clicks): down by the
// whole depth within kAttackSeconds, back up within kReleaseSeconds.
// Pacing thread only.
#pragma once

#include <cstdint>
#include <vector>

class CTalkOver {
public:
    static constexpr double kBlockSeconds = 0.010;
    static constexpr double kOpenDb = -36.0;
    static constexpr double kCloseDb = -42.0;
    static constexpr double kHoldSeconds = 0.300;
    static constexpr double kAttackSeconds = 0.020;
    static constexpr double kReleaseSeconds = 0.500;

    explicit CTalkOver(int nRate);

    // Follows the next nFrames microphone samples and writes the playback's
    // gain for each into gains (resized to nFrames). With bEnabled false the
    // gain returns to one. True when any gain is below one.
    bool Follow(const std::int16_t* pMic, std::uint32_t nFrames, bool bEnabled, double dDepthDb,
                std::vector<float>& gains);
    bool IsSpeech() const { return m_bOpen; }
    double GainDb() const { return m_dGainDb; }

    // Playback (nFrames of nChannels interleaved samples, any alignment)
    // times each frame's gain, into pOut.
    static void Lower(std::int16_t* pOut, const std::uint8_t* pPlayback, const float* pGains,
                      std::uint32_t nFrames, int nChannels);

private:
    void EndBlock();

    const int m_nRate;
    const std::uint32_t m_nBlockFrames;
    const std::uint32_t m_nHoldBlocks;
    double m_dBlockEnergy = 0.0; // sum of squares of the block so far
    std::uint32_t m_nBlockFill = 0;
    bool m_bOpen = false;
    std::uint32_t m_nQuietBlocks = 0; // blocks under kCloseDb since the last loud one
    double m_dGainDb = 0.0;           // 0 or below
};
