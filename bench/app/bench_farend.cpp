// bench_farend: what the far end hears, from the voxreel program with its
// local output on an idle null sink, callsim recording the port and a 48 kHz
// stereo recorder of the Voxreel microphone (the chain of tests/farend).
//   call_break_ms_max_port/_vmic     - the longest hole in two 3 s files or
//                                      in the voice (20 ms frames)
//   gap_between_files_ms_port/_vmic  - the silence between the two files
//   virtual_mic_bandwidth_hz         - the highest tone of a 1..20 kHz sweep
//                                      that reaches the Voxreel microphone within
//                                      3 dB of its level at 1 kHz
//   virtual_mic_dropouts             - holes in the voice at the Voxreel
//                                      microphone over VOXREEL_DROPOUT_MINUTES
//                                      (default 5) with both cores kept busy
#include <QProcess>

#include <signal.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_kit.h"
#include "farend_chain.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using callreport::SAnalysis;
using callreport::SToneSpec;

namespace {

constexpr double kSweepStepSeconds = 0.5;

// A 48 kHz stereo WAV of tones one after the other, each at peak 0.4.
fs::path MakeSweep(const fs::path& path, const std::vector<int>& freqs)
{
    constexpr int kRate = 48000;
    const auto nStep = static_cast<std::size_t>(kRate * kSweepStepSeconds);
    std::vector<std::int16_t> samples;
    for (int nFreq : freqs) {
        for (std::size_t i = 0; i < nStep; ++i) {
            const auto nValue = static_cast<std::int16_t>(
                0.4 * 32767 * std::sin(2 * M_PI * nFreq * static_cast<double>(i) / kRate));
            samples.push_back(nValue), samples.push_back(nValue);
        }
    }
    const auto cbData = static_cast<std::uint32_t>(2 * samples.size());
    const auto le32 = [](std::uint32_t n) {
        return std::string{static_cast<char>(n), static_cast<char>(n >> 8),
                           static_cast<char>(n >> 16), static_cast<char>(n >> 24)};
    };
    std::string header = "RIFF" + le32(36 + cbData) + "WAVEfmt " + le32(16);
    header += std::string("\x01\x00\x02\x00", 4) + le32(kRate) + le32(kRate * 4);
    header += std::string("\x04\x00\x10\x00", 4) + "data" + le32(cbData);
    std::FILE* pFile = std::fopen(path.c_str(), "wb");
    std::fwrite(header.data(), 1, header.size(), pFile);
    std::fwrite(samples.data(), 2, samples.size(), pFile);
    std::fclose(pFile);
    return path;
}

void IdleSpeakers()
{
    farend::Pactl({"load-module", "module-null-sink", "sink_name=speakers"});
    farend::Pactl({"load-module", "module-suspend-on-idle", "timeout=1"}); // none on PipeWire
}

void PrintBreaksAndGaps(farend::CFarEndChain& chain, const fs::path& folder)
{
    const std::vector<SToneSpec> files{{523, 3.0}, {784, 3.0}};
    const fs::path first = farend::MakeTones(folder / "first.wav", 3.0, {523}, 0.5);
    const fs::path second = farend::MakeTones(folder / "second.wav", 3.0, {784}, 0.5);
    if (!chain.Play({first, second}) || !chain.WaitForAll(files)) {
        std::printf("call_break_ms_max_port: -1 ms (the files never reached both ends)\n");
        return;
    }
    for (const auto& [pszSuffix, analysis] :
         {std::pair{"_port", chain.Port(files)}, std::pair{"_vmic", chain.Mic(files)}}) {
        std::printf("call_break_ms_max%s: %d ms\n", pszSuffix, analysis.LongestBreakMs());
        std::printf("gap_between_files_ms%s: %d ms\n", pszSuffix, analysis.LongestGapMs());
    }
    std::fflush(stdout);
}

void PrintBandwidth(farend::CFarEndChain& chain, const fs::path& folder)
{
    std::vector<int> freqs;
    std::vector<SToneSpec> specs;
    for (int nFreq = 1000; nFreq <= 20000; nFreq += 1000)
        freqs.push_back(nFreq), specs.push_back({nFreq, 0});
    if (!chain.Play({MakeSweep(folder / "sweep.wav", freqs)}) ||
        !farend::WaitEvery(
            [&] {
                const SAnalysis mic = chain.Mic(specs);
                const auto nSweepMs = static_cast<int>(freqs.size() * kSweepStepSeconds * 1000);
                return mic.files[0].bHeard &&
                       mic.nFrames * callreport::kFrameMs > mic.files[0].nFirstMs + nSweepMs + 1000;
            },
            300ms, 60s)) {
        std::printf("virtual_mic_bandwidth_hz: -1 Hz (the sweep never arrived)\n");
        return;
    }
    const SAnalysis mic = chain.Mic(specs);
    int nBandwidth = 0;
    for (const callreport::STone& tone : mic.files) {
        if (tone.bHeard && tone.dLevelDbfs >= mic.files[0].dLevelDbfs - 3.0)
            nBandwidth = tone.spec.nFreq;
    }
    std::printf("virtual_mic_bandwidth_hz: %d Hz\n", nBandwidth);
    std::fflush(stdout);
}

// A busy loop in a process of its own, at the user's priority.
QProcess* StartBusyLoop()
{
    auto* pLoop = new QProcess;
    pLoop->start("nice", {"-n", "0", "sh", "-c", "while :; do :; done"});
    pLoop->waitForStarted();
    return pLoop;
}

void PrintDropouts(farend::CFarEndChain& chain)
{
    const char* pszMinutes = std::getenv("VOXREEL_DROPOUT_MINUTES");
    const double dMinutes = pszMinutes != nullptr ? std::atof(pszMinutes) : 5.0;
    const std::vector<SToneSpec> none{{1, 0}};
    const int nFromMs = chain.Mic(none).nFrames * callreport::kFrameMs;
    std::vector<QProcess*> loops{StartBusyLoop(), StartBusyLoop()};
    farend::WaitEvery([] { return false; }, 1s,
                      std::chrono::milliseconds(static_cast<long>(dMinutes * 60000)));
    for (QProcess* pLoop : loops) {
        pLoop->kill();
        pLoop->waitForFinished();
        delete pLoop;
    }
    const SAnalysis mic = chain.Mic(none);
    int nDropouts = 0;
    for (const callreport::SBreak& gap : mic.mic.breaks)
        nDropouts += gap.nAtMs >= nFromMs ? 1 : 0;
    std::printf("virtual_mic_dropouts: %d count (over %.1f min with both cores busy)\n", nDropouts,
                dMinutes);
}

} // namespace

int main(int argc, char** argv)
{
    CBenchSetting bench(argc, argv, "bench_farend");
    IdleSpeakers();
    farend::CFarEndChain chain(bench.m_folder, "pulsesink device=speakers");
    if (!chain.Start()) {
        std::printf("call_break_ms_max_port: -1 ms (the chain did not start)\n");
        return 1;
    }
    PrintBreaksAndGaps(chain, bench.m_folder);
    PrintBandwidth(chain, bench.m_folder);
    PrintDropouts(chain);
    return 0;
}
