// bench_call: the call's figures, with the real window (offscreen) on the
// session bus of scripts/with-services.
//   call_connect_ms    - from callsim starting with a call under way (the
//                        window already running) to the call's input
//                        connected to our port, median of 5
//   stop_to_silence_ms - from Stop to the last sample of the file on the
//                        wire, median of 5
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <gst/gst.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "dbus_skype_channel.h"
#include "in_process_channel.h"
#include "voxreel_dlg.h"
#include "bench_kit.h"
#include "bench_wait.h"
#include "voxreel_test_support.h"

namespace fs = std::filesystem;

namespace {

// A window that has run for a second without a client, then callsim.
double CallConnectMs(CMemorySettings& settings, int nPort)
{
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        CDBusSkypeChannel bus;
        CVoxreelDlg dlg({settings, bus, bus.GetOwnWindow(), "fakesink sync=true", nPort + i});
        dlg.show();
        Pump([] { return false; }, 1000);
        QProcess callsim;
        QElapsedTimer clock;
        clock.start();
        callsim.start(VOXREEL_CALLSIM_PATH, {"--call", "12:Bench"});
        QByteArray output;
        if (Pump(
                [&] {
                    output += callsim.readAllStandardOutput();
                    return output.contains("input connected 12");
                },
                20000))
            times.push_back(static_cast<double>(clock.elapsed()));
        callsim.kill();
        callsim.waitForFinished();
    }
    return Median(times);
}

double StopToSilenceMs(CMemorySettings& settings, const fs::path& tone, int nPort)
{
    CInProcessSkypeChannel channel;
    CVoxreelDlg dlg({settings, channel, "own", "fakesink sync=true", nPort});
    dlg.show();
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address{
        AF_INET, htons(static_cast<std::uint16_t>(nPort)), {htonl(INADDR_LOOPBACK)}, {}};
    connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    QElapsedTimer clock;
    clock.start();
    qint64 nLastLoud = -1;
    const auto read = [&] {
        std::int16_t samples[4096];
        for (ssize_t n; (n = recv(fd, samples, sizeof samples, MSG_DONTWAIT)) > 0;) {
            for (ssize_t i = 0; i < n / 2; ++i)
                if (std::abs(samples[i]) > 2000)
                    nLastLoud = clock.elapsed();
        }
        return false;
    };
    std::vector<double> times;
    dlg.AddPaths({tone});
    Pump([&] { return !dlg.Playlist().GetItems().empty(); }, 10000);
    for (int i = 0; i < 5; ++i) {
        dlg.RunCommand(103); // play
        Pump(
            [&] {
                read();
                return nLastLoud >= 0 && clock.elapsed() - nLastLoud < 50;
            },
            10000);
        Pump(read, 1500);
        const qint64 nStop = clock.elapsed();
        dlg.RunCommand(105); // stop
        Pump(read, 1500);    // long past the last of it
        // Whatever of the file was on its way when Stop began counts as 0.
        times.push_back(static_cast<double>(std::max<qint64>(nLastLoud - nStop, 0)));
    }
    close(fd);
    return Median(times);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("VOXREEL_VIRTUAL_MIC", "0", 1);
    CBenchSetting bench(argc, argv, "bench_call");
    const fs::path tone = bench.MakeTone();
    bench.m_settings.WriteProfileInt("RemoteVolume", 0);
    const int nPort = CBenchSetting::Port(18000);
    std::printf("call_connect_ms: %.0f ms\n", CallConnectMs(bench.m_settings, nPort));
    std::fflush(stdout);
    std::printf("stop_to_silence_ms: %.0f ms\n",
                StopToSilenceMs(bench.m_settings, tone, nPort + 10));
    bench.m_settings.WriteProfileString("DefaultPlaylist", "/nonexistent/default.m3u");
    return 0;
}
