// callreport: what a call received, in 20 ms frames, from a recording:
// callsim's WAV (16 kHz mono) or raw S16LE at a given rate and channel count
// (what parec writes).
//   callreport REC [--raw [--rate HZ] [--channels N]] [--mic HZ]
//              --tone HZ[:SECONDS] [--tone ...] [--label TEXT] [--seconds]
//              [--figures [--suffix TEXT]]
// For the microphone's tone and each file's tone: its span as received, every
// break inside it and the silence between files; --seconds adds a summary per
// second, --figures prints "name: value unit" lines (each name followed by the
// suffix) instead of the report.
// Exits 0 when every file was received whole (no frame missing, its span
// within a frame of its length when given) and the microphone never dropped
// out; 1 when not; 2 on bad input.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "recording.h"
#include "report_text.h"
#include "tone_frames.h"

namespace {

struct SOptions {
    std::string strPath;
    std::string strLabel = "the call";
    bool bRaw = false;
    int nRate = 16000;
    int nChannels = 1;
    int nMic = 0;
    std::vector<callreport::SToneSpec> tones;
    bool bSeconds = false;
    bool bFigures = false;
    std::string strSuffix;
};

bool ParseOptions(int argc, char** argv, SOptions& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool bHasValue = i + 1 < argc;
        callreport::SToneSpec tone;
        if (arg == "--mic" && bHasValue)
            options.nMic = std::atoi(argv[++i]);
        else if (arg == "--tone" && bHasValue && callreport::ParseToneSpec(argv[i + 1], tone))
            options.tones.push_back(tone), ++i;
        else if (arg == "--label" && bHasValue)
            options.strLabel = argv[++i];
        else if (arg == "--rate" && bHasValue)
            options.nRate = std::atoi(argv[++i]);
        else if (arg == "--channels" && bHasValue)
            options.nChannels = std::atoi(argv[++i]);
        else if (arg == "--raw")
            options.bRaw = true;
        else if (arg == "--seconds")
            options.bSeconds = true;
        else if (arg == "--figures")
            options.bFigures = true;
        else if (arg == "--suffix" && bHasValue)
            options.strSuffix = argv[++i];
        else if (!arg.empty() && arg[0] != '-' && options.strPath.empty())
            options.strPath = arg;
        else
            return false;
    }
    return !options.strPath.empty() && !options.tones.empty() && options.nMic >= 0;
}

} // namespace

int main(int argc, char** argv)
{
    SOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: callreport REC [--raw [--rate HZ] [--channels N]] [--mic HZ]\n"
                             "                  --tone HZ[:SECONDS] [--tone ...] [--label TEXT]\n"
                             "                  [--seconds] [--figures [--suffix TEXT]]\n");
        return 2;
    }
    callreport::CRecording recording;
    const std::string strError = options.bRaw ? callreport::ReadRaw(options.strPath, options.nRate,
                                                                    options.nChannels, recording)
                                              : callreport::ReadWav(options.strPath, recording);
    if (!strError.empty()) {
        std::fprintf(stderr, "callreport: %s\n", strError.c_str());
        return 2;
    }
    const callreport::SAnalysis analysis =
        callreport::Analyse(recording, options.nMic, options.tones);
    if (options.bFigures) {
        callreport::PrintFigures(stdout, analysis, options.strSuffix);
    } else {
        callreport::PrintReport(stdout, analysis, options.strLabel);
        if (options.bSeconds)
            callreport::PrintSeconds(stdout, analysis);
    }
    const bool bVoice = !analysis.bMic || (analysis.mic.bHeard && analysis.mic.breaks.empty());
    return analysis.EveryFileWhole() && bVoice ? 0 : 1;
}
