// The voxreel program as a person runs it (offscreen), against callsim on the
// test's own bus: a second start hands its files over (and one to play, as
// the desktop's media interface shows), and each signal closes the program
// as its window's close does.
#include <QDBusArgument>
#include <QDBusInterface>
#include <QDBusReply>

#include <gtest/gtest.h>

#include <signal.h>

#include "callsim_process.h"

using namespace apptest;

namespace {

class ProgramSignal : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        m_folder = TempFolder("program");
        m_env = ProgramEnvironment(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    void Start(QProcess& process, const QStringList& arguments)
    {
        process.setWorkingDirectory(QString::fromStdString(m_folder.string()));
        StartProgram(process, m_env, arguments);
    }
    bool Finished(QProcess& process)
    {
        return WaitFor([&] { return process.state() == QProcess::NotRunning; }, 20s);
    }

    // A property of the running program's media player interface.
    static QVariant PlayerProperty(const char* pszName)
    {
        QDBusInterface properties("org.mpris.MediaPlayer2.voxreel", "/org/mpris/MediaPlayer2",
                                  "org.freedesktop.DBus.Properties");
        const QDBusReply<QVariant> reply =
            properties.call("Get", "org.mpris.MediaPlayer2.Player", pszName);
        return reply.isValid() ? reply.value() : QVariant();
    }
    static QString PlayingTitle()
    {
        if (PlayerProperty("PlaybackStatus").toString() != "Playing")
            return {};
        const auto metadata =
            qdbus_cast<QVariantMap>(PlayerProperty("Metadata").value<QDBusArgument>());
        return metadata.value("xesam:title").toString();
    }

    fs::path m_folder;
    QProcessEnvironment m_env;
};

} // namespace

TEST_P(ProgramSignal, SwitchesTheCallBackAndKeepsEverything)
{
    CCallsim callsim({"--call", "12:Nora"});
    gst_init(nullptr, nullptr);
    MakeTone(m_folder / "second.wav", 30.0);
    QProcess first, second;
    Start(first, {"first.wav"});
    ASSERT_TRUE(callsim.WaitFor("input connected 12"));

    Start(second, {"--play", "second.wav"}); // relative: taken from this folder
    ASSERT_TRUE(Finished(second));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(WaitFor([] { return PlayingTitle() == "second"; }, 20s)) << "not played";

    ::kill(static_cast<pid_t>(first.processId()), GetParam());
    ASSERT_TRUE(Finished(first));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_GE(callsim.Find("ALTER CALL 12 SET_INPUT SOUNDCARD=\"default\""), 0);
    EXPECT_NE(ReadText(m_folder / "config/Kelmora/Voxreel.conf").find("LocalVolume=176"),
              std::string::npos);
    const std::string playlist = ReadText(m_folder / "data/Kelmora/Voxreel/playlist.m3u");
    EXPECT_NE(playlist.find((m_folder / "first.wav").string()), std::string::npos) << playlist;
    EXPECT_NE(playlist.find((m_folder / "second.wav").string()), std::string::npos) << playlist;
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& test) { return std::string(sigabbrev_np(test.param)); });
