// The far end of a call: the voxreel program with a test microphone, callsim recording the
// port, and a recorder of the Voxreel microphone, each recording read back for analysis.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "callsim_process.h"
#include "recording.h"
#include "signal_kit.h"
#include "tone_frames.h"

namespace farend {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline constexpr int kMicFreq = 300;
inline constexpr int kRecorderRate = 48000;

using apptest::Pactl;

inline bool SourceExists(const std::string& strName)
{
    return Pactl({"list", "short", "sources"}).find(strName + "\t") != std::string::npos;
}

// A WAV file of sine tones mixed at 48 kHz stereo, each at dVolume of full scale.
inline fs::path MakeTones(const fs::path& path, double dSeconds, const std::vector<int>& freqs,
                          double dVolume)
{
    const std::string strCaps = " ! audio/x-raw,rate=48000,channels=2 ";
    std::string strLaunch =
        "audiomixer name=mix" + strCaps + "! wavenc ! filesink location=\"" + path.string() + "\"";
    for (int nFreq : freqs)
        strLaunch += " audiotestsrc freq=" + std::to_string(nFreq) +
                     " volume=" + std::to_string(dVolume) + " samplesperbuffer=480 num-buffers=" +
                     std::to_string(static_cast<long>(dSeconds * 100)) + strCaps + "! mix.";
    voxreel::test::RunLaunch(strLaunch);
    return path;
}

// Waits with Qt's events turning; the condition is looked at every period only (it is costly).
inline bool WaitEvery(const std::function<bool()>& condition, std::chrono::milliseconds period,
                      std::chrono::milliseconds timeout)
{
    auto next = std::chrono::steady_clock::now();
    return apptest::WaitFor(
        [&] {
            if (std::chrono::steady_clock::now() < next)
                return false;
            next = std::chrono::steady_clock::now() + period;
            return condition();
        },
        timeout);
}

class CFarEndChain {
public:
    // strLocalOutput: the program's local output (a gst-launch description).
    CFarEndChain(const fs::path& folder, const std::string& strLocalOutput)
        : m_folder(folder), m_callsim({"--call", "12:Far end", "--record",
                                       QString::fromStdString((folder / "call.wav").string())})
    {
        m_env = apptest::ProgramEnvironment(folder);
        m_env.insert("VOXREEL_CAPTURE_SOURCE",
                     "audiotestsrc is-live=true volume=0.25 freq=" + QString::number(kMicFreq));
        m_env.insert("VOXREEL_AUDIO_SINK", QString::fromStdString(strLocalOutput));
        m_env.insert("VOXREEL_VIRTUAL_MIC", "1");
    }
    ~CFarEndChain()
    {
        m_recorder.Stop();
        if (m_program.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(m_program.processId()), SIGTERM);
            if (!m_program.waitForFinished(20000))
                m_program.kill();
        }
    }

    // The program running, the call's input on its port and the Voxreel microphone recorded.
    bool Start()
    {
        apptest::StartProgram(m_program, m_env);
        return m_callsim.WaitFor("input connected 12") &&
               apptest::WaitFor([] { return SourceExists("voxreel_mic"); }, 20s) &&
               m_recorder.Start("voxreel_mic", kRecorderRate, 2, m_folder / "voxreel-mic.raw");
    }
    // Hands the files to the running program with --play, as a second start.
    bool Play(const std::vector<fs::path>& files)
    {
        QStringList arguments{"--play"};
        for (const fs::path& file : files)
            arguments << QString::fromStdString(file.string());
        QProcess second;
        apptest::StartProgram(second, m_env, arguments);
        return apptest::WaitFor([&] { return second.state() == QProcess::NotRunning; }, 20s) &&
               second.exitCode() == 0;
    }

    callreport::SAnalysis Port(const std::vector<callreport::SToneSpec>& files) const
    {
        return callreport::Analyse(apptest::CallRecording(m_folder / "call.wav"), kMicFreq, files);
    }
    callreport::SAnalysis Mic(const std::vector<callreport::SToneSpec>& files) const
    {
        return callreport::Analyse(m_recorder.Recording(), kMicFreq, files);
    }
    // Until both recordings carry the last file and then half a second more.
    bool WaitForAll(const std::vector<callreport::SToneSpec>& files,
                    std::chrono::milliseconds timeout = 60s) const
    {
        const auto done = [](const callreport::SAnalysis& analysis) {
            const callreport::STone& last = analysis.files.back();
            return last.bHeard && analysis.nFrames * callreport::kFrameMs - last.nEndMs >= 500;
        };
        return WaitEvery([&] { return done(Port(files)) && done(Mic(files)); }, 300ms, timeout);
    }

private:
    fs::path m_folder;
    QProcessEnvironment m_env;
    apptest::CCallsim m_callsim;
    QProcess m_program;
    apptest::CRecorder m_recorder;
};

} // namespace farend
