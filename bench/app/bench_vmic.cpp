// bench_vmic: the Voxreel microphone's figures, with the real window
// (offscreen) on the sound server of scripts/with-services.
//   virtual_mic_latency_ms - how much later a change of the mix reaches a
//                            48 kHz stereo recorder of the Voxreel microphone
//                            than a client of the port (median of 7)
//   virtual_mic_cpu_pct    - the extra CPU of the process with the Voxreel
//                            microphone on: transmitting with nothing playing,
//                            15 s with it and 15 s without, twice each way
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSlider>
#include <QTimer>

#include <gst/gst.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "dlg_controls.h"
#include "in_process_channel.h"
#include "voxreel_dlg.h"
#include "bench_kit.h"
#include "bench_wait.h"
#include "voxreel_test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr int kLoud = 4000;

// The time (ms on clock) the first loud sample arrived from a source that
// delivers bytes now and then; -1 while none has.
class CArrival {
public:
    void Take(const char* pBytes, std::size_t cb, qint64 nNow)
    {
        m_bytes.append(pBytes, cb);
        while (m_bytes.size() >= 2 && m_nLoudAt < 0) {
            const auto nSample =
                static_cast<std::int16_t>(static_cast<std::uint8_t>(m_bytes[0]) |
                                          (static_cast<std::uint8_t>(m_bytes[1]) << 8));
            m_bytes.erase(0, 2);
            if (std::abs(nSample) > kLoud && m_bArmed)
                m_nLoudAt = nNow;
        }
        if (m_nLoudAt >= 0 || !m_bArmed)
            m_bytes.clear();
    }
    void Arm() { m_bArmed = true, m_nLoudAt = -1, m_bytes.clear(); }
    qint64 LoudAt() const { return m_nLoudAt; }

private:
    std::string m_bytes;
    bool m_bArmed = false;
    qint64 m_nLoudAt = -1;
};

int ConnectPort(int nPort)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address{
        AF_INET, htons(static_cast<std::uint16_t>(nPort)), {htonl(INADDR_LOOPBACK)}, {}};
    connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return fd;
}

std::unique_ptr<CVoxreelDlg> OpenWindow(CMemorySettings& settings, CInProcessSkypeChannel& channel,
                                        const fs::path& tone, int nPort)
{
    auto pDlg = std::make_unique<CVoxreelDlg>(
        CVoxreelDlg::Services{settings, channel, "own", "fakesink sync=true", nPort});
    pDlg->show();
    pDlg->AddPaths({tone}, true);
    voxreel::test::WaitUntil([&] {
        QCoreApplication::processEvents();
        return pDlg->Player().IsRunning();
    });
    return pDlg;
}

double LatencyMs(CVoxreelDlg& dlg, int nPort)
{
    const int fd = ConnectPort(nPort);
    QProcess recorder;
    // As a meeting application records it: 48 kHz stereo (either channel's
    // sample counts as the loud one).
    recorder.start("parec", {"-d", "voxreel_mic", "--rate=48000", "--channels=2", "--format=s16le",
                             "--raw", "--latency-msec=10"});
    recorder.waitForStarted();
    QElapsedTimer clock;
    clock.start();
    CArrival port, mic;
    auto* pBalance = qobject_cast<QSlider*>(FindControl(&dlg, 1024));
    const auto pump = [&](qint64 nUntil) {
        char chunk[8192];
        while (clock.elapsed() < nUntil) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            for (ssize_t n; (n = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT)) > 0;)
                port.Take(chunk, static_cast<std::size_t>(n), clock.elapsed());
            const QByteArray bytes = recorder.readAllStandardOutput();
            mic.Take(bytes.data(), static_cast<std::size_t>(bytes.size()), clock.elapsed());
        }
    };
    std::vector<double> delays;
    for (int i = 0; i < 7; ++i) {
        pBalance->setValue(-127); // only the silent microphone
        dlg.Player().SetRemoteBalance(-127);
        pump(clock.elapsed() + 1500);
        port.Arm(), mic.Arm();
        dlg.Player().SetRemoteBalance(128); // only the file's tone, from this tick on
        pump(clock.elapsed() + 1500);
        if (port.LoudAt() >= 0 && mic.LoudAt() >= 0)
            delays.push_back(static_cast<double>(mic.LoudAt() - port.LoudAt()));
    }
    recorder.kill();
    recorder.waitForFinished();
    close(fd);
    return Median(delays);
}

// Runs the window as the program does, idle between events.
void RunEventLoop(int nMs)
{
    QEventLoop loop;
    QTimer::singleShot(nMs, &loop, &QEventLoop::quit);
    loop.exec();
}

// The process's CPU over 15 s of a window that transmits and plays nothing.
double IdleCpuPct(CMemorySettings& settings, CInProcessSkypeChannel& channel, int nPort, bool bMic)
{
    setenv("VOXREEL_VIRTUAL_MIC", bMic ? "1" : "0", 1);
    CVoxreelDlg dlg({settings, channel, "own", "fakesink sync=true", nPort});
    dlg.show();
    RunEventLoop(2000); // past the start-up
    const double dStart = voxreel::test::ProcessCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    RunEventLoop(15000);
    return 100.0 * (voxreel::test::ProcessCpuSeconds() - dStart) / (clock.elapsed() / 1000.0);
}

} // namespace

int main(int argc, char** argv)
{
    CBenchSetting bench(argc, argv, "bench_vmic");
    const fs::path tone = bench.MakeTone();
    bench.m_settings.WriteProfileInt("RemoteVolume", 0);
    CInProcessSkypeChannel channel;
    const int nPort = CBenchSetting::Port(17000);
    {
        setenv("VOXREEL_VIRTUAL_MIC", "1", 1);
        auto pDlg = OpenWindow(bench.m_settings, channel, tone, nPort);
        std::printf("virtual_mic_latency_ms: %.0f ms\n", LatencyMs(*pDlg, nPort));
        std::fflush(stdout);
    }
    double dCpuOff = 0, dCpuOn = 0;
    for (int i = 0; i < 2; ++i) {
        dCpuOff += IdleCpuPct(bench.m_settings, channel, nPort + 1 + 2 * i, false) / 2;
        dCpuOn += IdleCpuPct(bench.m_settings, channel, nPort + 2 + 2 * i, true) / 2;
    }
    std::printf("virtual_mic_cpu_pct: %.2f %% (%.2f %% with it, %.2f %% without)\n",
                dCpuOn - dCpuOff, dCpuOn, dCpuOff);
    return 0;
}
