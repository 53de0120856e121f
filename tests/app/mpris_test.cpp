// The media player interface against the real window (offscreen), through a
// D-Bus client on the test's own bus, and once through playerctl.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QProcess>
#include <QSlider>

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "desktop/mpris_service.h"
#include "window_testkit.h"

using namespace apptest;

namespace {

// Collects the PropertiesChanged signals of the player interface.
class CChangeLog final : public QObject {
    Q_OBJECT
public slots:
    void OnChanged(const QString& strInterface, const QVariantMap& changed, const QStringList&)
    {
        if (strInterface == "org.mpris.MediaPlayer2.Player")
            for (auto it = changed.begin(); it != changed.end(); ++it)
                m_changes.push_back(it.key() + "=" + it.value().toString());
    }

    void OnSeeked(qlonglong nPositionUs) { m_seeks.push_back(nPositionUs); }

public:
    bool Saw(const QString& strChange) const { return m_changes.contains(strChange); }
    QStringList m_changes;
    std::vector<qlonglong> m_seeks;
};

class Mpris : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        // A playlist of bare paths: the titles shown are the files' names.
        std::ofstream list(m_folder / "default.m3u");
        for (const char* name : {"one.wav", "two.wav"})
            list << MakeTone(m_folder / name, 8.0).string() << "\n";
        list.close();
        CVoxreelDlg& dlg = Open();
        ASSERT_EQ(Rows()->rowCount(), 2);
        m_pService = std::make_unique<CMprisService>(dlg, [this] { ++m_nQuits; });
        ASSERT_TRUE(m_pService->Register());
        QDBusConnection::sessionBus().connect(
            CMprisService::kServiceName, CMprisService::kObjectPath,
            "org.freedesktop.DBus.Properties", "PropertiesChanged", &m_log,
            SLOT(OnChanged(QString, QVariantMap, QStringList)));
        QDBusConnection::sessionBus().connect(
            CMprisService::kServiceName, CMprisService::kObjectPath,
            "org.mpris.MediaPlayer2.Player", "Seeked", &m_log, SLOT(OnSeeked(qlonglong)));
    }
    void TearDown() override
    {
        m_pService.reset();
        WindowTest::TearDown();
    }
    // Calls a method of the player interface and waits for its answer.
    void Call(const char* pszMethod, const QVariant& arg = {})
    {
        QDBusInterface player(CMprisService::kServiceName, CMprisService::kObjectPath,
                              "org.mpris.MediaPlayer2.Player");
        QDBusPendingCall call =
            arg.isValid() ? player.asyncCall(pszMethod, arg) : player.asyncCall(pszMethod);
        ASSERT_TRUE(WaitFor([&] { return call.isFinished(); })) << pszMethod;
        EXPECT_FALSE(call.isError()) << pszMethod << " " << call.error().message().toStdString();
    }
    QVariant Property(const char* pszName,
                      const char* pszInterface = "org.mpris.MediaPlayer2.Player")
    {
        QDBusInterface properties(CMprisService::kServiceName, CMprisService::kObjectPath,
                                  "org.freedesktop.DBus.Properties");
        QDBusPendingReply<QVariant> reply = properties.asyncCall("Get", pszInterface, pszName);
        WaitFor([&] { return reply.isFinished(); });
        return reply.value();
    }

    QVariantMap Metadata()
    {
        return qdbus_cast<QVariantMap>(Property("Metadata").value<QDBusArgument>());
    }

    std::unique_ptr<CMprisService> m_pService;
    CChangeLog m_log;
    int m_nQuits = 0;
};

} // namespace

TEST_F(Mpris, MethodsDriveTheWindowAndChangesAreSignalled)
{
    EXPECT_EQ(Property("Identity", "org.mpris.MediaPlayer2").toString(), "Voxreel");
    EXPECT_EQ(Property("DesktopEntry", "org.mpris.MediaPlayer2").toString(), "voxreel");
    EXPECT_EQ(Property("PlaybackStatus").toString(), "Stopped");

    const struct {
        const char* pszMethod;
        const char* pszStatus;
        const char* pszTitle;
    } steps[] = {{"Play", "Playing", "one"},      {"Pause", "Paused", "one"},
                 {"PlayPause", "Playing", "one"}, {"Next", "Playing", "two"},
                 {"Stop", "Stopped", ""},         {"Previous", "Playing", "one"}};
    for (const auto& step : steps) {
        Call(step.pszMethod);
        // A file plays once it has opened, after the call returned.
        EXPECT_TRUE(WaitFor([&] {
            return Property("PlaybackStatus").toString() == step.pszStatus &&
                   Text(1006) == step.pszTitle;
        })) << step.pszMethod;
        EXPECT_TRUE(WaitFor([&] { return m_log.Saw(QString("PlaybackStatus=") + step.pszStatus); }))
            << step.pszMethod;
    }

    Call("Seek", QVariant::fromValue(qlonglong{3000000}));
    // From the start it could not be 3 s in so soon.
    EXPECT_TRUE(WaitFor([&] { return m_pDlg->Player().GetPosition() >= 3; }, 1500ms));
    // Told where it went, once; and so is a seek in the window itself.
    EXPECT_TRUE(WaitFor([&] { return !m_log.m_seeks.empty(); }));
    m_pDlg->SeekTo(5);
    EXPECT_TRUE(WaitFor([&] { return m_log.m_seeks.size() >= 2; }));
    ASSERT_EQ(m_log.m_seeks.size(), 2u);
    EXPECT_GE(m_log.m_seeks[0], 3000000); // 3 s on from where it was
    EXPECT_EQ(m_log.m_seeks[1], 5000000);
    QDBusInterface properties(CMprisService::kServiceName, CMprisService::kObjectPath,
                              "org.freedesktop.DBus.Properties");
    properties.asyncCall("Set", "org.mpris.MediaPlayer2.Player", "Volume",
                         QVariant::fromValue(QDBusVariant(0.0)));
    EXPECT_TRUE(WaitFor([&] { return Slider(1021) == 255; }));
    EXPECT_TRUE(WaitFor([&] { return m_log.Saw("Volume=0"); }));

    MakeTone(m_folder / "three.wav", 2.0);
    Call("OpenUri", QString::fromStdString("file://" + (m_folder / "three.wav").string()));
    EXPECT_TRUE(WaitFor([&] { return Rows()->rowCount() == 3 && Text(1006) == "three"; }));

    QDBusInterface root(CMprisService::kServiceName, CMprisService::kObjectPath,
                        "org.mpris.MediaPlayer2");
    root.asyncCall("Quit");
    EXPECT_TRUE(WaitFor([&] { return m_nQuits == 1; }));
}

TEST_F(Mpris, PlayerctlSeesAndDrivesIt)
{
    QProcess playerctl;
    playerctl.start("playerctl", {"--player=voxreel", "play"});
    ASSERT_TRUE(WaitFor([&] { return playerctl.state() == QProcess::NotRunning; }));
    ASSERT_EQ(playerctl.exitCode(), 0) << playerctl.readAllStandardError().toStdString();
    EXPECT_TRUE(WaitFor([&] { return m_pDlg->Player().IsRunning(); }));
    playerctl.start("playerctl", {"--player=voxreel", "metadata", "xesam:title"});
    ASSERT_TRUE(WaitFor([&] { return playerctl.state() == QProcess::NotRunning; }));
    EXPECT_EQ(playerctl.readAllStandardOutput().trimmed().toStdString(), "one");
}

// An entry without a title is named by its file; its length, unknown until
// it plays, is the player's from then on.
TEST_F(Mpris, MetadataNamesAnUntitledFileAndLearnsItsLength)
{
    QVariantMap metadata = Metadata();
    EXPECT_EQ(metadata.value("xesam:title").toString(), "one");
    EXPECT_EQ(metadata.value("mpris:length").toLongLong(), 0);
    Call("Play");
    ASSERT_TRUE(WaitFor([&] { return m_pDlg->Player().IsRunning(); }));
    metadata = Metadata();
    EXPECT_EQ(metadata.value("xesam:title").toString(), "one");
    EXPECT_EQ(metadata.value("mpris:length").toLongLong(), 8000000);
    EXPECT_EQ(m_pDlg->Playlist().GetItems()[0].title, "");
}

#include "mpris_test.moc"
