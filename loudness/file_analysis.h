// Learns a file's loudness: from its tags when they carry a gain, otherwise
// by decoding it whole and measuring its integrated loudness and true peak
// (EBU R 128, libebur128). Blocking; meant for a background thread. The
// pipeline's own streaming threads run at the lowest CPU priority.
#pragma once

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>

#include "track_loudness.h"

namespace loudness {

struct Analysis {
    std::optional<TrackLoudness> loudness; // nothing: the file could not be read
    std::string strError;                  // why, in the user's words
};

enum class AnalysisMode {
    TagsOrMeasure, // the normal way
    MeasureOnly,   // ignore tags
    DecodeOnly,    // decode the whole file and measure nothing (to compare speeds)
};

// pCancel, when set from another thread, stops a measurement early (the
// result then has no loudness).
Analysis AnalyseFile(const std::filesystem::path& path,
                     AnalysisMode mode = AnalysisMode::TagsOrMeasure,
                     const std::atomic<bool>* pCancel = nullptr);

} // namespace loudness
