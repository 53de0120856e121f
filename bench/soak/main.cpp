// soak_player MINUTES (at least 1): the player plays a looping playlist of short files
// made at start-up (WAV, MP3, WMA; the WAV paused and resumed once per
// round) into a connected loopback client, with GStreamer's leaks tracer on,
// and prints:
//   soak_rss_growth_kb   - resident memory at the end less that after the
//                          fifth minute (a third of the run when shorter), and
//                          not before the playlist has played once: the
//                          live heap is flat from the first minute (heaptrack),
//                          but malloc's per-thread arenas, met by the streaming
//                          threads each file starts, take minutes to settle
//   soak_max_gap_ms      - the longest time between two arrivals at the client
//   soak_rate_error_pct  - bytes received against 32000 per second
//   soak_leaked_objects  - objects the leaks tracer finds alive when GStreamer
//                          shuts down after the player is gone
// Exits with 1 when a target fails: growth of 1 MB or more, a gap of more
// than two 100 ms ticks (counted as more than 250 ms, past the scheduling
// jitter of the ticks themselves), a leaked object or a failed playback.
#include <gst/gst.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "dsplayer.h"
#include "leak_tracker.h"
#include "soak_client.h"
#include "voxreel_test_support.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr double kMaxGrowthKb = 1024;
constexpr double kMaxGapMs = 250;

// The player's reports, as the main window gets them.
class CSoakWindow final : public CDSPlayerCallback {
public:
    void OnPlaybackFailed(HRESULT hr, const std::string&) override
    {
        std::fprintf(stderr, "soak: playback failed: %08X\n", static_cast<unsigned>(hr));
        ++m_nFailures;
    }
    void OnPlaybackCompleted() override { m_bCompleted = true; }

    bool m_bCompleted = false; // main thread only
    int m_nFailures = 0;       // main thread only
};

// Runs the main loop, where the player reports, until it has handled
// something or the time is up.
void RunMainLoop(std::chrono::milliseconds timeout)
{
    GSource* pTimeout = g_timeout_source_new(static_cast<guint>(timeout.count()));
    g_source_set_callback(
        pTimeout, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
    g_source_attach(pTimeout, nullptr);
    g_main_context_iteration(nullptr, TRUE);
    g_source_destroy(pTimeout);
    g_source_unref(pTimeout);
}

long ResidentKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string strLine; std::getline(status, strLine);)
        if (strLine.rfind("VmRSS:", 0) == 0)
            return std::atol(strLine.c_str() + 6);
    return 0;
}

// Makes the files in a child process that is gone before the soak starts:
// the encoders' own leaks (libav's ASF muxer keeps itself alive) are not the
// player's. Call before anything has started a thread.
std::vector<fs::path> MakePlaylist(const fs::path& folder)
{
    const struct {
        const char* pszName;
        const char* pszEncoder;
        int nTenths;
    } files[] = {{"one.wav", "wavenc", 80},
                 {"two.mp3", "lamemp3enc ! xingmux ! id3v2mux", 110},
                 {"three.wma", "avenc_wmav2 ! avmux_asf", 60}};
    std::vector<fs::path> playlist;
    for (const auto& file : files)
        playlist.push_back(folder / file.pszName);
    const pid_t pid = fork();
    if (pid == 0) {
        gst_init(nullptr, nullptr);
        for (const auto& file : files)
            if (!voxreel::test::RunLaunch("audiotestsrc freq=440 volume=0.5 samplesperbuffer=4410 "
                                          "num-buffers=" +
                                          std::to_string(file.nTenths) +
                                          " ! audio/x-raw,rate=44100,channels=2 ! audioconvert ! " +
                                          file.pszEncoder + " ! filesink location=\"" +
                                          (folder / file.pszName).string() + "\""))
                _exit(1);
        _exit(0);
    }
    int nStatus = 1;
    if (pid < 0 || waitpid(pid, &nStatus, 0) != pid || nStatus != 0)
        return {};
    return playlist;
}

// Opens and runs an entry as the main window does.
bool Play(CDSPlayer& player, const fs::path& path)
{
    if (FAILED(player.Open(path))) {
        std::fprintf(stderr, "soak: could not open %s: %s\n", path.c_str(),
                     player.LastErrorText().c_str());
        return false;
    }
    if (!player.IsPaused())
        player.SetPosition(0);
    return SUCCEEDED(player.Run());
}

// VOXREEL_SOAK_PORT, else a port that nothing listened on a moment ago.
int SoakPort()
{
    if (const char* pszPort = std::getenv("VOXREEL_SOAK_PORT"))
        return std::atoi(pszPort);
    return voxreel::test::FreePort();
}

struct SoakRun {
    std::size_t m_nPlayed = 1; // files started
    long m_nBaselineKb = -1;   // resident memory once warm, -1 before
    long m_nEndKb = 0;
};

// Plays the playlist round and round for the duration, as the main window
// would, pausing the first file once per round.
SoakRun PlayFor(CDSPlayer& player, CSoakWindow& window, const CSoakClient& client,
                const std::vector<fs::path>& playlist, std::chrono::duration<double> duration)
{
    const Clock::time_point start = Clock::now();
    const auto baselineAfter =
        std::min<Clock::duration>(5min, std::chrono::duration_cast<Clock::duration>(duration / 3));
    SoakRun run;
    std::size_t nEntry = 0;
    bool bPausedOnce = false;
    Clock::time_point nextReport = start + 60s;
    while (Clock::now() - start < duration) {
        if (run.m_nBaselineKb < 0 && run.m_nPlayed > playlist.size() &&
            Clock::now() - start >= baselineAfter)
            run.m_nBaselineKb = ResidentKb();
        if (Clock::now() >= nextReport) { // the trend, for a run that fails late
            std::fprintf(stderr, "soak: minute %.0f: rss %ld kB, max gap %.1f ms\n",
                         std::chrono::duration<double>(nextReport - start).count() / 60,
                         ResidentKb(), client.Read().m_dMaxGapMs);
            nextReport += 60s;
        }
        RunMainLoop(100ms);
        if (nEntry == 0 && !bPausedOnce && player.GetPosition() >= 2) {
            player.Pause(); // the call hears the microphone alone meanwhile
            std::this_thread::sleep_for(500ms);
            player.Run();
            bPausedOnce = true;
        }
        if (std::exchange(window.m_bCompleted, false)) {
            nEntry = (nEntry + 1) % playlist.size();
            bPausedOnce = false;
            ++run.m_nPlayed;
            if (!Play(player, playlist[nEntry]))
                ++window.m_nFailures;
        }
    }
    run.m_nEndKb = ResidentKb();
    return run;
}

// Prints the figures; true when every target is met.
bool Report(double dMinutes, const SoakRun& run, const CSoakClient::Figures& figures,
            std::size_t nLeaked, int nFailures)
{
    const double dGrowthKb =
        run.m_nBaselineKb < 0 ? -1 : static_cast<double>(run.m_nEndKb - run.m_nBaselineKb);
    const double dBytesPerSecond =
        figures.m_dSeconds > 0 ? static_cast<double>(figures.m_cbAfterFirst) / figures.m_dSeconds
                               : 0;
    std::printf("soak_minutes: %.1f min\n", dMinutes);
    std::printf("soak_files_played: %zu files\n", run.m_nPlayed);
    std::printf("soak_rss_growth_kb: %.0f kB\n", dGrowthKb);
    std::printf("soak_max_gap_ms: %.1f ms\n", figures.m_dMaxGapMs);
    std::printf("soak_rate_error_pct: %.3f %%\n", (dBytesPerSecond / 32000.0 - 1) * 100);
    std::printf("soak_leaked_objects: %zu objects\n", nLeaked);
    return run.m_nBaselineKb >= 0 && dGrowthKb < kMaxGrowthKb && figures.m_dMaxGapMs <= kMaxGapMs &&
           nLeaked == 0 && nFailures == 0 && figures.m_cbAfterFirst > 0;
}

} // namespace

int main(int argc, char** argv)
{
    const double dMinutes = argc > 1 ? std::atof(argv[1]) : 60.0;
    char szFolder[] = "/tmp/soak_player.XXXXXX";
    const fs::path folder = mkdtemp(szFolder);
    const std::vector<fs::path> playlist = MakePlaylist(folder);
    if (playlist.empty()) {
        std::fprintf(stderr, "soak: could not make the playlist\n");
        return 2;
    }
    setenv("GST_TRACERS", "leaks", 1);
    setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true freq=300 volume=0.1", 0);
    setenv("VOXREEL_AUDIO_SINK",
           std::getenv("PULSE_SERVER") != nullptr ? "pulsesink" : "fakesink sync=true", 0);
    gst_init(&argc, &argv);
    ScanPluginFolder(VOXREEL_PLUGIN_OUTPUT_DIR);
    CLeakTracker leaks;
    CSoakWindow window;
    auto pPlayer = std::make_unique<CDSPlayer>(&window);
    const int nPort = SoakPort();
    pPlayer->SetServerPort(nPort);
    if (FAILED(pPlayer->Initialize())) {
        std::fprintf(stderr, "soak: Initialize failed\n");
        return 2;
    }
    CSoakClient client(nPort);
    if (!client.Connected() || !Play(*pPlayer, playlist[0])) {
        std::fprintf(stderr, "soak: no client or no playback\n");
        return 2;
    }
    const SoakRun run = PlayFor(*pPlayer, window, client, playlist,
                                std::chrono::duration<double>(std::max(dMinutes, 0.1) * 60));
    const CSoakClient::Figures figures = client.Read();
    pPlayer.reset();
    fs::remove_all(folder);
    std::size_t nLeaked = 0;
    for (const auto& [strType, nCount] : leaks.AliveAtShutdown()) {
        std::fprintf(stderr, "soak: still alive: %zu %s\n", nCount, strType.c_str());
        nLeaked += nCount;
    }
    const bool bMet = leaks.Active() && Report(dMinutes, run, figures, nLeaked, window.m_nFailures);
    if (!bMet)
        std::fprintf(stderr, "soak: a target failed\n");
    return bMet ? 0 : 1;
}
