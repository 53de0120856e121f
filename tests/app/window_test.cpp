// The real main window: start-up from the settings, the status line, icon and
// meters, the sliders and their words, and every command from the keyboard.
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <tuple>

#include "meters/meter_panel.h"
#include "window_testkit.h"

using namespace apptest;

namespace {

int RendererInt(CVoxreelDlg& dlg, const char* pszProperty)
{
    int nValue = 0;
    g_object_get(dlg.Player().Renderer(), pszProperty, &nValue, nullptr);
    return nValue;
}

void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

} // namespace

// Each start reads the stored levels, clamped; a capture that cannot start
// leaves its text and no tick; the window shows the default playlist, the
// renderer's start and notices, and the microphone's level.
TEST_F(WindowTest, StartsFromTheSettingsAndShowsItsState)
{
    // Stored local, remote and balance levels (-1000: none stored), then those shown.
    const std::array<int, 6> cases[] = {
        {-1000, -1000, -1000, 176, 176, 0}, {3, 300, 500, 3, 255, 128}, {-5, 0, -200, 0, 0, -127}};
    std::ofstream(m_folder / "default.m3u") << "#EXTM3U\n#EXTINF:185,Artist : Song\n/x/a.mp3\n"
                                               "#EXTINF:6000,Long\n/x/b.wav\n";
    for (const auto& [nLocal, nRemote, nBalance, nLocalShown, nRemoteShown, nBalanceShown] :
         cases) {
        if (nLocal != -1000) {
            m_settings.WriteProfileInt("LocalVolume", nLocal);
            m_settings.WriteProfileInt("RemoteVolume", nRemote);
            m_settings.WriteProfileInt("Balance", nBalance);
        }
        Open();
        EXPECT_EQ(Slider(1021), nLocalShown);
        EXPECT_EQ(Slider(1023), nRemoteShown);
        EXPECT_EQ(Slider(1024), nBalanceShown);
        m_pDlg.reset(); // saves the default playlist: the next round reads it again
    }
    setenv("VOXREEL_CAPTURE_SOURCE", "nosuchcapturesource", 1);
    EXPECT_FALSE(Open().IsTicking()) << "a capture that cannot start leaves no tick";
    EXPECT_TRUE(WaitFor([&] { return Text(1019).rfind("Cannot record audio: ", 0) == 0; }))
        << Text(1019);
    m_pDlg.reset();
    setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true freq=1000 volume=0.5", 1);
    CVoxreelDlg& dlg = Open();
    setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 1);
    ASSERT_EQ(Rows()->rowCount(), 2);
    EXPECT_EQ(RowText(0) + " " + RowText(0, 1), "Artist : Song 03:05");
    EXPECT_EQ(Text(1007), "00:00/00:00");
    EXPECT_TRUE(WaitFor([&] { return Text(1019) == "Recording on a microphone started"; }));

    // A half-scale tone and no file: the microphone's meter and the call's
    // (which hears the microphone alone, as it is) show -6 dB peak, -9 dB RMS.
    const auto* pMeters = dlg.findChild<CMeterPanel*>();
    for (CLevelMeterWidget* pMeter : {pMeters->Microphone(), pMeters->Call()}) {
        EXPECT_TRUE(WaitFor(
            [&] { return std::abs(pMeter->PeakDb() + 6) < 1 && std::abs(pMeter->RmsDb() + 9) < 1; },
            20s))
            << pMeter->accessibleName().toStdString() << ": " << pMeter->PeakDb() << ", "
            << pMeter->RmsDb();
    }

    // The texts are the rules' (tested there); the window adds the icon, its name and the flag.
    auto* pIcon = Control<QLabel>(1018);
    EXPECT_NE(pIcon->toolTip().toStdString().find("playback is local only"), std::string::npos);
    const std::tuple<int, int, const char*> steps[] = {
        {1, 141, "Skype has connected!"},
        {0, 141, "An error occurred: 80070005"},
        {2, 140, "Skype has disconnected!"},
        {9, 140, "Skype has disconnected!"}}; // unknown codes change nothing
    for (const auto& [nCode, nIcon, pszText] : steps) {
        Notify(nCode, 0x80070005);
        EXPECT_EQ(dlg.StatusIconId(), nIcon) << nCode;
        EXPECT_EQ(pIcon->accessibleName().toStdString(),
                  nIcon == 141 ? "Call client connected" : "Call client not connected");
        EXPECT_EQ(Text(1019), pszText) << nCode;
    }

    // Written just before the tick counter wraps, a status text stays its 7 s:
    // on both sides of the wrap, to the millisecond.
    m_channel.SetTickCount(0xFFFFF000u);
    Notify(NOTIFY_CLIENT_CONNECTED);
    for (const auto& [dwAfter, pszShown] :
         {std::pair{100u, "Skype has connected!"}, {7000u, "Skype has connected!"}, {7001u, ""}}) {
        m_channel.SetTickCount(0xFFFFF000u + dwAfter);
        dlg.OnTimer();
        EXPECT_EQ(Text(1019), pszShown) << dwAfter;
    }

    // What a screen reader says of each slider follows its value (atspi_reader.py
    // reads the words at the start and of the local volume at 0).
    const auto words = [&](int nId, int nValue) {
        Control<QSlider>(nId)->setValue(nValue);
        return Control<QSlider>(nId)->accessibleDescription().toStdString();
    };
    EXPECT_EQ(words(1021, 176), "31 %, -5.7 dB");
    EXPECT_EQ(words(1023, 0), "100 %");
    EXPECT_EQ(words(1024, -127), "100 % towards the voice");
    EXPECT_EQ(words(1024, 64), "50 % towards the playback");
    Control<QSlider>(1015)->setRange(0, 200);
    EXPECT_EQ(words(1015, 65), "01:05 of 03:20");
}

// Every command from the keyboard alone, and the ways of closing.
TEST_F(WindowTest, EveryCommandWorksFromTheKeyboard)
{
    m_settings.WriteProfileInt("LocalVolume", 1);
    m_settings.WriteProfileInt("RemoteVolume", 254);
    const std::vector<fs::path> files = {MakeTone(m_folder / "one.wav", 20.0),
                                         MakeTone(m_folder / "two.wav", 20.0, 660),
                                         MakeTone(m_folder / "three.wav", 20.0, 880)};
    CVoxreelDlg& dlg = Open();
    dlg.SetFileChooser([&](QWidget*) { return files; });
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));

    const Qt::KeyboardModifiers alt = Qt::ControlModifier | Qt::AltModifier,
                                shift = Qt::ShiftModifier;
    // One key of each kind: the arrows and the volume keys, for each level.
    const std::tuple<Qt::Key, Qt::KeyboardModifiers, int, int> keys[] = {
        {Qt::Key_Down, alt, 2, 254},
        {Qt::Key_VolumeDown, {}, 3, 254},
        {Qt::Key_Up, alt | shift, 3, 253},
        {Qt::Key_VolumeUp, shift, 3, 252}};
    for (const auto& [key, modifiers, nLocal, nRemote] : keys) {
        QTest::keyClick(&dlg, key, modifiers);
        EXPECT_EQ(Slider(1021), nLocal) << key;
        EXPECT_EQ(Slider(1023), nRemote) << key;
        // The stored level is not sent at start; each remote key sends its level.
        EXPECT_EQ(RendererInt(dlg, "volume"),
                  modifiers.testFlag(Qt::ShiftModifier) ? 255 - nRemote : 255)
            << key;
    }
    // The balance's keys and every position a drag passes reach the renderer.
    auto* pBalance = Control<QSlider>(1024);
    QTest::keyClick(pBalance, Qt::Key_PageUp);
    EXPECT_EQ(RendererInt(dlg, "balance"), 10);
    pBalance->setSliderDown(true);
    pBalance->setSliderPosition(-40);
    EXPECT_EQ(RendererInt(dlg, "balance"), -40);
    pBalance->setSliderDown(false);

    using State = CVoxreelDlg::PlaybackState;
    const auto at = [&](State state, int nRow) {
        return WaitFor([&] {
            return dlg.State() == state &&
                   dlg.Playlist().IndexOf(dlg.Playlist().GetCurrentId()) == nRow;
        });
    };
    Key(Qt::Key_Insert);
    ASSERT_TRUE(WaitFor([&] { return Rows()->rowCount() == 3; }));
    const std::tuple<Qt::Key, State, int> commands[] = {
        {Qt::Key_X, State::Playing, 0}, {Qt::Key_C, State::Paused, 0},
        {Qt::Key_C, State::Playing, 0}, {Qt::Key_B, State::Playing, 1},
        {Qt::Key_Z, State::Playing, 0}, {Qt::Key_V, State::Stopped, 0}};
    for (const auto& [key, state, nRow] : commands) {
        Key(key);
        EXPECT_TRUE(at(state, nRow)) << key;
    }

    // Tab from the calls to the playlist; Down and Enter play the third row.
    Key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), Control<QTreeView>(1000));
    for (int i = 0; i < 3; ++i)
        Key(Qt::Key_Down);
    Key(Qt::Key_Return);
    EXPECT_TRUE(at(State::Playing, 2));
    EXPECT_TRUE(WaitFor([&] { return Text(1006) == "three" && dlg.Player().IsRunning(); }));
    for (int nRow : {0, 1, 2})
        EXPECT_EQ(Rows()->index(nRow, 0).data(Qt::DecorationRole).isNull(), nRow != 2) << nRow;

    // Delete removes the selection; the playing file among it plays on.
    Control<QTreeView>(1000)->selectionModel()->select(
        QItemSelection(Rows()->index(1, 0), Rows()->index(2, 0)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    Key(Qt::Key_Delete);
    ASSERT_EQ(Rows()->rowCount(), 1);
    EXPECT_EQ(Text(1006), "three");
    EXPECT_TRUE(dlg.Player().IsRunning());

    Key(Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(WaitFor([&] { return dlg.WindowMenu()->isVisible(); }));
    QTest::keyClick(dlg.WindowMenu(), Qt::Key_Escape);
    EXPECT_TRUE(WaitFor([&] { return !dlg.WindowMenu()->isVisible(); }));

    FindControl(&dlg, 1002)->setFocus();
    std::vector<int> order;
    for (int i = 0; i < 9; ++i) {
        order.push_back(QApplication::focusWidget()->property("controlId").toInt());
        Key(Qt::Key_Tab);
    }
    // 0: talk-over's check button after the balance, a control with no id.
    EXPECT_EQ(order, (std::vector<int>{1002, 1000, 1006, 1015, 1019, 1021, 1023, 1024, 0}));
    for (int i = 0; i < 2; ++i) {
        dlg.activateWindow(); // setting the flags made the window anew
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        QTest::keyClick(&dlg, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(dlg.WindowMenu()->actions()[0]->isChecked(), i == 0);
        EXPECT_EQ(dlg.windowFlags().testFlag(Qt::WindowStaysOnTopHint), i == 0);
    }

    // Escape must not close the window: it is the whole program, and closing
    // ends the call's feed. Ctrl+Q (the Quit command) runs the closing steps.
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QCoreApplication::processEvents();
    ASSERT_TRUE(dlg.isVisible());
    EXPECT_EQ(m_settings.GetProfileInt("Balance", -1), -1) << "saved without closing";
    QTest::keyClick(&dlg, Qt::Key_Q, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_FALSE(dlg.isVisible());
    for (const auto& [pszKey, nValue] :
         {std::pair{"LocalVolume", 3}, {"RemoteVolume", 252}, {"Balance", -40}})
        EXPECT_EQ(m_settings.GetProfileInt(pszKey, -1), nValue) << pszKey;
    m_pDlg.reset();
    QCoreApplication::processEvents(); // what the renderer posted while going is dropped
}
