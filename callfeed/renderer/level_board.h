// The latest levels of the microphone and of what the call hears, as the
// pacing thread measures them in 20 ms blocks, for a window's meters. A tick
// brings a burst of blocks; each is given a due time 20 ms after the one
// before (or now, when that has passed), so a reader polling at any rate
// sees them in the pace of the audio rather than in bursts. One reader.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "voxreel/callfeed_control.h"

class CLevelBoard {
public:
    using Clock = std::chrono::steady_clock;
    enum class Meter { Microphone, Call };
    static constexpr std::chrono::milliseconds kBlock{20};

    struct Block {
        float fPeak = 0.0f; // largest magnitude, full scale 1
        float fRms = 0.0f;
        bool bClip = false;
    };

    // From the pacing thread.
    void Publish(Meter meter, const Block& block, Clock::time_point now = Clock::now());
    // The blocks that have come due since the previous take: the loudest
    // peak among them, the latest RMS, whether any clipped; blocks 0 (and
    // silence) when none has.
    CallLevels Take(Clock::time_point now = Clock::now());

private:
    static constexpr std::size_t kSlots = 32; // 640 ms: older blocks are overwritten

    struct Dated {
        Block m_block;
        Clock::time_point m_due;
    };
    struct Track {
        std::array<Dated, kSlots> m_slots;
        std::uint64_t m_nWritten = 0;
        std::uint64_t m_nRead = 0;
        Clock::time_point m_lastDue;
    };
    static CallMeterLevels TakeTrack(Track& track, Clock::time_point now);

    std::mutex m_mutex;
    std::array<Track, 2> m_tracks; // guarded by m_mutex
};
