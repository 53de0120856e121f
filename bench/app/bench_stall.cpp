// bench_stall: how long the real program's UI thread goes without answering
// while something it depends on stands still for 5 s. The probe reads an
// MPRIS property every 20 ms; Qt delivers that call on the UI thread, so its
// answer time is how long the UI thread was busy or blocked.
//   ui_stall_file_ms  - a file handed over with --play whose source never
//                       delivers (a FIFO nobody writes for 5 s)
//   ui_stall_calls_ms - callsim stopped (SIGSTOP) for 5 s during a call
//   ui_stall_sound_ms - the sound server stopped (SIGSTOP) for 5 s
//   ui_max_stall_ms   - the longest of the three (target: at most 50)
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "bench_wait.h"
#include "voxreel_test_support.h"

namespace {

constexpr auto kStall = std::chrono::seconds(5);

// Milliseconds the program takes to answer one MPRIS property read; -1 when
// it does not answer within 20 s.
double ProbeOnce()
{
    QDBusMessage get =
        QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.voxreel", "/org/mpris/MediaPlayer2",
                                       "org.freedesktop.DBus.Properties", "Get");
    get << QStringLiteral("org.mpris.MediaPlayer2.Player") << QStringLiteral("PlaybackStatus");
    QElapsedTimer clock;
    clock.start();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 20000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return -1;
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// The longest answer time while stall runs on its own thread (it stops
// something for kStall and lets it go), probing every 20 ms until it is
// over and 1 s more.
double LongestAnswerDuring(const std::function<void()>& stall)
{
    std::thread staller(stall);
    double dLongest = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < std::chrono::milliseconds(kStall).count() + 1000) {
        const double dMs = ProbeOnce();
        if (std::getenv("BENCH_STALL_TRACE"))
            std::fprintf(stderr, "%lld ms: answered in %.1f ms\n", clock.elapsed(), dMs);
        dLongest = dMs < 0 ? 20000 : std::max(dLongest, dMs);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    staller.join();
    return dLongest;
}

void StopFor(pid_t pid)
{
    ::kill(pid, SIGSTOP);
    std::this_thread::sleep_for(kStall);
    ::kill(pid, SIGCONT);
}

QProcessEnvironment ProgramEnvironment(const QString& folder)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", folder + "/config");
    env.insert("XDG_DATA_HOME", folder + "/data");
    env.insert("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence");
    env.insert("VOXREEL_AUDIO_SINK", "fakesink sync=true");
    env.insert("VOXREEL_VIRTUAL_MIC", "1");
    env.insert("VOXREEL_PORT", QString::number(24000 + getpid() % 1000));
    return env;
}

// Hands a FIFO to the running program and writes nothing for kStall; then
// lets every reader see its end, and removes it.
double FileStall(const QProcessEnvironment& env, const QString& folder)
{
    const std::string strFifo = (folder + "/stalled.mp3").toStdString();
    mkfifo(strFifo.c_str(), 0600);
    return LongestAnswerDuring([&] {
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(VOXREEL_PROGRAM_PATH, {"--play", QString::fromStdString(strFifo)});
        second.waitForFinished(10000);
        std::this_thread::sleep_for(kStall);
        // Every reader that opens it from now on sees its end at once.
        for (int i = 0; i < 40; ++i) {
            const int fd = ::open(strFifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        ::unlink(strFifo.c_str());
    });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    const QProcessEnvironment env = ProgramEnvironment(folder.path());
    QProcess callsim, program;
    callsim.start(VOXREEL_CALLSIM_PATH, {"--call", "12:Bench"});
    QByteArray output;
    program.setProcessEnvironment(env);
    program.start(VOXREEL_PROGRAM_PATH, {});
    const bool bConnected = Pump(
        [&] {
            output += callsim.readAllStandardOutput();
            return output.contains("input connected");
        },
        30000);
    if (!bConnected || ProbeOnce() < 0) {
        std::fprintf(stderr, "bench_stall: the program did not take the call\n");
        return 1;
    }
    const double dFile = FileStall(env, folder.path());
    const double dCalls =
        LongestAnswerDuring([&] { StopFor(static_cast<pid_t>(callsim.processId())); });
    const pid_t server = voxreel::test::SoundServerPid();
    const double dSound = server > 0 ? LongestAnswerDuring([&] { StopFor(server); }) : -1;
    program.terminate();
    program.waitForFinished(10000);
    callsim.kill();
    callsim.waitForFinished();
    std::printf("ui_stall_file_ms: %.1f ms\n", dFile);
    std::printf("ui_stall_calls_ms: %.1f ms\n", dCalls);
    std::printf("ui_stall_sound_ms: %.1f ms\n", dSound);
    const double dMax = std::max({dFile, dCalls, dSound});
    std::printf("ui_max_stall_ms: %.1f ms\n", dMax);
    return dMax <= 50 ? 0 : 1;
}
