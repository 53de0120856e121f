// The integrated loudness (EBU R 128, LUFS) of a stretch of a recording, as
// a listener of the call hears it: the one channel counts on both sides.
#pragma once

#include "recording.h"

namespace callreport {

// [nFromMs, nToMs) of the recording; -inf when it is silent or empty.
double SpanLoudness(const CRecording& recording, int nFromMs, int nToMs);

} // namespace callreport
