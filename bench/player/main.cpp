// bench_player: the player's figures on media made at start-up.
//   player_open_ms  - open of a 3-minute MP3 until prerolled, median of 20
//   first_audio_ms  - Run to the first non-silent sample at the client, median of 5
//   feed_cpu_pct    - process CPU per second of audio while feeding a client,
//                     less the CPU of the benchmark's own client thread
//   feed_floor_pct  - decoding the same MP3 with nothing else plus libsamplerate
//                     alone on its audio, per second of audio (the mean of a
//                     measure before and one after the player's run)
//   call_break_ms_max    - the longest hole in a file on the port, and
//   gap_between_files_ms - the microphone alone between two files played
//                          back to back, both with a local sink that stalls;
//                          the worst of five pairs (each pair on stderr)
// Where feed_cpu_pct goes, thread by thread, is printed on stderr.
// The capture source is silence and the local sink a clocked fakesink unless
// VOXREEL_CAPTURE_SOURCE / VOXREEL_AUDIO_SINK say otherwise.
#include <gst/gst.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "call_pace.h"
#include "dsplayer.h"
#include "feed_floor.h"
#include "thread_cpu.h"
#include "voxreel_test_support.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr int kPort = 17191;
constexpr const char* kClientThread = "bench-client";

// A tone of nHundredths hundredths of a second, at 44.1 kHz stereo.
bool MakeWav(const fs::path& path, int nHundredths, int nFreq, double dVolume)
{
    return voxreel::test::RunLaunch(
        "audiotestsrc samplesperbuffer=441 num-buffers=" + std::to_string(nHundredths) +
        " freq=" + std::to_string(nFreq) + " volume=" + std::to_string(dVolume) +
        " ! audio/x-raw,rate=44100,channels=2 ! wavenc ! filesink location=\"" + path.string() +
        "\"");
}

bool MakeTone(const fs::path& path, int nSeconds)
{
    return voxreel::test::RunLaunch(
        "audiotestsrc freq=440 samplesperbuffer=4410 num-buffers=" + std::to_string(nSeconds * 10) +
            " ! audio/x-raw,rate=44100,channels=2 ! audioconvert ! lamemp3enc ! xingmux ! "
            "filesink location=\"" +
            path.string() + "\"",
        120 * GST_SECOND);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// A loopback client that reads on its own thread and notes when the first
// loud sample arrives after Arm().
class CClient {
public:
    CClient()
    {
        m_thread = std::thread([this] { ReadLoop(); });
    }
    ~CClient()
    {
        m_bStop = true;
        m_thread.join();
        close(m_fd);
    }
    bool Connected() const { return m_fd >= 0; }
    void Arm() { m_bArmed = true, m_bHeard = false; }
    bool Heard() const { return m_bHeard; }
    Clock::time_point HeardAt() const { return m_heardAt; }

private:
    void ReadLoop()
    {
        // Named so that its CPU, which stands for the call client's, can be
        // told apart from the player's.
        pthread_setname_np(pthread_self(), kClientThread);
        std::int16_t samples[2048];
        while (!m_bStop) {
            const ssize_t n = voxreel::test::ReceiveWithin(m_fd, samples, sizeof samples, 20);
            if (n < 0)
                return;
            if (!m_bArmed || m_bHeard)
                continue;
            for (ssize_t i = 0; i < n / 2; ++i)
                if (std::abs(samples[i]) > 1000) {
                    m_heardAt = Clock::now();
                    m_bHeard = true;
                    break;
                }
        }
    }

    const int m_fd = voxreel::test::ConnectLoopback(kPort);
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bArmed{false};
    std::atomic<bool> m_bHeard{false};
    Clock::time_point m_heardAt; // written before m_bHeard is set, read after
    std::thread m_thread;
};

class CNoCallback final : public CDSPlayerCallback {
public:
    void OnPlaybackFailed(HRESULT, const std::string&) override {}
    void OnPlaybackCompleted() override {}
};

// Decoding plus conversion, per second of audio; the parts go to stderr.
double FloorPct(const FeedFloor& floor)
{
    std::fprintf(stderr, "  floor: decode %.2f %%, libsamplerate %.2f %%\n",
                 100.0 * floor.m_dDecodeSeconds / floor.m_dAudioSeconds,
                 100.0 * floor.m_dResampleSeconds / floor.m_dAudioSeconds);
    return 100.0 * (floor.m_dDecodeSeconds + floor.m_dResampleSeconds) / floor.m_dAudioSeconds;
}

double MedianOpenMs(CDSPlayer& player, const fs::path& file)
{
    std::vector<double> opens;
    for (int i = 0; i < 20; ++i) {
        const auto start = Clock::now();
        const HRESULT hr = player.Open(file);
        opens.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        player.Close();
        if (FAILED(hr))
            return -1;
    }
    return Median(opens);
}

double MedianFirstAudioMs(CDSPlayer& player, const fs::path& file, CClient& client)
{
    std::vector<double> delays;
    for (int i = 0; i < 5; ++i) {
        player.Open(file);
        std::this_thread::sleep_for(300ms);
        client.Arm();
        const auto start = Clock::now();
        player.Run();
        if (voxreel::test::WaitUntil([&] { return client.Heard(); }, 5s, 1ms))
            delays.push_back(
                std::chrono::duration<double, std::milli>(client.HeardAt() - start).count());
        player.Close();
    }
    return Median(delays);
}

// Process CPU per second of audio over thirty seconds of feeding the client,
// less the client's own thread; the share of each thread goes to stderr.
double FeedCpuPct(CDSPlayer& player, const fs::path& file)
{
    player.Open(file);
    player.Run();
    std::this_thread::sleep_for(1s);
    const double dCpuStart = voxreel::test::ProcessCpuSeconds();
    const auto threadsBefore = ThreadCpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(30s);
    const double dCpu = voxreel::test::ProcessCpuSeconds() - dCpuStart;
    const double dAudio = std::chrono::duration<double>(Clock::now() - start).count();
    const auto threadsAfter = ThreadCpuSeconds();
    player.Close();
    const auto used = ThreadCpuUsed(threadsBefore, threadsAfter);
    PrintThreadShares(used, dAudio);
    const double dClient = used.count(kClientThread) != 0 ? used.at(kClientThread) : 0.0;
    return 100.0 * (dCpu - dClient) / dAudio;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 0);
    setenv("VOXREEL_AUDIO_SINK", "fakesink sync=true", 0);
    gst_init(&argc, &argv);
    ScanPluginFolder(VOXREEL_PLUGIN_OUTPUT_DIR);
    const fs::path folder = voxreel::test::MakeTempFolder("bench_player");
    const fs::path file = folder / "three-minutes.mp3";
    // The floor before and after the player's run, while nothing else runs
    // in the process: their mean stands for the run's, on a busy machine too.
    FeedFloor before, after;
    if (!MakeTone(file, 180) || !MeasureFeedFloor(file, &before)) {
        std::fprintf(stderr, "bench_player: could not make the MP3 or measure the floor\n");
        return 1;
    }

    CNoCallback callback;
    CDSPlayer player(&callback);
    player.SetServerPort(kPort);
    if (FAILED(player.Initialize())) {
        std::fprintf(stderr, "bench_player: Initialize failed\n");
        return 1;
    }
    std::printf("player_open_ms: %.1f ms\n", MedianOpenMs(player, file));
    std::fflush(stdout);
    CClient client;
    if (!client.Connected())
        return 1;
    std::printf("first_audio_ms: %.1f ms\n", MedianFirstAudioMs(player, file, client));
    std::fflush(stdout);
    const double dFeedPct = FeedCpuPct(player, file);
    player.StopTransmission();
    if (!MeasureFeedFloor(file, &after))
        return 1;
    const double dFloorPct = (FloorPct(before) + FloorPct(after)) / 2;
    std::printf("feed_cpu_pct: %.2f %%\n", dFeedPct);
    std::printf("feed_floor_pct: %.2f %%\n", dFloorPct);
    std::printf("feed_over_floor: %.2f x\n", dFeedPct / dFloorPct);
    std::fflush(stdout);
    // The first file ends at another point of the renderer's 100 ms tick in
    // each pair.
    const fs::path loud = folder / "loud.wav", quiet = folder / "quiet.wav";
    if (!MakeWav(quiet, 300, 1000, 0.3))
        return 1;
    CallPace worst;
    for (int i = 0; i < 5; ++i) {
        CallPace pace;
        if (!MakeWav(loud, 300 + 2 * i, 500, 0.8) ||
            !MeasureCallPace(loud, quiet, kPort + 1 + i, &pace)) {
            std::fprintf(stderr, "bench_player: the two files did not play to their end\n");
            return 1;
        }
        std::fprintf(stderr, "  pair %d: break %.1f ms, gap %.1f ms\n", i + 1, pace.m_dBreakMsMax,
                     pace.m_dGapMs);
        worst.m_dBreakMsMax = std::max(worst.m_dBreakMsMax, pace.m_dBreakMsMax);
        worst.m_dGapMs = std::max(worst.m_dGapMs, pace.m_dGapMs);
    }
    std::printf("call_break_ms_max: %.1f ms\n", worst.m_dBreakMsMax);
    std::printf("gap_between_files_ms: %.1f ms\n", worst.m_dGapMs);
    fs::remove_all(folder);
    return 0;
}
