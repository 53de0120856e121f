// The media player interface against the real window (offscreen), driven by
// playerctl on the test's own bus and watched through its signals.
#include <QDBusPendingReply>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QProcess>

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
    QVariant Property(const char* pszName, const char* pszInterface = kPlayer)
    {
        QDBusPendingReply<QVariant> reply =
            QDBusInterface(CMprisService::kServiceName, CMprisService::kObjectPath,
                           "org.freedesktop.DBus.Properties")
                .asyncCall("Get", pszInterface, pszName);
        WaitFor([&] { return reply.isFinished(); });
        return reply.value();
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
    CMprisService service(dlg, [] {});
    ASSERT_TRUE(service.Register());
    CChangeLog log;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(CMprisService::kServiceName, CMprisService::kObjectPath,
                "org.freedesktop.DBus.Properties", "PropertiesChanged", &log,
                SLOT(OnChanged(QString, QVariantMap, QStringList)));
    bus.connect(CMprisService::kServiceName, CMprisService::kObjectPath, kPlayer, "Seeked", &log,
                SLOT(OnSeeked(qlonglong)));
    EXPECT_EQ(Property("DesktopEntry", "org.mpris.MediaPlayer2").toString(), "voxreel");
    EXPECT_EQ(Playerctl({"status"}), "Stopped");
    // An entry without a title is named by its file; its length, unknown
    // until it plays, is the player's from then on.
    EXPECT_EQ(Playerctl({"metadata", "xesam:title"}), "one");
    EXPECT_EQ(Playerctl({"metadata", "mpris:length"}), "0");
    Playerctl({"play"});
    ASSERT_TRUE(WaitFor([&] { return dlg.Player().IsRunning(); }));
    EXPECT_EQ(Playerctl({"metadata", "mpris:length"}), "8000000");

    // The command, then the status and the title shown once the window followed.
    const char* const steps[][3] = {{"pause", "Paused", "one"},
                                    {"play-pause", "Playing", "one"},
                                    {"next", "Playing", "two"},
                                    {"stop", "Stopped", ""},
                                    {"previous", "Playing", "one"}};
    for (const auto& [pszCommand, pszStatus, pszTitle] : steps) {
        SCOPED_TRACE(pszCommand);
        Playerctl({pszCommand});
        // A file plays once it has opened, after the call returned.
        EXPECT_TRUE(WaitFor([&] {
            return Property("PlaybackStatus").toString() == pszStatus && Text(1006) == pszTitle;
        }));
        EXPECT_TRUE(WaitFor([&] { return log.Saw(QString("PlaybackStatus=") + pszStatus); }));
    }

    // Told where a seek went, once; and so is a seek in the window itself.
    Playerctl({"position", "3+"});
    EXPECT_TRUE(WaitFor([&] { return !log.m_seeks.empty(); }));
    dlg.SeekTo(5);
    EXPECT_TRUE(WaitFor([&] { return log.m_seeks.size() >= 2; }));
    ASSERT_EQ(log.m_seeks.size(), 2u);
    EXPECT_GE(log.m_seeks[0], 3000000); // 3 s on from where it was
    EXPECT_EQ(log.m_seeks[1], 5000000);
    Playerctl({"volume", "0"});
    EXPECT_TRUE(WaitFor([&] { return Slider(1021) == 255; }));
    EXPECT_TRUE(WaitFor([&] { return log.Saw("Volume=0"); }));

    MakeTone(m_folder / "three.wav", 2.0);
    Playerctl({"open", QString::fromStdString("file://" + (m_folder / "three.wav").string())});
    EXPECT_TRUE(WaitFor([&] { return Rows()->rowCount() == 3 && Text(1006) == "three"; }));
}

#include "mpris_test.moc"
