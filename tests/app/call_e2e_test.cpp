// The whole chain: the real window (offscreen) on a session bus of its own,
// the real callsim as the call client, the real player and renderer. What the
// call receives is read back from callsim's recording.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>

#include "callsim_process.h"
#include "dbus_skype_channel.h"
#include "signal_kit.h"
#include "window_testkit.h"

using namespace apptest;

namespace {

constexpr int kMicFreq = 300, kFileFreq = 1000;

class CallChain : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        setenv("VOXREEL_CAPTURE_SOURCE",
               ("audiotestsrc is-live=true volume=0.25 freq=" + std::to_string(kMicFreq)).c_str(),
               1);
        m_settings.WriteProfileInt("RemoteVolume", 0); // the loudest: level 255
        m_settings.WriteProfileInt("Balance", 0);
    }
    void TearDown() override
    {
        setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 1);
        WindowTest::TearDown();
    }
    CVoxreelDlg& OpenOnBus(int nDeliveryTimeoutMs = CDBusSkypeChannel::kDefaultDeliveryTimeoutMs)
    {
        m_pBus =
            std::make_unique<CDBusSkypeChannel>(QDBusConnection::sessionBus(), nDeliveryTimeoutMs);
        m_pDlg = std::make_unique<CVoxreelDlg>(CVoxreelDlg::Services{
            m_settings, *m_pBus, m_pBus->GetOwnWindow(), kQuietSink, m_nPort});
        m_pDlg->show();
        WatchStatus();
        return *m_pDlg;
    }
    QStringList CallsimArguments() const
    {
        return {"--call", "12:Nora Vale", "--record",
                QString::fromStdString((m_folder / "call.wav").string())};
    }
    std::string SwitchCommand() const
    {
        return "ALTER CALL 12 SET_INPUT PORT=\"" + std::to_string(m_nPort) + "\"";
    }

    std::unique_ptr<CDBusSkypeChannel> m_pBus; // outlives the window, which TearDown ends
};

} // namespace

TEST_F(CallChain, FindsTheCallFeedsItTheMixAndSwitchesBackAtClose)
{
    const fs::path tone = MakeTone(m_folder / "tone.wav", 6.0, kFileFreq);
    CVoxreelDlg& dlg = OpenOnBus();
    dlg.AddPaths({tone});
    auto callsim = std::make_unique<CCallsim>(CallsimArguments() << "--refuse-input");

    // A refused switch shows the reply and is asked again after a duration.
    ASSERT_TRUE(callsim->WaitFor("recv"));
    ASSERT_TRUE(WaitFor([&] { return ShowedPrefix("Cannot establish connection"); }, 20s))
        << Text(1019);
    const int nSearch = callsim->Find("SEARCH ACTIVECALLS");
    const int nName = callsim->Find("GET CALL 12 PARTNER_DISPNAME");
    const int nSwitch = callsim->Find(SwitchCommand());
    EXPECT_TRUE(nSearch >= 0 && nSearch < nName && nName < nSwitch);
    EXPECT_EQ(Control<QComboBox>(1002)->currentText().toStdString(), "Nora Vale");
    callsim->Control("refuse off");
    ASSERT_TRUE(callsim->WaitFor("input connected 12"));
    ASSERT_TRUE(WaitFor([&] { return dlg.IsTransmitting() && dlg.StatusIconId() == 141; }));

    // The microphone alone, then the file mixed in, then the microphone alone again.
    const fs::path wav = m_folder / "call.wav";
    ASSERT_TRUE(WaitFor([&] { return Recorded(wav, 44).size() > kRate; }));
    const std::size_t nBeforePlay = Recorded(wav, 44).size();
    ASSERT_TRUE(WaitFor([&] { return Rows()->rowCount() == 1; }));
    TriggerCommand(103); // play
    ASSERT_TRUE(WaitFor([&] { return Recorded(wav, 44).size() > nBeforePlay + 2 * kRate; }));
    const std::size_t nPlaying = Recorded(wav, 44).size();
    TriggerCommand(105); // stop
    ASSERT_TRUE(WaitFor([&] { return Recorded(wav, 44).size() > nPlaying + 2 * kRate; }));
    const std::vector<std::int16_t> samples = Recorded(wav, 44);
    const std::size_t nStopped = samples.size();

    const double dMicAlone = ToneAmplitude(samples, nBeforePlay - kRate, nBeforePlay, kMicFreq);
    const double dMicMixed = ToneAmplitude(samples, nPlaying - kRate, nPlaying, kMicFreq);
    const double dFileMixed = ToneAmplitude(samples, nPlaying - kRate, nPlaying, kFileFreq);
    const double dFileAfter = ToneAmplitude(samples, nStopped - kRate, nStopped, kFileFreq);
    // With nothing playing the microphone goes out as it is; mixed at balance
    // 0 and level 255 each source keeps about half its level. The test tones
    // peak at 0.25 and 0.8 of full scale.
    EXPECT_NEAR(dMicAlone, 8192, 300);
    EXPECT_NEAR(dMicMixed, 8192 * 128.0 / 256 * 255 / 256, 300);
    EXPECT_NEAR(dFileMixed, 26214 * 127.0 / 256 * 255 / 256, 800);
    EXPECT_LT(dFileAfter, 50);

    // The client gone and back: found again without restarting the window.
    callsim->Kill();
    ASSERT_TRUE(WaitFor([&] { return Showed("Skype refused connection."); }, 20s)) << Text(1019);
    EXPECT_FALSE(dlg.IsTransmitting());
    callsim = std::make_unique<CCallsim>(CallsimArguments());
    ASSERT_TRUE(callsim->WaitFor("input connected 12"));
    ASSERT_TRUE(WaitFor([&] { return dlg.IsTransmitting(); }));

    dlg.close();
    EXPECT_TRUE(callsim->WaitFor("ALTER CALL 12 SET_INPUT SOUNDCARD=\"default\""));
}

TEST_F(CallChain, TheCallsEndStopsPlaybackAndClearsTheFlags)
{
    const fs::path tone = MakeTone(m_folder / "tone.wav", 20.0, kFileFreq);
    CVoxreelDlg& dlg = OpenOnBus();
    dlg.AddPaths({tone});
    CCallsim callsim(CallsimArguments());
    ASSERT_TRUE(callsim.WaitFor("input connected 12"));
    ASSERT_TRUE(WaitFor([&] { return dlg.IsTransmitting() && Rows()->rowCount() == 1; }));
    TriggerCommand(103); // play
    ASSERT_TRUE(dlg.Player().IsRunning());
    callsim.Control("end 12");
    ASSERT_TRUE(WaitFor([&] { return Showed("Call finished."); }, 20s)) << Text(1019);
    EXPECT_FALSE(dlg.Player().IsRunning());
    EXPECT_FALSE(dlg.IsTransmitting());
    EXPECT_EQ(dlg.StatusIconId(), 140);
    EXPECT_TRUE(Rows()->index(0, 0).data(Qt::DecorationRole).isNull());
    const int nLines = callsim.Count();
    dlg.close(); // nothing to switch back
    QCoreApplication::processEvents();
    EXPECT_EQ(callsim.Find("SOUNDCARD", nLines), -1);
}

// The client answers nothing for longer than a line's delivery time-out: the
// window's event loop serves every timer all along, the status line says the
// link is gone, and the window finds the client again once it answers.
TEST_F(CallChain, StaysResponsiveWhileTheClientAnswersNothing)
{
    CVoxreelDlg& dlg = OpenOnBus(3000); // a window that waited would miss 3 s of ticks
    CCallsim callsim(CallsimArguments());
    ASSERT_TRUE(callsim.WaitFor("input connected 12"));
    ASSERT_TRUE(WaitFor([&] { return dlg.IsTransmitting(); }));

    const int nBeforeHang = callsim.Count();
    callsim.Control("hang");
    ASSERT_TRUE(callsim.WaitFor("control hang", nBeforeHang));
    QElapsedTimer clock;
    std::vector<qint64> ticks{0};
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { ticks.push_back(clock.elapsed()); });
    clock.start();
    probe.start(100);
    const bool bGone = WaitFor(
        [&] { return clock.elapsed() >= 5000 && Showed("Skype refused connection."); }, 20s);
    probe.stop();
    const int nAnswering = callsim.Count();
    callsim.Control("answer");
    ASSERT_TRUE(bGone) << Text(1019);
    EXPECT_GE(callsim.Find("unanswered", nBeforeHang), 0); // the window did ask meanwhile

    qint64 nLongestGap = 0;
    for (std::size_t i = 1; i < ticks.size(); ++i)
        nLongestGap = std::max(nLongestGap, ticks[i] - ticks[i - 1]);
    EXPECT_LT(nLongestGap, 1000) << ticks.size() << " ticks";
    EXPECT_FALSE(dlg.IsTransmitting());
    EXPECT_EQ(dlg.StatusIconId(), 140);

    ASSERT_TRUE(callsim.WaitFor("input connected 12", nAnswering));
    EXPECT_TRUE(WaitFor([&] { return dlg.IsTransmitting(); }));
}
