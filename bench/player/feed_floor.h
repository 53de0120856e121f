// The least CPU that feeding a file to the call can cost: decoding it to
// 16-bit PCM with nothing else, plus libsamplerate alone converting the same
// audio to 16 kHz mono at the resampler's quality.
#pragma once

#include <filesystem>

struct FeedFloor {
    double m_dDecodeSeconds = 0;   // CPU seconds to decode the file
    double m_dResampleSeconds = 0; // CPU seconds of libsamplerate on its audio
    double m_dAudioSeconds = 0;    // the audio's length
};

// Decodes the file in this process and times the conversion of its audio;
// false when either fails. Run it while nothing else runs in the process.
bool MeasureFeedFloor(const std::filesystem::path& file, FeedFloor* pFloor);
