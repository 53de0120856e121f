// The voxreel program with its speakers on a sound server that takes the
// connection and never answers (the local output's sink then hangs in its
// start for libpulse's 30 s): each way of closing still runs the closing
// steps and ends the program, well before the sink would have given up.
#include <QDBusInterface>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "callsim_process.h"

using namespace apptest;

namespace {

// A Unix socket that listens and accepts nothing.
class CSilentServer {
public:
    explicit CSilentServer(const fs::path& path) : m_path(path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        m_path.string().copy(address.sun_path, sizeof address.sun_path - 1);
        fs::remove(m_path);
        m_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        m_bListening =
            bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            listen(m_fd, 16) == 0;
    }
    ~CSilentServer()
    {
        close(m_fd);
        fs::remove(m_path);
    }
    CSilentServer(const CSilentServer&) = delete;
    CSilentServer& operator=(const CSilentServer&) = delete;
    bool IsListening() const { return m_bListening; }
    std::string Address() const { return "unix:" + m_path.string(); }

private:
    fs::path m_path;
    int m_fd = -1;
    bool m_bListening = false;
};

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
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((m_folder / "config").string()));
        env.insert("XDG_DATA_HOME", QString::fromStdString((m_folder / "data").string()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence");
        env.insert("VOXREEL_AUDIO_SINK",
                   QString::fromStdString("pulsesink server=" + m_server.Address()));
        env.insert("VOXREEL_PORT", QString::number(FreePort()));
        env.insert("GST_REGISTRY_FORK", "no");
        if (env.contains("ASAN_OPTIONS"))
            env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":fast_unwind_on_malloc=0");
        m_program.setProcessEnvironment(env);
        m_program.setWorkingDirectory(QString::fromStdString(m_folder.string()));
        m_program.setProcessChannelMode(QProcess::ForwardedChannels);
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
    CSilentServer m_server{fs::path(testing::TempDir()) /
                           ("voxreel-silent-" + std::to_string(getpid()))};
    QProcess m_program;
};

} // namespace

TEST_P(ProgramStalledSpeakers, ClosingEndsTheProgramWithoutWaitingForTheSink)
{
    CCallsim callsim({"--call", "12:Nora"});
    gst_init(nullptr, nullptr);
    MakeTone(m_folder / "tone.wav", 5.0); // still playing when the program closes
    m_program.start(QStringLiteral(VOXREEL_PROGRAM_PATH), {"--play", "tone.wav"});
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
