// bench_loudness: loudness normalisation's figures on media made at start-up.
//   loudness_analysis_x_realtime - measuring a 4-minute MP3 (decoding it and
//                                  EBU R 128 loudness and true peak), as times
//                                  real time; best of three
//   loudness_decode_x_realtime   - decoding the same file alone, the same way
//   loudness_analysis_vs_decode  - the first over the second
//   loudness_error_lu            - the largest distance from -18 LUFS of what
//                                  the port carried for files made at -30,
//                                  -18 and -8 LUFS (pink noise and tone
//                                  mixes), each played with its gain
// Each file's figures are printed on stderr.
#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>

#include "dsplayer.h"
#include "file_analysis.h"
#include "loudness_testkit.h"
#include "track_loudness.h"
#include "wire_recorder.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr double kMp3Seconds = 240.0;
constexpr double kTarget = -18.0;

bool MakeMp3(const fs::path& path)
{
    return voxreel::test::RunLaunch(
        "audiomixer name=mix ! audioconvert ! lamemp3enc ! "
        "xingmux ! filesink location=\"" +
            path.string() + "\" " + loudtest::Sources(loudtest::Signal::ToneMix, 0.5, kMp3Seconds),
        300 * GST_SECOND);
}

// Times real time of the best of three runs of each mode over the file,
// taken in turns so that both see the machine alike.
std::pair<double, double> TimesRealTime(const fs::path& file)
{
    double dBestDecode = 0.0;
    double dBestMeasure = 0.0;
    for (int i = 0; i < 3; ++i) {
        for (const auto mode :
             {loudness::AnalysisMode::DecodeOnly, loudness::AnalysisMode::MeasureOnly}) {
            const auto start = Clock::now();
            const loudness::Analysis analysis = loudness::AnalyseFile(file, mode);
            const std::chrono::duration<double> elapsed = Clock::now() - start;
            if (!analysis.loudness) {
                std::fprintf(stderr, "analysis failed: %s\n", analysis.strError.c_str());
                return {0.0, 0.0};
            }
            double& dBest = mode == loudness::AnalysisMode::DecodeOnly ? dBestDecode : dBestMeasure;
            dBest = std::max(dBest, kMp3Seconds / elapsed.count());
        }
    }
    return {dBestDecode, dBestMeasure};
}

class CDoneCallback final : public CDSPlayerCallback {
public:
    void OnPlaybackCompleted() override { m_bDone = true; }
    void OnPlaybackFailed(HRESULT, const std::string&) override { m_bDone = true; }
    void OnRendererNotice(int, std::uint32_t) override {}
    bool m_bDone = false;
};

// Plays the file with its gain and measures what the port carried.
double PortLufs(CDSPlayer& player, CDoneCallback& callback, int nPort, const fs::path& file,
                double dGain)
{
    CWireRecorder recorder;
    if (!recorder.Connect(nPort))
        return NAN;
    callback.m_bDone = false;
    player.SetTrackGain(dGain);
    if (FAILED(player.Open(file)) || FAILED(player.Run()))
        return NAN;
    const auto deadline = Clock::now() + 60s;
    while (!callback.m_bDone && Clock::now() < deadline) {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        std::this_thread::sleep_for(5ms);
    }
    player.Close();
    return loudtest::Measure(recorder.Copy(), 16000, 1).dLufs;
}

double LargestError(const fs::path& folder)
{
    setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 0);
    ScanPluginFolder(VOXREEL_PLUGIN_OUTPUT_DIR);
    CDoneCallback callback;
    CDSPlayer player(&callback, "fakesink sync=true");
    const int nPort = voxreel::test::FreePort();
    player.SetServerPort(nPort);
    if (FAILED(player.Initialize()))
        return NAN;
    // The law passes the playback at unity (-0.07 dB) all the way to it.
    player.SetRemoteVolume(255);
    player.SetRemoteBalance(128);
    double dWorst = 0.0;
    for (const loudtest::Signal signal : {loudtest::Signal::PinkNoise, loudtest::Signal::ToneMix}) {
        for (const double dLufs : {-30.0, -18.0, -8.0}) {
            const fs::path file =
                folder / ("set" + std::to_string(static_cast<int>(dLufs)) +
                          (signal == loudtest::Signal::PinkNoise ? "pink" : "tones") + ".wav");
            const double dMade = loudtest::MakeAtLoudness(file, signal, dLufs, 6.0);
            const loudness::Analysis analysis = loudness::AnalyseFile(file);
            if (!analysis.loudness)
                return NAN;
            const double dGain = loudness::GainFor(*analysis.loudness, kTarget);
            const double dPort = PortLufs(player, callback, nPort, file, dGain);
            std::fprintf(stderr, "%s: made %.2f LUFS, gain %+.2f dB, port %.2f LUFS\n",
                         file.filename().c_str(), dMade, dGain, dPort);
            if (!std::isfinite(dPort))
                return NAN;
            dWorst = std::max(dWorst, std::fabs(dPort - kTarget));
        }
    }
    return dWorst;
}

} // namespace

int main()
{
    loudtest::InitGstInProcess();
    const fs::path folder = loudtest::MakeTempFolder("loudness");
    const fs::path mp3 = folder / "four-minutes.mp3";
    if (!MakeMp3(mp3)) {
        std::fprintf(stderr, "could not make the MP3\n");
        return 1;
    }
    const auto [dDecode, dAnalysis] = TimesRealTime(mp3);
    std::printf("loudness_analysis_x_realtime: %.1f x\n", dAnalysis);
    std::printf("loudness_decode_x_realtime: %.1f x\n", dDecode);
    std::printf("loudness_analysis_vs_decode: %.2f\n", dDecode > 0 ? dAnalysis / dDecode : 0.0);
    std::fflush(stdout);
    std::printf("loudness_error_lu: %.2f LU\n", LargestError(folder));
    fs::remove_all(folder);
    return 0;
}
