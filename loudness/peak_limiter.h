// "voxreelpeaklimiter": a hard-knee peak limiter on 32-bit float audio that
// keeps every sample at or below its ceiling (property "ceiling", dBFS,
// -1 by default). Gain reduction starts at the sample that needs it (no
// look-ahead, no delay) and recovers over the release time (property
// "release-ms", 150 ms by default). Property "active" (default true): when
// false the element passes the audio through untouched, bit for bit.
#pragma once

namespace loudness {

// Makes the element known to GStreamer (after gst_init); true when it is.
bool RegisterPeakLimiter();

inline constexpr const char* kPeakLimiterFactory = "voxreelpeaklimiter";

} // namespace loudness
