// A file's loudness, however it was learnt, and the gain that brings it to a
// target. No GStreamer, no Qt: plain numbers.
#pragma once

#include <optional>

namespace loudness {

// Where a file's loudness came from.
enum class Origin { Measured, Tags };

struct TrackLoudness {
    double dLufs = 0.0;           // integrated loudness (LUFS) at unity gain
    std::optional<double> peakDb; // true peak (dBTP) when measured, sample peak from tags
    Origin origin = Origin::Measured;
};

// No boost may take a file's peak above this.
inline constexpr double kPeakCeilingDb = -1.0;
// The target by default: the ReplayGain 2 reference.
inline constexpr double kDefaultTargetLufs = -18.0;
// What a file plays with until its loudness is known: as it is. A guess
// (a cut, a boost) would be wrong for as many files as it helps, and the
// file takes its own gain at the next file boundary anyway.
inline constexpr double kSafeDefaultGainDb = 0.0;

// The gain (dB) that brings the file to dTargetLufs; a boost is capped so
// that the peak stays at or below kPeakCeilingDb (the cap never turns a
// boost into a cut). A file of silence (no finite loudness) gets none.
double GainFor(const TrackLoudness& loudness, double dTargetLufs);

} // namespace loudness
