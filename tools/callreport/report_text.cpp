#include "report_text.h"

#include <algorithm>

namespace callreport {

namespace {

double Seconds(int nMs)
{
    return nMs / 1000.0;
}

void PrintBreaks(std::FILE* pOut, const STone& tone, const char* pszWhat)
{
    for (const SBreak& gap : tone.breaks)
        std::fprintf(pOut, "      %s at %.2f s (%.2f s in): %d ms (%d frames)\n", pszWhat,
                     Seconds(gap.nAtMs), Seconds(gap.nAtMs - tone.nFirstMs), gap.nLengthMs,
                     gap.nLengthMs / kFrameMs);
}

void PrintFile(std::FILE* pOut, const STone& file, std::size_t nIndex)
{
    std::fprintf(pOut, "  file %zu (%d Hz", nIndex + 1, file.spec.nFreq);
    if (file.spec.dSeconds > 0)
        std::fprintf(pOut, ", %.2f s long", file.spec.dSeconds);
    if (!file.bHeard) {
        std::fprintf(pOut, "): NOT received\n");
        return;
    }
    std::fprintf(pOut, "): %.2f s to %.2f s, span %.2f s, %.1f dBFS, %.1f LUFS, ",
                 Seconds(file.nFirstMs), Seconds(file.nEndMs), Seconds(file.SpanMs()),
                 file.dLevelDbfs, file.dLoudnessLufs);
    if (file.breaks.empty())
        std::fprintf(pOut, "no break");
    else
        std::fprintf(pOut, "%zu breaks, longest %d ms", file.breaks.size(), file.LongestBreakMs());
    std::fprintf(pOut, " -> %s\n", file.Whole() ? "whole" : "NOT whole");
    PrintBreaks(pOut, file, "break");
}

} // namespace

void PrintReport(std::FILE* pOut, const SAnalysis& analysis, const std::string& strLabel)
{
    std::fprintf(pOut, "What %s received (%d Hz, %d channel%s, %.2f s, in %d ms frames):\n",
                 strLabel.c_str(), analysis.nRate, analysis.nChannels,
                 analysis.nChannels == 1 ? "" : "s", Seconds(analysis.nFrames * kFrameMs),
                 kFrameMs);
    if (analysis.bMic) {
        const STone& mic = analysis.mic;
        if (!mic.bHeard) {
            std::fprintf(pOut, "  microphone (%d Hz): NOT received\n", mic.spec.nFreq);
        } else {
            std::fprintf(pOut, "  microphone (%d Hz): %.2f s to %.2f s, %.1f dBFS, ",
                         mic.spec.nFreq, Seconds(mic.nFirstMs), Seconds(mic.nEndMs),
                         mic.dLevelDbfs);
            if (mic.breaks.empty())
                std::fprintf(pOut, "no dropout\n");
            else
                std::fprintf(pOut, "%zu dropouts, longest %d ms\n", mic.breaks.size(),
                             mic.LongestBreakMs());
            PrintBreaks(pOut, mic, "dropout");
        }
    }
    for (std::size_t t = 0; t < analysis.files.size(); ++t) {
        PrintFile(pOut, analysis.files[t], t);
        if (t < analysis.gapsMs.size() && analysis.gapsMs[t] >= 0)
            std::fprintf(pOut, "  silence between file %zu and file %zu: %d ms\n", t + 1, t + 2,
                         analysis.gapsMs[t]);
    }
    const bool bWhole = analysis.EveryFileWhole();
    const bool bVoice = !analysis.bMic || (analysis.mic.bHeard && analysis.mic.breaks.empty());
    std::fprintf(pOut, "Verdict: %s %s every file whole%s\n", strLabel.c_str(),
                 bWhole ? "received" : "did NOT receive",
                 !analysis.bMic ? ""
                 : bVoice       ? "; the microphone never dropped out"
                                : "; the microphone DROPPED OUT");
}

void PrintSeconds(std::FILE* pOut, const SAnalysis& analysis)
{
    constexpr int kFramesPerSecond = 1000 / kFrameMs;
    std::fprintf(pOut, "Second by second (frames of %d that carried each):\n", kFramesPerSecond);
    for (int nStart = 0; nStart + kFramesPerSecond <= analysis.nFrames;
         nStart += kFramesPerSecond) {
        std::fprintf(pOut, "  %3d s ", nStart / kFramesPerSecond);
        for (std::size_t t = 0; t < analysis.present.size(); ++t) {
            if (t == 0 && !analysis.bMic)
                continue;
            const auto& present = analysis.present[t];
            const auto nCount = std::count(present.begin() + nStart,
                                           present.begin() + nStart + kFramesPerSecond, true);
            if (t == 0)
                std::fprintf(pOut, "  microphone %2ld", static_cast<long>(nCount));
            else if (nCount > 0)
                std::fprintf(pOut, "  file %zu %2ld", t, static_cast<long>(nCount));
        }
        std::fprintf(pOut, "\n");
    }
}

void PrintFigures(std::FILE* pOut, const SAnalysis& analysis, const std::string& strSuffix)
{
    const char* pszSuffix = strSuffix.c_str();
    std::fprintf(pOut, "call_break_ms_max%s: %d ms\n", pszSuffix, analysis.LongestBreakMs());
    std::fprintf(pOut, "gap_between_files_ms%s: %d ms\n", pszSuffix, analysis.LongestGapMs());
    if (analysis.bMic) {
        std::fprintf(pOut, "mic_dropouts%s: %zu count\n", pszSuffix, analysis.mic.breaks.size());
        std::fprintf(pOut, "mic_level_dbfs%s: %.2f dBFS\n", pszSuffix, analysis.mic.dLevelDbfs);
    }
    for (std::size_t t = 0; t < analysis.files.size(); ++t) {
        const STone& file = analysis.files[t];
        std::fprintf(pOut, "file%zu_span_ms%s: %d ms\n", t + 1, pszSuffix,
                     file.bHeard ? file.SpanMs() : -1);
        std::fprintf(pOut, "file%zu_breaks%s: %zu count\n", t + 1, pszSuffix, file.breaks.size());
        std::fprintf(pOut, "file%zu_level_dbfs%s: %.2f dBFS\n", t + 1, pszSuffix, file.dLevelDbfs);
        std::fprintf(pOut, "file%zu_loudness_lufs%s: %.2f LUFS\n", t + 1, pszSuffix,
                     file.dLoudnessLufs);
    }
}

} // namespace callreport
