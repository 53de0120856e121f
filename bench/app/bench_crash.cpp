// bench_crash: how soon the guard undoes what a killed voxreel left behind,
// with the real program (offscreen), callsim and a recorder of the Voxreel
// microphone on the services of scripts/with-services; median of 5 runs.
//   crash_to_switch_back_ms - from SIGKILL to callsim receiving the switch
//                             of the call's input back to the sound card
//   crash_to_mic_back_ms    - from SIGKILL to the Voxreel microphone's
//                             modules gone and the recorder on another source
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bench_wait.h"

namespace {

std::string Pactl(const QStringList& arguments)
{
    QProcess pactl;
    pactl.start("pactl", arguments);
    pactl.waitForFinished(5000);
    return pactl.readAllStandardOutput().toStdString();
}

// The index of the source named strName in "pactl list short sources", or "".
std::string SourceIndex(const std::string& strName)
{
    std::istringstream lines(Pactl({"list", "short", "sources"}));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string index, name;
        fields >> index >> name;
        if (name == strName)
            return index;
    }
    return {};
}

// The sources of the recordings now, one per recording.
std::vector<std::string> RecordingSources()
{
    std::vector<std::string> sources;
    std::istringstream lines(Pactl({"list", "short", "source-outputs"}));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string index, source;
        fields >> index >> source;
        sources.push_back(source);
    }
    return sources;
}

struct Run {
    double dSwitchBackMs = -1, dMicBackMs = -1;
};

Run CrashOnce(QProcess& callsim, QByteArray& output, int nPort)
{
    Run run;
    QProcess program, recorder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence");
    env.insert("VOXREEL_AUDIO_SINK", "fakesink sync=true");
    env.insert("VOXREEL_VIRTUAL_MIC", "1");
    env.insert("VOXREEL_PORT", QString::number(nPort));
    program.setProcessEnvironment(env);
    const auto read = [&] { output += callsim.readAllStandardOutput(); };
    const qsizetype nConnected = output.count("input connected");
    program.start(VOXREEL_PROGRAM_PATH, {});
    std::string strMic;
    if (!Pump([&] { return read(), output.count("input connected") > nConnected; }, 20000) ||
        !Pump([&] { return !(strMic = SourceIndex("voxreel_mic")).empty(); }, 20000))
        return run;
    recorder.start("parec", {"-d", "voxreel_mic", "--raw", "/dev/null"});
    const auto recording = [&] {
        const auto sources = RecordingSources();
        return std::find(sources.begin(), sources.end(), strMic) != sources.end();
    };
    if (!Pump(recording, 20000))
        return run;
    const qsizetype nSwitchBacks = output.count("SET_INPUT SOUNDCARD");
    QElapsedTimer clock;
    clock.start();
    ::kill(static_cast<pid_t>(program.processId()), SIGKILL);
    const auto micBack = [&] {
        return Pactl({"list", "short", "modules"}).find("voxreel_mic") == std::string::npos &&
               !recording() && !RecordingSources().empty();
    };
    while (clock.elapsed() < 10000 && (run.dSwitchBackMs < 0 || run.dMicBackMs < 0)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        read();
        if (run.dSwitchBackMs < 0 && output.count("SET_INPUT SOUNDCARD") > nSwitchBacks)
            run.dSwitchBackMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        if (run.dMicBackMs < 0 && micBack())
            run.dMicBackMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    }
    program.waitForFinished(5000);
    recorder.kill();
    recorder.waitForFinished(5000);
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QProcess callsim;
    callsim.start(VOXREEL_CALLSIM_PATH, {"--call", "12:Bench"});
    QByteArray output;
    std::vector<double> switchBacks, micBacks;
    const int nBasePort = 23000 + static_cast<int>(getpid() % 1000);
    for (int i = 0; i < 5; ++i) {
        const Run run = CrashOnce(callsim, output, nBasePort + i);
        if (run.dSwitchBackMs >= 0)
            switchBacks.push_back(run.dSwitchBackMs);
        if (run.dMicBackMs >= 0)
            micBacks.push_back(run.dMicBackMs);
    }
    callsim.kill();
    callsim.waitForFinished();
    std::printf("crash_to_switch_back_ms: %.1f ms\n", Median(switchBacks));
    std::printf("crash_to_mic_back_ms: %.1f ms\n", Median(micBacks));
    return switchBacks.size() == 5 && micBacks.size() == 5 ? 0 : 1;
}
