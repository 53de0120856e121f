// The whole chain: the real window (offscreen) on a session bus of its own,
// the real callsim as the call client, the real player and renderer. What the
// call hears is measured by the far-end tests.
#include <QComboBox>

#include <gtest/gtest.h>

#include "callsim_process.h"
#include "dbus_skype_channel.h"
#include "window_testkit.h"

using namespace apptest;

namespace {

class CallChain : public WindowTest {
protected:
    std::unique_ptr<CDBusSkypeChannel> m_pBus; // outlives the window, which TearDown ends
};

} // namespace

TEST_F(CallChain, FollowsTheCallThroughAStallAndItsEnd)
{
    // A window that waited on a line would miss the 3 s of ticks of the stall below.
    m_pBus = std::make_unique<CDBusSkypeChannel>(QDBusConnection::sessionBus(), 3000);
    m_pDlg = std::make_unique<CVoxreelDlg>(
        CVoxreelDlg::Services{m_settings, *m_pBus, m_pBus->GetOwnWindow(), kQuietSink, m_nPort});
    m_pDlg->show();
    WatchStatus();
    CVoxreelDlg& dlg = *m_pDlg;
    dlg.AddPaths({MakeTone(m_folder / "tone.wav", 20.0)});
    CCallsim callsim({"--call", "12:Nora Vale"});

    // Found, named and switched to the window's port (the order of the three
    // commands is the calls test's: names are asked for what a search listed,
    // and only a named call is selected and switched).
    ASSERT_TRUE(callsim.WaitFor("input connected 12"));
    EXPECT_GE(callsim.Find("ALTER CALL 12 SET_INPUT PORT=\"" + std::to_string(m_nPort) + "\""), 0);
    EXPECT_EQ(Control<QComboBox>(1002)->currentText().toStdString(), "Nora Vale");
    ASSERT_TRUE(WaitFor([&] { return dlg.IsTransmitting() && dlg.StatusIconId() == 141; }));

    // The client answers nothing for longer than a line's delivery time-out:
    // the window's timers all run on, it shows the link gone, and finds the
    // client again once it answers.
    m_statusTexts.clear();
    const int nBeforeHang = callsim.Count();
    callsim.Control("hang");
    ASSERT_TRUE(callsim.WaitFor("control hang", nBeforeHang));
    CStallProbe probe;
    const bool bGone = WaitFor(
        [&] { return probe.ElapsedMs() >= 5000 && Showed("Skype refused connection."); }, 20s);
    const qint64 nLongestGap = probe.Stop();
    const int nAnswering = callsim.Count();
    callsim.Control("answer");
    ASSERT_TRUE(bGone) << Text(1019);
    EXPECT_GE(callsim.Find("unanswered", nBeforeHang), 0); // the window did ask meanwhile
    EXPECT_LT(nLongestGap, 1000) << "the window stood still with the call client";
    EXPECT_FALSE(dlg.IsTransmitting());
    EXPECT_EQ(dlg.StatusIconId(), 140);
    ASSERT_TRUE(callsim.WaitFor("input connected 12", nAnswering));
    ASSERT_TRUE(WaitFor([&] { return dlg.IsTransmitting(); }));

    // The call's end stops playback and clears the flags: nothing is left to
    // switch back at closing.
    ASSERT_EQ(Rows()->rowCount(), 1);
    TriggerCommand(103); // play
    ASSERT_TRUE(WaitFor([&] { return dlg.Player().IsRunning(); }));
    callsim.Control("end 12");
    ASSERT_TRUE(WaitFor([&] { return Showed("Call finished."); }, 20s)) << Text(1019);
    EXPECT_FALSE(dlg.Player().IsRunning());
    EXPECT_FALSE(dlg.IsTransmitting());
    EXPECT_EQ(dlg.StatusIconId(), 140);
    EXPECT_TRUE(Rows()->index(0, 0).data(Qt::DecorationRole).isNull());
    const int nLines = callsim.Count();
    dlg.close();
    QCoreApplication::processEvents();
    EXPECT_EQ(callsim.Find("SOUNDCARD", nLines), -1);
}
