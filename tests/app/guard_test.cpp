// The guard end to end: the real program dies (a kill, a crash, an abort)
// with a call switched and a recorder on the Voxreel microphone, and the
// guard gives the call its sound card back and the recorder the real
// microphone; a clean exit leaves everything to the program; a program
// started right after a killed one keeps its devices; nothing the program
// did not switch, or already switched back, is touched.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <signal.h>
#include <sys/resource.h>

#include <set>

#include "callsim_process.h"
#include "signal_kit.h"

using namespace apptest;

namespace {

// The test services' default microphone, on both servers: a 440 Hz tone.
constexpr int kTestMicFreq = 440;
const std::string kSwitchBack = "SET_INPUT SOUNDCARD=\"default\"";

// The guards running on this test's session bus (a zombie has no environment).
std::set<pid_t> Guards()
{
    const std::string strBus =
        std::string("DBUS_SESSION_BUS_ADDRESS=") + getenv("DBUS_SESSION_BUS_ADDRESS");
    std::set<pid_t> guards;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string strName = entry.path().filename().string();
        if (strName.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string cmdline = ReadText(entry.path() / "cmdline");
        const std::string environ = ReadText(entry.path() / "environ");
        if (cmdline.find("voxreel-guard") != std::string::npos &&
            environ.find(strBus + '\0') != std::string::npos)
            guards.insert(std::stoi(strName));
    }
    return guards;
}

class Guard : public ::testing::Test {
protected:
    void SetUp() override
    {
        const rlimit noCore{0, 0}; // the crashes below need no core files
        setrlimit(RLIMIT_CORE, &noCore);
        m_folder = TempFolder("guard");
        m_env = ProgramEnvironment(m_folder);
        m_env.insert("VOXREEL_VIRTUAL_MIC", "1");
        // What the program asked of the sound server, in a failure's output.
        m_env.insert("QT_LOGGING_RULES", "voxreel.audio.info=true");
    }
    void TearDown() override
    {
        for (QProcess* pProcess : {&m_program, &m_recorder}) {
            pProcess->kill();
            pProcess->waitForFinished(5000);
        }
        fs::remove_all(m_folder);
    }

    void Start(QProcess& process)
    {
        m_env.insert("VOXREEL_PORT", QString::number(FreePort()));
        StartProgram(process, m_env);
    }
    bool Finished(QProcess& process)
    {
        return WaitFor([&] { return process.state() == QProcess::NotRunning; }, 20s);
    }
    int ModulesOfOurs() { return Occurrences(Pactl({"list", "short", "modules"}), "voxreel_mic"); }
    // The program running with the call switched and its microphone made.
    void StartSwitched(CCallsim& callsim, QProcess& program)
    {
        const int nFrom = callsim.Count();
        Start(program);
        ASSERT_TRUE(callsim.WaitFor("input connected", nFrom));
        ASSERT_TRUE(WaitFor([&] { return ModulesOfOurs() > 0; }, 20s));
    }
    void StartRecorder()
    {
        m_recorder.start("parec", {"-d", "voxreel_mic", "--rate=16000", "--channels=1",
                                   "--format=s16le", "--raw", "--latency-msec=20",
                                   QString::fromStdString((m_folder / "mic.raw").string())});
        ASSERT_TRUE(WaitFor([&] { return Recorded(m_folder / "mic.raw", 0).size() > kRate / 4; }));
    }
    // The recorder's last quarter of a second carries the test microphone.
    bool RecorderHearsTheTestMicrophone()
    {
        const std::vector<std::int16_t> samples = Recorded(m_folder / "mic.raw", 0);
        const std::size_t nQuarter = kRate / 4;
        return samples.size() > nQuarter && ToneAmplitude(samples, samples.size() - nQuarter,
                                                          samples.size(), kTestMicFreq) > 1000;
    }
    // Every event callsim printed so far has been read.
    void Settle(CCallsim& callsim)
    {
        callsim.Control("notify settled");
        ASSERT_TRUE(callsim.WaitFor("control notify settled"));
    }
    int SwitchBacks(CCallsim& callsim, const std::string& strCall)
    {
        int n = 0;
        for (int i = 0; (i = callsim.Find("recv", i)) >= 0; ++i)
            n += callsim.Find("ALTER CALL " + strCall + " " + kSwitchBack, i) == i;
        return n;
    }

    fs::path m_folder;
    QProcessEnvironment m_env;
    QProcess m_program, m_recorder;
};

class GuardAfterDeath : public Guard, public ::testing::WithParamInterface<int> {};

} // namespace

TEST_P(GuardAfterDeath, SwitchesTheCallBackAndGivesTheRecorderTheRealMicrophone)
{
    CCallsim callsim({"--call", "12:Nora"});
    StartSwitched(callsim, m_program);
    StartRecorder();
    EXPECT_FALSE(RecorderHearsTheTestMicrophone());
    ASSERT_EQ(Guards().size(), 1u);

    ::kill(static_cast<pid_t>(m_program.processId()), GetParam());
    ASSERT_TRUE(Finished(m_program));
    EXPECT_EQ(m_program.exitStatus(), QProcess::CrashExit);
    EXPECT_TRUE(callsim.WaitFor("ALTER CALL 12 " + kSwitchBack));
    EXPECT_TRUE(WaitFor([&] { return ModulesOfOurs() == 0; }, 20s));
    EXPECT_TRUE(WaitFor([&] { return RecorderHearsTheTestMicrophone(); }, 20s));
    EXPECT_TRUE(WaitFor([] { return Guards().empty(); }, 20s));
}

INSTANTIATE_TEST_SUITE_P(Deaths, GuardAfterDeath, ::testing::Values(SIGKILL, SIGSEGV, SIGABRT),
                         [](const auto& test) { return std::string(sigabbrev_np(test.param)); });

namespace {

struct CleanClose {
    const char* pszName;
    void (*close)(QProcess& program);
};

void PrintTo(const CleanClose& close, std::ostream* pStream)
{
    *pStream << close.pszName;
}

void Terminate(QProcess& program)
{
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
}

void QuitThroughTheMediaPlayerInterface(QProcess& /*program*/)
{
    QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.voxreel", "/org/mpris/MediaPlayer2",
                                       "org.mpris.MediaPlayer2", "Quit"));
}

class GuardAtCleanExit : public Guard, public ::testing::WithParamInterface<CleanClose> {};

} // namespace

TEST_P(GuardAtCleanExit, LeavesEverythingToTheProgramAndGoes)
{
    CCallsim callsim({"--call", "12:Nora"});
    StartSwitched(callsim, m_program);
    ASSERT_TRUE(WaitFor(
        [] {
            return QDBusConnection::sessionBus()
                .interface()
                ->isServiceRegistered("org.mpris.MediaPlayer2.voxreel")
                .value();
        },
        20s));
    GetParam().close(m_program);
    ASSERT_TRUE(Finished(m_program));
    EXPECT_EQ(m_program.exitCode(), 0);
    EXPECT_TRUE(WaitFor([] { return Guards().empty(); }, 20s));
    Settle(callsim);
    EXPECT_EQ(SwitchBacks(callsim, "12"), 1);
    EXPECT_EQ(ModulesOfOurs(), 0);
}

INSTANTIATE_TEST_SUITE_P(Closes, GuardAtCleanExit,
                         ::testing::Values(CleanClose{"Sigterm", Terminate},
                                           CleanClose{"MediaPlayerQuit",
                                                      QuitThroughTheMediaPlayerInterface}),
                         [](const auto& test) { return std::string(test.param.pszName); });

TEST_F(Guard, AProgramStartedRightAfterAKilledOneKeepsItsDevices)
{
    CCallsim callsim({"--call", "12:Nora"});
    StartSwitched(callsim, m_program);
    const std::set<pid_t> oldGuards = Guards();
    ASSERT_EQ(oldGuards.size(), 1u);
    ::kill(static_cast<pid_t>(m_program.processId()), SIGKILL);
    ASSERT_TRUE(Finished(m_program));
    QProcess second;
    Start(second);
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::set<pid_t> now = Guards();
            return now.count(*oldGuards.begin()) == 0;
        },
        20s));
    ASSERT_TRUE(WaitFor([&] { return ModulesOfOurs() > 0; }, 20s));
    // The old guard has run: the new devices are there, once.
    EXPECT_EQ(Occurrences(Pactl({"list", "short", "sources"}), "voxreel_mic\t"), 1);
    EXPECT_EQ(Occurrences(Pactl({"list", "short", "modules"}), "sink_name=voxreel_mic_sink"), 1);
    ::kill(static_cast<pid_t>(second.processId()), SIGTERM);
    ASSERT_TRUE(Finished(second));
}

namespace {

class GuardLeavesAlone : public Guard, public ::testing::WithParamInterface<bool> {};

} // namespace

// Two calls, one switched; with the switched call ended first nothing is
// left to switch back when the program dies.
TEST_P(GuardLeavesAlone, CallsTheProgramDidNotSwitchOrAlreadyGaveBack)
{
    const bool bEndFirst = GetParam();
    CCallsim callsim({"--call", "12:Nora", "--call", "34:Omar"});
    StartSwitched(callsim, m_program);
    const std::string line = [&] {
        const int nAt = callsim.Find("input connected");
        return nAt >= 0 ? callsim.Find("input connected 12") == nAt ? "12" : "34" : "";
    }();
    const std::string other = line == "12" ? "34" : "12";
    if (bEndFirst) {
        callsim.Control("end " + line);
        // Two searches after the end: the program has read the end by then.
        const int nEnded = callsim.Find("call ended " + line) >= 0
                               ? callsim.Find("call ended " + line)
                               : callsim.Count();
        ASSERT_TRUE(callsim.WaitFor("call ended " + line));
        const int nFirst = [&] {
            callsim.WaitFor("SEARCH ACTIVECALLS", nEnded);
            return callsim.Find("SEARCH ACTIVECALLS", nEnded);
        }();
        ASSERT_GE(nFirst, 0);
        ASSERT_TRUE(callsim.WaitFor("SEARCH ACTIVECALLS", nFirst + 1));
    }
    ::kill(static_cast<pid_t>(m_program.processId()), SIGKILL);
    ASSERT_TRUE(Finished(m_program));
    EXPECT_TRUE(WaitFor([] { return Guards().empty(); }, 20s));
    Settle(callsim);
    EXPECT_EQ(SwitchBacks(callsim, line), bEndFirst ? 0 : 1);
    EXPECT_EQ(SwitchBacks(callsim, other), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, GuardLeavesAlone, ::testing::Values(false, true),
                         [](const auto& test) {
                             return std::string(test.param ? "SwitchedCallEndedFirst"
                                                           : "OtherCallNeverSwitched");
                         });
