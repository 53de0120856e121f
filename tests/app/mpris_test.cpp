// The media player interface against the real window (offscreen), through a
// D-Bus client on the test's own bus and through playerctl.
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

const char* const kPlayer = "org.mpris.MediaPlayer2.Player";

// Collects the player interface's PropertiesChanged and Seeked signals.
class CChangeLog final : public QObject {
    Q_OBJECT
public slots:
    void OnChanged(const QString& strInterface, const QVariantMap& changed, const QStringList&)
    {
        if (strInterface == kPlayer)
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
    QDBusInterface Interface(const char* pszInterface)
    {
        return {CMprisService::kServiceName, CMprisService::kObjectPath, pszInterface};
    }
    // Calls a method of the player interface and waits for its answer.
    void Call(const char* pszMethod, const QVariant& arg = {})
    {
        QDBusInterface player = Interface(kPlayer);
        QDBusPendingCall call =
            arg.isValid() ? player.asyncCall(pszMethod, arg) : player.asyncCall(pszMethod);
        ASSERT_TRUE(WaitFor([&] { return call.isFinished(); })) << pszMethod;
        EXPECT_FALSE(call.isError()) << pszMethod << " " << call.error().message().toStdString();
    }
    QVariant Property(const char* pszName, const char* pszInterface = kPlayer)
    {
        QDBusPendingReply<QVariant> reply =
            Interface("org.freedesktop.DBus.Properties").asyncCall("Get", pszInterface, pszName);
        WaitFor([&] { return reply.isFinished(); });
        return reply.value();
    }
    QVariantMap Metadata()
    {
        return qdbus_cast<QVariantMap>(Property("Metadata").value<QDBusArgument>());
    }
    std::string Playerctl(const QStringList& arguments)
    {
        QProcess playerctl;
        playerctl.start("playerctl", QStringList{"--player=voxreel"} + arguments);
        EXPECT_TRUE(WaitFor([&] { return playerctl.state() == QProcess::NotRunning; }));
        EXPECT_EQ(playerctl.exitCode(), 0) << playerctl.readAllStandardError().toStdString();
        return playerctl.readAllStandardOutput().trimmed().toStdString();
    }
};

} // namespace

TEST_F(Mpris, DrivesTheWindowAndTellsEveryChange)
{
    // A playlist of bare paths: the titles shown are the files' names.
    std::ofstream(m_folder / "default.m3u") << MakeTone(m_folder / "one.wav", 8.0).string() << "\n"
                                            << MakeTone(m_folder / "two.wav", 8.0).string() << "\n";
    CVoxreelDlg& dlg = Open();
    ASSERT_EQ(Rows()->rowCount(), 2);
    int nQuits = 0;
    CMprisService service(dlg, [&] { ++nQuits; });
    ASSERT_TRUE(service.Register());
    CChangeLog log;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(CMprisService::kServiceName, CMprisService::kObjectPath,
                "org.freedesktop.DBus.Properties", "PropertiesChanged", &log,
                SLOT(OnChanged(QString, QVariantMap, QStringList)));
    bus.connect(CMprisService::kServiceName, CMprisService::kObjectPath, kPlayer, "Seeked", &log,
                SLOT(OnSeeked(qlonglong)));
    EXPECT_EQ(Property("DesktopEntry", "org.mpris.MediaPlayer2").toString(), "voxreel");
    EXPECT_EQ(Property("PlaybackStatus").toString(), "Stopped");
    // An entry without a title is named by its file; its length, unknown
    // until it plays, is the player's from then on.
    EXPECT_EQ(Metadata().value("xesam:title").toString(), "one");
    EXPECT_EQ(Metadata().value("mpris:length").toLongLong(), 0);
    Playerctl({"play"});
    ASSERT_TRUE(WaitFor([&] { return dlg.Player().IsRunning(); }));
    EXPECT_EQ(Metadata().value("mpris:length").toLongLong(), 8000000);
    EXPECT_EQ(Playerctl({"metadata", "xesam:title"}), "one");

    // The method, then the status and the title shown once the window followed.
    const char* const steps[][3] = {{"Pause", "Paused", "one"},
                                    {"PlayPause", "Playing", "one"},
                                    {"Next", "Playing", "two"},
                                    {"Stop", "Stopped", ""},
                                    {"Previous", "Playing", "one"}};
    for (const auto& [pszMethod, pszStatus, pszTitle] : steps) {
        SCOPED_TRACE(pszMethod);
        Call(pszMethod);
        // A file plays once it has opened, after the call returned.
        EXPECT_TRUE(WaitFor([&] {
            return Property("PlaybackStatus").toString() == pszStatus && Text(1006) == pszTitle;
        }));
        EXPECT_TRUE(WaitFor([&] { return log.Saw(QString("PlaybackStatus=") + pszStatus); }));
    }

    Call("Seek", QVariant::fromValue(qlonglong{3000000}));
    // From the start it could not be 3 s in so soon.
    EXPECT_TRUE(WaitFor([&] { return dlg.Player().GetPosition() >= 3; }, 1500ms));
    // Told where it went, once; and so is a seek in the window itself.
    EXPECT_TRUE(WaitFor([&] { return !log.m_seeks.empty(); }));
    dlg.SeekTo(5);
    EXPECT_TRUE(WaitFor([&] { return log.m_seeks.size() >= 2; }));
    ASSERT_EQ(log.m_seeks.size(), 2u);
    EXPECT_GE(log.m_seeks[0], 3000000); // 3 s on from where it was
    EXPECT_EQ(log.m_seeks[1], 5000000);
    Interface("org.freedesktop.DBus.Properties")
        .asyncCall("Set", kPlayer, "Volume", QVariant::fromValue(QDBusVariant(0.0)));
    EXPECT_TRUE(WaitFor([&] { return Slider(1021) == 255; }));
    EXPECT_TRUE(WaitFor([&] { return log.Saw("Volume=0"); }));

    MakeTone(m_folder / "three.wav", 2.0);
    Call("OpenUri", QString::fromStdString("file://" + (m_folder / "three.wav").string()));
    EXPECT_TRUE(WaitFor([&] { return Rows()->rowCount() == 3 && Text(1006) == "three"; }));
    Interface("org.mpris.MediaPlayer2").asyncCall("Quit");
    EXPECT_TRUE(WaitFor([&] { return nQuits == 1; }));
}

#include "mpris_test.moc"
