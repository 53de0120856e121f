// What a recording carried, 20 ms frame by 20 ms frame: where the microphone's
// tone and each file's tone were present, each file's span as received, the
// breaks inside it, the silence between files and the microphone's dropouts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "recording.h"

namespace callreport {

inline constexpr int kFrameMs = 20;
// A frame carries a file's tone when its level is within this of the tone's
// usual level in the recording, and above kFloorDbfs; a frame where it lasts
// a third of the frame or more passes. The microphone's level drops as a file
// is mixed in (by the balance and the remote volume), and a dropout is
// silence, so it counts as present much further down.
inline constexpr double kFilePresentBelowUsualDb = 12.0;
// ... and when the tone stands above its neighbourhood: its level beats the
// levels this far either side (the Hann window's first null for a frame),
// so the broadband click of the microphone's level stepping as a file
// starts or ends is not taken for the file.
inline constexpr int kPeakProbeHz = 2 * 1000 / kFrameMs;
inline constexpr double kMicPresentBelowUsualDb = 30.0;
inline constexpr double kFloorDbfs = -60.0;

// The amplitude (full scale 32768) of one frequency over samples
// [pSamples, pSamples + n), through a Hann window so that a neighbouring tone
// does not leak in.
double ToneAmplitude(const std::int16_t* pSamples, std::size_t n, int nRate, double dFreq);
double AmplitudeDbfs(double dAmplitude);

struct SToneSpec {
    int nFreq = 0;
    double dSeconds = 0; // the file's length; 0 when not known
};

// Parses "HZ" or "HZ:SECONDS"; false when it is neither.
bool ParseToneSpec(const std::string& text, SToneSpec& spec);

struct SBreak {
    int nAtMs = 0;     // from the start of the recording
    int nLengthMs = 0; // whole frames
};

struct STone {
    SToneSpec spec;
    bool bHeard = false;
    int nFirstMs = 0; // start of the first frame that carries it
    int nEndMs = 0;   // end of the last one
    double dLevelDbfs = -120;
    // Integrated loudness of what was received over the span (LUFS), voice included.
    double dLoudnessLufs = -120;
    std::vector<SBreak> breaks;
    int SpanMs() const { return nEndMs - nFirstMs; }
    int LongestBreakMs() const;
    // Heard, no break, and (when its length is known) a span within one frame of it.
    bool Whole() const;
};

struct SAnalysis {
    int nRate = 0;
    int nChannels = 0;
    int nFrames = 0;
    bool bMic = false;
    STone mic;                // breaks: frames with neither the microphone nor a file
    std::vector<STone> files; // in the order given
    std::vector<int> gapsMs;  // silence between file i and i+1 (-1: one was not heard)
    std::vector<std::vector<bool>> present;  // [tone][frame]; tone 0 is the microphone
    std::vector<std::vector<double>> levels; // [tone][frame], dBFS

    bool EveryFileWhole() const;
    int LongestBreakMs() const; // over the files' breaks and the microphone's dropouts
    int LongestGapMs() const;
};

// nMicFreq 0: no microphone tone to follow.
SAnalysis Analyse(const CRecording& recording, int nMicFreq, const std::vector<SToneSpec>& files);

} // namespace callreport
