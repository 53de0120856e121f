// The real main window: start-up, commands, sliders and keys, status and
// events, closing.
#include <QAction>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

#include "window_testkit.h"

using namespace apptest;

namespace {

int RendererInt(CVoxreelDlg& dlg, const char* pszProperty)
{
    int nValue = 0;
    g_object_get(dlg.Player().Renderer(), pszProperty, &nValue, nullptr);
    return nValue;
}

} // namespace

TEST_F(WindowTest, StartsFromTheSettingsAndTheDefaultPlaylist)
{
    const struct {
        int nLocal, nRemote, nBalance; // stored; -1000: none stored
        int nLocalShown, nRemoteShown, nBalanceShown;
    } cases[] = {
        {-1000, -1000, -1000, 176, 176, 0}, {3, 300, 500, 3, 255, 128}, {-5, 0, -200, 0, 0, -127}};
    std::ofstream(m_folder / "default.m3u") << "#EXTM3U\n#EXTINF:185,Artist : Song\n/x/a.mp3\n"
                                               "#EXTINF:6000,Long\n/x/b.wav\n";
    for (const auto& c : cases) {
        m_settings = CMemorySettings();
        m_settings.WriteProfileString("DefaultPlaylist", (m_folder / "default.m3u").string());
        if (c.nLocal != -1000) {
            m_settings.WriteProfileInt("LocalVolume", c.nLocal);
            m_settings.WriteProfileInt("RemoteVolume", c.nRemote);
            m_settings.WriteProfileInt("Balance", c.nBalance);
        }
        Open();
        EXPECT_EQ(Slider(1021), c.nLocalShown);
        EXPECT_EQ(Slider(1023), c.nRemoteShown);
        EXPECT_EQ(Slider(1024), c.nBalanceShown);
        m_pDlg.reset(); // saves the default playlist: the next round reads it again
    }
    CVoxreelDlg& dlg = Open();
    ASSERT_EQ(Rows()->rowCount(), 2);
    EXPECT_EQ(RowText(0) + " " + RowText(0, 1), "Artist : Song 03:05");
    EXPECT_EQ(RowText(1, 1), "100:00");
    EXPECT_EQ(Text(1007), "00:00/00:00");
    EXPECT_EQ(dlg.StatusIconId(), 140);
    EXPECT_TRUE(dlg.IsTicking());
    EXPECT_TRUE(WaitFor([&] { return Text(1019) == "Recording on a microphone started"; }));
}

TEST_F(WindowTest, TabOrderAndAlwaysOnTop)
{
    CVoxreelDlg& dlg = Open();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    std::vector<int> order;
    for (int i = 0; i < 9; ++i) {
        order.push_back(QApplication::focusWidget()->property("controlId").toInt());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // 0: talk-over's check button after the balance, a control with no id.
    EXPECT_EQ(order, (std::vector<int>{1002, 1000, 1006, 1015, 1019, 1021, 1023, 1024, 0}));

    for (int i = 0; i < 2; ++i) {
        QTest::keyClick(&dlg, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(dlg.WindowMenu()->actions()[0]->isChecked(), i == 0);
        EXPECT_EQ(dlg.windowFlags().testFlag(Qt::WindowStaysOnTopHint), i == 0);
    }
}

TEST_F(WindowTest, KeysAndSlidersReachThePlayer)
{
    m_settings.WriteProfileInt("LocalVolume", 1);
    m_settings.WriteProfileInt("RemoteVolume", 254);
    CVoxreelDlg& dlg = Open();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    const auto alt = Qt::ControlModifier | Qt::AltModifier;
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int nLocal, nRemote;
    } keys[] = {
        {Qt::Key_Up, alt, 0, 254},
        {Qt::Key_Up, alt, 0, 254}, // already at the top
        {Qt::Key_VolumeDown, Qt::NoModifier, 1, 254},
        {Qt::Key_VolumeUp, Qt::NoModifier, 0, 254},
        {Qt::Key_Down, alt | Qt::ShiftModifier, 0, 255},
        {Qt::Key_Down, alt | Qt::ShiftModifier, 0, 255}, // already at the bottom
        {Qt::Key_VolumeUp, Qt::ShiftModifier, 0, 254},
        {Qt::Key_Up, alt | Qt::ShiftModifier, 0, 253},
        {Qt::Key_VolumeDown, Qt::ShiftModifier, 0, 254},
    };
    for (const auto& k : keys) {
        QTest::keyClick(&dlg, k.key, k.modifiers);
        EXPECT_EQ(Slider(1021), k.nLocal) << k.key;
        EXPECT_EQ(Slider(1023), k.nRemote) << k.key;
        // The stored level is not sent at start; each remote key sends its level.
        if (k.modifiers.testFlag(Qt::ShiftModifier))
            EXPECT_EQ(RendererInt(dlg, "volume"), 255 - k.nRemote);
        else
            EXPECT_EQ(RendererInt(dlg, "volume"), 255);
    }

    auto* pBalance = Control<QSlider>(1024);
    const struct {
        QAbstractSlider::SliderAction action;
        int nExpected;
    } steps[] = {
        {QAbstractSlider::SliderSingleStepAdd, 1}, {QAbstractSlider::SliderPageStepAdd, 11},
        {QAbstractSlider::SliderPageStepSub, 1},   {QAbstractSlider::SliderSingleStepSub, 0},
        {QAbstractSlider::SliderToMinimum, -127},  {QAbstractSlider::SliderToMaximum, 128}};
    for (const auto& step : steps) {
        pBalance->triggerAction(step.action);
        EXPECT_EQ(pBalance->value(), step.nExpected);
        EXPECT_EQ(RendererInt(dlg, "balance"), step.nExpected);
    }
    QTest::keyClick(pBalance, Qt::Key_Left); // the slider's own key moves one step too
    EXPECT_EQ(RendererInt(dlg, "balance"), 127);
    pBalance->setSliderDown(true);
    pBalance->setSliderPosition(-40); // a drag sends every position it passes
    EXPECT_EQ(RendererInt(dlg, "balance"), -40);
    pBalance->setSliderDown(false);
}

// The texts are the rules' (tested there); the window adds the icon and the flag.
TEST_F(WindowTest, RendererNotificationsSetIconAndFlag)
{
    CVoxreelDlg& dlg = Open();
    EXPECT_NE(Control<QLabel>(1018)->toolTip().toStdString().find("playback is local only"),
              std::string::npos);
    const struct {
        int nCode;
        int nIcon;
        const char* pszText;
    } steps[] = {{1, 141, "Skype has connected!"},
                 {4, 141, "A network error occurred: 80070005"},
                 {2, 140, "Skype has disconnected!"},
                 {9, 140, "Skype has disconnected!"}, // unknown codes change nothing
                 {-1, 140, "Skype has disconnected!"}};
    for (const auto& step : steps) {
        Notify(step.nCode, 0x80070005);
        EXPECT_EQ(dlg.StatusIconId(), step.nIcon) << step.nCode;
        EXPECT_EQ(Text(1019), step.pszText) << step.nCode;
    }
    EXPECT_FALSE(dlg.IsTransmitting());
}

TEST_F(WindowTest, StatusClearsSevenSecondsAfterItWasWrittenAcrossTheWrap)
{
    CVoxreelDlg& dlg = Open();
    for (const std::uint32_t dwWritten : {1000u, 0xFFFFF000u}) {
        m_channel.SetTickCount(dwWritten);
        Notify(NOTIFY_CLIENT_CONNECTED);
        m_channel.SetTickCount(dwWritten + 7000);
        dlg.OnTimer();
        EXPECT_EQ(Text(1019), "Skype has connected!");
        m_channel.SetTickCount(dwWritten + 7001);
        dlg.OnTimer();
        EXPECT_EQ(Text(1019), "");
    }
}

TEST_F(WindowTest, CaptureThatCannotStartLeavesItsTextAndNoTick)
{
    setenv("VOXREEL_CAPTURE_SOURCE", "nosuchcapturesource", 1);
    CVoxreelDlg& dlg = Open();
    setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 1);
    EXPECT_FALSE(dlg.IsTicking());
    EXPECT_TRUE(WaitFor([&] { return Text(1019).rfind("Cannot record audio: ", 0) == 0; }))
        << Text(1019);
}

TEST_F(WindowTest, PlaysThroughTheListWithKeysAndEvents)
{
    std::vector<fs::path> files;
    for (const char* name : {"one.wav", "two.wav"})
        files.push_back(MakeTone(m_folder / name, 0.6));
    CVoxreelDlg& dlg = Open();
    dlg.AddPaths(files);
    ASSERT_TRUE(WaitFor([&] { return Rows()->rowCount() == 2; }));
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    QTest::keyClick(&dlg, Qt::Key_X);
    EXPECT_TRUE(WaitFor([&] { return Text(1006) == "one"; }));
    EXPECT_FALSE(Rows()->index(0, 0).data(Qt::DecorationRole).isNull());
    // The real end of the file arrives as a graph event and plays the next.
    ASSERT_TRUE(WaitFor([&] { return Text(1006) == "two"; }));
    EXPECT_EQ(Text(1019), "Playback completed.");
    EXPECT_TRUE(Rows()->index(0, 0).data(Qt::DecorationRole).isNull());

    // Removing the playing row leaves the file playing and its title shown.
    Control<QTreeView>(1000)->selectionModel()->select(
        Rows()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    dlg.OnRemoveFiles();
    EXPECT_EQ(Rows()->rowCount(), 1);
    EXPECT_EQ(Text(1006), "two");
    QTest::keyClick(&dlg, Qt::Key_V);
    EXPECT_EQ(Text(1006), "");
    EXPECT_FALSE(dlg.Player().IsRunning());
}
