// A file's loudness from its own tags: ReplayGain (track gain, track peak,
// reference level) as GStreamer reports them, or the R128 track gain of Opus
// files, which reaches us as an extended comment.
#pragma once

#include <gst/gst.h>

#include <optional>

#include "track_loudness.h"

namespace loudness {

// The loudness the tags imply; nothing when they carry no track gain.
std::optional<TrackLoudness> LoudnessFromTags(const GstTagList* pTags);

} // namespace loudness
