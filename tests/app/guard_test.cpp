// The voxreel program's end, run as a person runs it (offscreen) against
// callsim: each way of closing runs the closing steps, even with speakers
// that never answer; when it dies instead, its guard gives back what it had
// switched and made, touches nothing else, and spares a new run's devices.
#include <QDBusInterface>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <set>

#include "callsim_process.h"
#include "signal_kit.h"

using namespace apptest;

namespace {

// The guards running on this test's session bus (a zombie has no environment).
std::set<pid_t> Guards()
{
    const std::string strBus =
        std::string("DBUS_SESSION_BUS_ADDRESS=") + getenv("DBUS_SESSION_BUS_ADDRESS") + '\0';
    std::set<pid_t> guards;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string strName = entry.path().filename().string();
        if (strName.find_first_not_of("0123456789") == std::string::npos &&
            ReadText(entry.path() / "cmdline").find("voxreel-guard") != std::string::npos &&
            ReadText(entry.path() / "environ").find(strBus) != std::string::npos)
            guards.insert(std::stoi(strName));
    }
    return guards;
}

int ModulesOfOurs()
{
    return Occurrences(Pactl({"list", "short", "modules"}), "voxreel_mic");
}

class Program : public ::testing::Test {
protected:
    void SetUp() override
    {
        const rlimit noCore{0, 0}; // the crashes below need no core files
        setrlimit(RLIMIT_CORE, &noCore);
        m_folder = TempFolder("program");
        m_env = ProgramEnvironment(m_folder);
        m_env.insert("VOXREEL_VIRTUAL_MIC", "1");
        // What the program asked of the sound server, in a failure's output.
        m_env.insert("QT_LOGGING_RULES", "voxreel.audio.info=true");
    }
    void TearDown() override
    {
        m_program.kill();
        m_program.waitForFinished(5000);
        m_recorder.Stop();
        fs::remove_all(m_folder);
    }
    // Started in the test's folder on a port of its own.
    void Start(QProcess& process, const QStringList& arguments = {})
    {
        m_env.insert("VOXREEL_PORT", QString::number(FreePort()));
        process.setWorkingDirectory(QString::fromStdString(m_folder.string()));
        StartProgram(process, m_env, arguments);
    }
    static bool Finished(QProcess& process)
    {
        return WaitFor([&] { return process.state() == QProcess::NotRunning; }, 20s);
    }
    // The program running with a call switched and its microphone made; the
    // call it switched.
    std::string StartSwitched(CCallsim& callsim, const QStringList& arguments = {})
    {
        Start(m_program, arguments);
        EXPECT_TRUE(callsim.WaitFor("input connected"));
        EXPECT_TRUE(WaitFor([&] { return ModulesOfOurs() > 0; }, 20s));
        return callsim.Find("input connected 12") >= 0 ? "12" : "34";
    }

    fs::path m_folder;
    QProcessEnvironment m_env;
    QProcess m_program;
    CRecorder m_recorder;
};

// How the program ends: a signal, or 0 for the media player interface's Quit.
class ProgramEnd : public Program, public ::testing::WithParamInterface<int> {};

} // namespace

// However it ends, with speakers on a sound server that takes the connection
// and never answers (the sink then hangs in its start for libpulse's 30 s):
// of two calls the one switched is switched back once, the other left alone;
// the Voxreel microphone goes and its recorder goes on with the real one; no
// guard is left. A second start hands its file over to play into the call.
// Closed, it ends well before the speakers give up and keeps the playlist.
TEST_P(ProgramEnd, SwitchesTheCallBackAndGivesBackTheMicrophone)
{
    const bool bClosed = GetParam() != SIGKILL && GetParam() != SIGSEGV && GetParam() != SIGABRT;
    voxreel::test::CSilentServer speakers(testing::TempDir() + "voxreel-silent-" +
                                          std::to_string(getpid()));
    ASSERT_TRUE(speakers.IsListening());
    m_env.insert("VOXREEL_AUDIO_SINK",
                 QString::fromStdString("pulsesink server=" + speakers.Address()));
    const fs::path call = m_folder / "call.wav";
    CCallsim callsim({"--call", "12:Nora", "--call", "34:Omar", "--record",
                      QString::fromStdString(call.string())});
    gst_init(nullptr, nullptr);
    MakeTone(m_folder / "second.wav", 30.0, 1000); // not the real microphone's 440 Hz
    const std::string strCall = StartSwitched(callsim, {"first.wav"});
    const std::string strOther = strCall == "12" ? "34" : "12";
    m_recorder.Start("voxreel_mic", kRate, 1, m_folder / "mic.raw");
    ASSERT_TRUE(WaitFor([&] { return m_recorder.Recording().m_samples.size() > kRate / 4; }));
    ASSERT_EQ(Guards().size(), 1u);
    QProcess second;
    Start(second, {"--play", "second.wav"}); // relative: taken from this folder
    ASSERT_TRUE(Finished(second));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(WaitFor([&] { return EndsWithTone(CallRecording(call), 1000, 1000); }, 20s))
        << "not played";
    EXPECT_FALSE(EndsWithTone(m_recorder.Recording(), 440, 1000));

    if (GetParam() != 0)
        ::kill(static_cast<pid_t>(m_program.processId()), GetParam());
    else
        QDBusInterface("org.mpris.MediaPlayer2.voxreel", "/org/mpris/MediaPlayer2",
                       "org.mpris.MediaPlayer2")
            .asyncCall("Quit");
    ASSERT_TRUE(Finished(m_program)) << "the program waited for its speakers";
    EXPECT_EQ(m_program.exitStatus(), bClosed ? QProcess::NormalExit : QProcess::CrashExit);
    EXPECT_TRUE(!bClosed || m_program.exitCode() == 0) << m_program.exitCode();
    EXPECT_TRUE(WaitFor([&] { return ModulesOfOurs() == 0; }, 20s));
    EXPECT_TRUE(WaitFor([&] { return EndsWithTone(m_recorder.Recording(), 440, 1000); }, 20s))
        << "the recorder did not go on with the real microphone";
    EXPECT_TRUE(WaitFor([] { return Guards().empty(); }, 20s));
    callsim.Settle();
    EXPECT_EQ(callsim.SwitchBacks(strCall), 1);
    EXPECT_EQ(callsim.SwitchBacks(strOther), 0) << "a call the program never switched";
    if (!bClosed)
        return;
    const std::string playlist = ReadText(m_folder / "data/Kelmora/Voxreel/playlist.m3u");
    EXPECT_NE(playlist.find((m_folder / "first.wav").string()), std::string::npos) << playlist;
    EXPECT_NE(playlist.find((m_folder / "second.wav").string()), std::string::npos) << playlist;
}

INSTANTIATE_TEST_SUITE_P(Ways, ProgramEnd,
                         ::testing::Values(SIGTERM, SIGINT, SIGHUP, 0, SIGKILL, SIGSEGV, SIGABRT),
                         [](const auto& test) {
                             return std::string(test.param ? sigabbrev_np(test.param) : "Quit");
                         });

// The switched call ends before the program is killed: nothing is left to
// switch back. A program started right after keeps its own devices while the
// old guard removes the killed one's.
TEST_F(Program, KilledAfterItsCallEndedLeavesTheCallsAndANewRunAlone)
{
    CCallsim callsim({"--call", "12:Nora", "--call", "34:Omar"});
    const std::string strCall = StartSwitched(callsim);
    callsim.Control("end " + strCall);
    ASSERT_TRUE(callsim.WaitFor("call ended " + strCall));
    // Two searches after the end: the program has read the end by then.
    const int nEnded = callsim.Find("call ended " + strCall);
    ASSERT_TRUE(callsim.WaitFor("SEARCH ACTIVECALLS", nEnded));
    ASSERT_TRUE(
        callsim.WaitFor("SEARCH ACTIVECALLS", callsim.Find("SEARCH ACTIVECALLS", nEnded) + 1));
    const std::set<pid_t> oldGuards = Guards();
    ASSERT_EQ(oldGuards.size(), 1u);

    ::kill(static_cast<pid_t>(m_program.processId()), SIGKILL);
    ASSERT_TRUE(Finished(m_program));
    Start(m_program);
    ASSERT_TRUE(WaitFor([&] { return Guards().count(*oldGuards.begin()) == 0; }, 20s));
    ASSERT_TRUE(WaitFor([&] { return ModulesOfOurs() > 0; }, 20s));
    EXPECT_EQ(Occurrences(Pactl({"list", "short", "sources"}), "voxreel_mic\t"), 1);
    EXPECT_EQ(Occurrences(Pactl({"list", "short", "modules"}), "sink_name=voxreel_mic_sink"), 1);
    callsim.Settle();
    EXPECT_EQ(callsim.SwitchBacks("12") + callsim.SwitchBacks("34"), 0);
    ::kill(static_cast<pid_t>(m_program.processId()), SIGTERM);
    EXPECT_TRUE(Finished(m_program));
}
