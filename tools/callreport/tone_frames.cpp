#include "tone_frames.h"

#include "span_loudness.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace callreport {

double ToneAmplitude(const std::int16_t* pSamples, std::size_t n, int nRate, double dFreq)
{
    if (n < 2)
        return 0;
    const double dCoeff = 2.0 * std::cos(2.0 * M_PI * dFreq / nRate);
    double s1 = 0, s2 = 0, dWindowSum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double dWindow =
            0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / static_cast<double>(n - 1));
        dWindowSum += dWindow;
        const double s0 = dWindow * pSamples[i] + dCoeff * s1 - s2;
        s2 = s1, s1 = s0;
    }
    const double dPower = std::max(s1 * s1 + s2 * s2 - dCoeff * s1 * s2, 0.0);
    return 2.0 * std::sqrt(dPower) / dWindowSum;
}

double AmplitudeDbfs(double dAmplitude)
{
    return 20.0 * std::log10(std::max(dAmplitude, 1e-3) / 32768.0);
}

bool ParseToneSpec(const std::string& text, SToneSpec& spec)
{
    char* pEnd = nullptr;
    const long nFreq = std::strtol(text.c_str(), &pEnd, 10);
    if (pEnd == text.c_str() || nFreq <= 0 || nFreq > 96000)
        return false;
    spec = {static_cast<int>(nFreq), 0};
    if (*pEnd == '\0')
        return true;
    if (*pEnd != ':')
        return false;
    const char* pSeconds = pEnd + 1;
    spec.dSeconds = std::strtod(pSeconds, &pEnd);
    return pEnd != pSeconds && *pEnd == '\0' && spec.dSeconds > 0;
}

int STone::LongestBreakMs() const
{
    int nLongest = 0;
    for (const SBreak& gap : breaks)
        nLongest = std::max(nLongest, gap.nLengthMs);
    return nLongest;
}

bool STone::Whole() const
{
    if (!bHeard || !breaks.empty())
        return false;
    return spec.dSeconds <= 0 || std::abs(SpanMs() - spec.dSeconds * 1000) <= kFrameMs;
}

bool SAnalysis::EveryFileWhole() const
{
    return std::all_of(files.begin(), files.end(), [](const STone& file) { return file.Whole(); });
}

int SAnalysis::LongestBreakMs() const
{
    int nLongest = bMic ? mic.LongestBreakMs() : 0;
    for (const STone& file : files)
        nLongest = std::max(nLongest, file.LongestBreakMs());
    return nLongest;
}

int SAnalysis::LongestGapMs() const
{
    return gapsMs.empty() ? 0 : *std::max_element(gapsMs.begin(), gapsMs.end());
}

namespace {

// The level a tone usually has where it is present: a high percentile of its
// frames' levels, so that a few loud frames do not set it.
double UsualLevel(std::vector<double> levels)
{
    if (levels.empty())
        return -120;
    const std::size_t nAt = levels.size() * 95 / 100;
    std::nth_element(levels.begin(), levels.begin() + static_cast<long>(nAt), levels.end());
    return levels[nAt];
}

double MedianOfPresent(const std::vector<double>& levels, const std::vector<bool>& present)
{
    std::vector<double> heard;
    for (std::size_t f = 0; f < levels.size(); ++f) {
        if (present[f])
            heard.push_back(levels[f]);
    }
    if (heard.empty())
        return -120;
    std::nth_element(heard.begin(), heard.begin() + static_cast<long>(heard.size() / 2),
                     heard.end());
    return heard[heard.size() / 2];
}

// A file's tone in one frame alone is the splatter of another tone cut off
// abruptly, not a file: no file is 20 ms long.
void DropLoneFrames(std::vector<bool>& present)
{
    for (std::size_t f = 0; f < present.size(); ++f) {
        const bool bBefore = f > 0 && present[f - 1];
        const bool bAfter = f + 1 < present.size() && present[f + 1];
        if (present[f] && !bBefore && !bAfter)
            present[f] = false;
    }
}

// Fills in a tone's span, its first to its last frame in [nFrom, nLimit), and
// the runs of frames inside it where missing(f).
template <typename Missing>
void Follow(STone& tone, const std::vector<bool>& present, int nFrom, int nLimit, Missing missing)
{
    int nFirst = nFrom;
    while (nFirst < nLimit && !present[static_cast<std::size_t>(nFirst)])
        ++nFirst;
    if (nFirst == nLimit)
        return;
    int nLast = nLimit - 1;
    while (!present[static_cast<std::size_t>(nLast)])
        --nLast;
    tone.bHeard = true;
    tone.nFirstMs = nFirst * kFrameMs;
    tone.nEndMs = (nLast + 1) * kFrameMs;
    for (int f = nFirst; f <= nLast;) {
        if (!missing(f)) {
            ++f;
            continue;
        }
        int nEnd = f;
        while (nEnd <= nLast && missing(nEnd))
            ++nEnd;
        tone.breaks.push_back({f * kFrameMs, (nEnd - f) * kFrameMs});
        f = nEnd;
    }
}

// Where a file's play ends at the latest: the first frame from nFrom on that
// carries another file's tone and not its own. What it plays after that (a
// playlist that starts over) is another play of it.
int PlayLimit(const SAnalysis& result, std::size_t nTone, int nFrom)
{
    for (int f = nFrom; f < result.nFrames; ++f) {
        const auto frame = static_cast<std::size_t>(f);
        if (result.present[nTone][frame])
            continue;
        for (std::size_t t = 1; t < result.present.size(); ++t) {
            if (t != nTone && result.present[t][frame])
                return f;
        }
    }
    return result.nFrames;
}

// Whether nFreq stands above the frequencies kPeakProbeHz either side of it
// in the frame at nFrom.
bool IsPeak(const CRecording& recording, std::size_t nFrom, std::size_t nSamples, int nFreq)
{
    const std::int16_t* pFrame = &recording.m_samples[nFrom];
    const double dLevel = ToneAmplitude(pFrame, nSamples, recording.m_nRate, nFreq);
    for (int nProbe : {nFreq - kPeakProbeHz, nFreq + kPeakProbeHz})
        if (ToneAmplitude(pFrame, nSamples, recording.m_nRate, nProbe) >= dLevel)
            return false;
    return true;
}

} // namespace

SAnalysis Analyse(const CRecording& recording, int nMicFreq, const std::vector<SToneSpec>& files)
{
    SAnalysis result;
    result.nRate = recording.m_nRate;
    result.nChannels = recording.m_nChannels;
    const std::size_t nFrameSamples = static_cast<std::size_t>(recording.m_nRate * kFrameMs / 1000);
    result.nFrames = static_cast<int>(recording.m_samples.size() / nFrameSamples);
    result.bMic = nMicFreq > 0;
    result.mic.spec = {nMicFreq, 0};

    std::vector<int> freqs{nMicFreq};
    for (const SToneSpec& spec : files)
        freqs.push_back(spec.nFreq);
    for (int nFreq : freqs) {
        std::vector<double> levels(static_cast<std::size_t>(result.nFrames), -120.0);
        for (std::size_t f = 0; nFreq > 0 && f < levels.size(); ++f)
            levels[f] = AmplitudeDbfs(ToneAmplitude(&recording.m_samples[f * nFrameSamples],
                                                    nFrameSamples, recording.m_nRate, nFreq));
        const bool bMic = result.levels.empty();
        const double dBelow = bMic ? kMicPresentBelowUsualDb : kFilePresentBelowUsualDb;
        const double dThreshold = std::max(UsualLevel(levels) - dBelow, kFloorDbfs);
        std::vector<bool> present(levels.size());
        for (std::size_t f = 0; f < levels.size(); ++f)
            present[f] = nFreq > 0 && levels[f] >= dThreshold &&
                         (bMic || IsPeak(recording, f * nFrameSamples, nFrameSamples, nFreq));
        if (!bMic)
            DropLoneFrames(present);
        result.levels.push_back(std::move(levels));
        result.present.push_back(std::move(present));
    }

    const auto anyFile = [&](int f) {
        for (std::size_t t = 1; t < result.present.size(); ++t) {
            if (result.present[t][static_cast<std::size_t>(f)])
                return true;
        }
        return false;
    };
    if (result.bMic) {
        Follow(result.mic, result.present[0], 0, result.nFrames, [&](int f) {
            return !result.present[0][static_cast<std::size_t>(f)] && !anyFile(f);
        });
        result.mic.dLevelDbfs = MedianOfPresent(result.levels[0], result.present[0]);
    }
    // Files play in order: each one's play is looked for after the one before it.
    int nFrom = 0;
    for (std::size_t t = 0; t < files.size(); ++t) {
        STone file;
        file.spec = files[t];
        const std::vector<bool>& present = result.present[t + 1];
        int nFirst = nFrom;
        while (nFirst < result.nFrames && !present[static_cast<std::size_t>(nFirst)])
            ++nFirst;
        Follow(file, present, nFirst, PlayLimit(result, t + 1, nFirst),
               [&](int f) { return !present[static_cast<std::size_t>(f)]; });
        if (file.bHeard)
            nFrom = file.nFirstMs / kFrameMs;
        file.dLevelDbfs = MedianOfPresent(result.levels[t + 1], present);
        if (file.bHeard)
            file.dLoudnessLufs = SpanLoudness(recording, file.nFirstMs, file.nEndMs);
        result.files.push_back(std::move(file));
    }
    for (std::size_t t = 0; t + 1 < result.files.size(); ++t) {
        const STone& before = result.files[t];
        const STone& after = result.files[t + 1];
        result.gapsMs.push_back(
            before.bHeard && after.bHeard ? std::max(0, after.nFirstMs - before.nEndMs) : -1);
    }
    return result;
}

} // namespace callreport
