#include "level_board.h"

#include <algorithm>
#include <cmath>

namespace {

double Db(float fLevel)
{
    return fLevel > 0.0f ? std::max(20.0 * std::log10(fLevel), kSilentDb) : kSilentDb;
}

} // namespace

void CLevelBoard::Publish(Meter meter, const Block& block, Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    Track& track = m_tracks[static_cast<std::size_t>(meter)];
    const Clock::time_point due = std::max(now, track.m_lastDue + kBlock);
    track.m_slots[track.m_nWritten % kSlots] = Dated{block, due};
    track.m_lastDue = due;
    ++track.m_nWritten;
    // A reader that fell behind loses the oldest blocks.
    track.m_nRead = std::max(track.m_nRead,
                             track.m_nWritten - std::min<std::uint64_t>(track.m_nWritten, kSlots));
}

CallLevels CLevelBoard::Take(Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    return {TakeTrack(m_tracks[0], now), TakeTrack(m_tracks[1], now)};
}

CallMeterLevels CLevelBoard::TakeTrack(Track& track, Clock::time_point now)
{
    CallMeterLevels levels;
    float fPeak = 0.0f;
    for (; track.m_nRead < track.m_nWritten; ++track.m_nRead) {
        const Dated& dated = track.m_slots[track.m_nRead % kSlots];
        if (dated.m_due > now)
            break;
        fPeak = std::max(fPeak, dated.m_block.fPeak);
        levels.dRmsDb = Db(dated.m_block.fRms);
        levels.bClip = levels.bClip || dated.m_block.bClip;
        ++levels.nBlocks;
    }
    levels.dPeakDb = Db(fPeak);
    return levels;
}
