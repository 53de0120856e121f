// The voxreel program with its speakers on a sound server that takes the
// connection and never answers (the local output's sink then hangs in its
// start for libpulse's 30 s): each way of closing still runs the closing
// steps and ends the program, well before the sink would have given up.
#include <QDBusInterface>

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "callsim_process.h"

using namespace apptest;

namespace {

using voxreel::test::CSilentServer;

struct SCloseWay {
    const char* pszName;
    std::function<void(QProcess& program)> close;
};

void PrintTo(const SCloseWay& way, std::ostream* pOut)
{
    *pOut << way.pszName;
}

const SCloseWay kCloseWays[] = {
    {"SIGTERM",
     [](QProcess& program) { ::kill(static_cast<pid_t>(program.processId()), SIGTERM); }},
    {"MprisQuit",
     [](QProcess&) {
         QDBusInterface root("org.mpris.MediaPlayer2.voxreel", "/org/mpris/MediaPlayer2",
                             "org.mpris.MediaPlayer2");
         root.asyncCall("Quit");
     }},
};

class ProgramStalledSpeakers : public ::testing::TestWithParam<SCloseWay> {
protected:
    void SetUp() override
    {
        m_folder = TempFolder("stall");
        ASSERT_TRUE(m_server.IsListening());
        m_env = ProgramEnvironment(m_folder);
        m_env.insert("VOXREEL_AUDIO_SINK",
                     QString::fromStdString("pulsesink server=" + m_server.Address()));
        m_program.setWorkingDirectory(QString::fromStdString(m_folder.string()));
    }
    void TearDown() override
    {
        if (m_program.state() != QProcess::NotRunning) {
            m_program.kill();
            m_program.waitForFinished(5000);
        }
        fs::remove_all(m_folder);
    }

    fs::path m_folder;
    CSilentServer m_server{testing::TempDir() + "voxreel-silent-" + std::to_string(getpid())};
    QProcessEnvironment m_env;
    QProcess m_program;
};

} // namespace

TEST_P(ProgramStalledSpeakers, ClosingEndsTheProgramWithoutWaitingForTheSink)
{
    CCallsim callsim({"--call", "12:Nora"});
    gst_init(nullptr, nullptr);
    MakeTone(m_folder / "tone.wav", 5.0); // still playing when the program closes
    StartProgram(m_program, m_env, {"--play", "tone.wav"});
    ASSERT_TRUE(callsim.WaitFor("input connected 12"));

    const auto tClose = std::chrono::steady_clock::now();
    GetParam().close(m_program);
    ASSERT_TRUE(WaitFor([&] { return m_program.state() == QProcess::NotRunning; }, 10s))
        << "the program waited for its speakers";
    const auto msClose = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - tClose);
    RecordProperty("close_ms", static_cast<int>(msClose.count())); // measured, not judged
    EXPECT_EQ(m_program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_program.exitCode(), 0);
    EXPECT_TRUE(callsim.WaitFor("ALTER CALL 12 SET_INPUT SOUNDCARD=\"default\""))
        << "the closing steps ran";
}

INSTANTIATE_TEST_SUITE_P(Ways, ProgramStalledSpeakers, ::testing::ValuesIn(kCloseWays),
                         [](const auto& test) { return std::string(test.param.pszName); });
