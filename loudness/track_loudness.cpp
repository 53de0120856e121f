#include "track_loudness.h"

#include <algorithm>
#include <cmath>

namespace loudness {

double GainFor(const TrackLoudness& loudness, double dTargetLufs)
{
    if (!std::isfinite(loudness.dLufs))
        return 0.0;
    double dGain = dTargetLufs - loudness.dLufs;
    if (dGain > 0.0 && loudness.peakDb && std::isfinite(*loudness.peakDb))
        dGain = std::clamp(kPeakCeilingDb - *loudness.peakDb, 0.0, dGain);
    return dGain;
}

} // namespace loudness
