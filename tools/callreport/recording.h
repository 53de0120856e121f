// A recording of what a call (or a recorder of the Voxreel microphone)
// received, folded to one channel for analysis.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace callreport {

struct CRecording {
    int m_nRate = 16000;
    int m_nChannels = 1; // as recorded; m_samples holds their mean
    std::vector<std::int16_t> m_samples;

    double Seconds() const { return static_cast<double>(m_samples.size()) / m_nRate; }
};

// Reads a 16-bit PCM WAV file. A header whose data size is still zero or
// unfinished (a recorder that has not closed its file) counts to the end of
// the file. Returns "" or why the file cannot be read.
std::string ReadWav(const std::string& strPath, CRecording& recording);

// Reads raw interleaved S16LE at the given rate and channel count.
std::string ReadRaw(const std::string& strPath, int nRate, int nChannels, CRecording& recording);

// The channels' mean of interleaved S16LE bytes (a trailing partial frame is
// left out).
std::vector<std::int16_t> FoldChannels(const std::uint8_t* pBytes, std::size_t cb, int nChannels);

} // namespace callreport
