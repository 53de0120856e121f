// The real window as assistive technology and a keyboard alone meet it:
// every control named through Qt's accessibility interface, the sliders'
// values in words, and every command reached from the keyboard. What reaches
// the accessibility bus itself, the status line's changes among it, is read
// by atspi_reader.py.
#include <QAccessible>
#include <QMenu>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include "accessible_controls.h"
#include "meters/level_meter_widget.h"
#include "rules/window_ids.h"
#include "window_testkit.h"

using namespace apptest;

namespace {

QAccessibleInterface* Accessible(QObject* pObject)
{
    return QAccessible::queryAccessibleInterface(pObject);
}

std::string Name(QObject* pObject)
{
    return Accessible(pObject)->text(QAccessible::Name).toStdString();
}

std::string Description(QObject* pObject)
{
    return Accessible(pObject)->text(QAccessible::Description).toStdString();
}

class AccessibleWindowTest : public WindowTest {
protected:
    QToolButton* Button(int nCommandId) const
    {
        for (QAction* pAction : m_pDlg->findChild<QToolBar*>()->actions()) {
            if (pAction->property("commandId").toInt() == nCommandId)
                return qobject_cast<QToolButton*>(
                    m_pDlg->findChild<QToolBar*>()->widgetForAction(pAction));
        }
        return nullptr;
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
};

TEST_F(AccessibleWindowTest, EveryControlHasANameAndRole)
{
    CVoxreelDlg& dlg = Open();
    const struct {
        int nId;
        QAccessible::Role role;
        const char* pszName;
    } controls[] = {
        {IDC_COMBO_CALLS, QAccessible::ComboBox, "Active calls"},
        {IDC_POSITION, QAccessible::Slider, "Current position"},
        {IDC_NOW_PLAYING, QAccessible::EditableText, "Now playing"},
        {IDC_BALANCE, QAccessible::Slider, "Balance"},
        {IDC_LIST_FILES, QAccessible::Tree, "Playlist"},
        {IDC_LOCAL_VOLUME, QAccessible::Slider, "Local volume"},
        {IDC_REMOTE_VOLUME, QAccessible::Slider, "Remote volume"},
        {IDC_STATUS, QAccessible::EditableText, "Status"},
        {IDC_STATUS_ICON, QAccessible::Graphic, "Call client not connected"},
    };
    for (const auto& c : controls) {
        QWidget* pControl = FindControl(&dlg, c.nId);
        EXPECT_EQ(Accessible(pControl)->role(), c.role) << c.pszName;
        EXPECT_EQ(Name(pControl), c.pszName);
    }
    EXPECT_EQ(Description(Control<QLabel>(IDC_STATUS_ICON)),
              "Skype is not connected or there is no active call, playback is local only");
    Notify(NOTIFY_CLIENT_CONNECTED);
    EXPECT_EQ(Name(Control<QLabel>(IDC_STATUS_ICON)), "Call client connected");
    QAccessibleTableInterface* pTable =
        Accessible(Control<QTreeView>(IDC_LIST_FILES))->tableInterface();
    ASSERT_NE(pTable, nullptr);
    EXPECT_EQ(pTable->columnCount(), 2);

    const struct {
        int nId;
        const char* pszName;
        const char* pszDescription;
    } buttons[] = {
        {ID_PREV_FILE, "Previous file", "Go to the previous file (Z)"},
        {ID_PLAY, "Play", "Play it now! (X)"},
        {ID_PAUSE, "Pause or resume", "Pause it for a while (C)"},
        {ID_STOP, "Stop", "Stop it now! (V)"},
        {ID_NEXT_FILE, "Next file", "Go to the next file (B)"},
        {ID_ADD_FILES, "Add files", "Add files (Ins)"},
    };
    for (const auto& b : buttons) {
        ASSERT_NE(Button(b.nId), nullptr) << b.pszName;
        EXPECT_EQ(Accessible(Button(b.nId))->role(), QAccessible::Button);
        EXPECT_EQ(Name(Button(b.nId)), b.pszName);
        EXPECT_EQ(Description(Button(b.nId)), b.pszDescription);
    }
}

TEST_F(AccessibleWindowTest, SlidersTellTheirValuesInWords)
{
    CVoxreelDlg& dlg = Open();
    const struct {
        int nId;
        int nValue;
        const char* pszWords;
    } values[] = {
        {IDC_LOCAL_VOLUME, 0, "100 %, 0.0 dB"},
        {IDC_LOCAL_VOLUME, 176, "31 %, -5.7 dB"},
        {IDC_LOCAL_VOLUME, 255, "0 %, -100.0 dB"},
        {IDC_REMOTE_VOLUME, 0, "100 %"},
        {IDC_REMOTE_VOLUME, 128, "50 %"},
        {IDC_BALANCE, 0, "Voice and playback even"},
        {IDC_BALANCE, -127, "100 % towards the voice"},
        {IDC_BALANCE, 64, "50 % towards the playback"},
    };
    for (const auto& v : values) {
        Control<QSlider>(v.nId)->setValue(v.nValue);
        EXPECT_EQ(Description(Control<QSlider>(v.nId)), v.pszWords) << v.nValue;
    }
    QSlider* pPosition = Control<QSlider>(IDC_POSITION);
    pPosition->setRange(0, 200);
    pPosition->setValue(65);
    EXPECT_EQ(Description(pPosition), "01:05 of 03:20");
    (void)dlg;
}

TEST_F(AccessibleWindowTest, MetersTellTheirPeakInWords)
{
    CVoxreelDlg& dlg = Open();
    CLevelMeterWidget* pMeter = nullptr;
    for (QWidget* pWidget : dlg.findChildren<QWidget*>()) {
        if (pWidget->accessibleName() == QLatin1String("Microphone level"))
            pMeter = dynamic_cast<CLevelMeterWidget*>(pWidget);
    }
    ASSERT_NE(pMeter, nullptr);
    EXPECT_EQ(Description(pMeter), "Silent");
    const auto now = CLevelMeterWidget::Clock::now();
    pMeter->ShowReading({-12.4, -15.0, false, 1}, now);
    EXPECT_EQ(Description(pMeter), "Peak -12 dB");
    pMeter->ShowReading({-0.1, -3.0, true, 1}, now);
    EXPECT_EQ(Description(pMeter), "Clipping");
}

// Every command from the keyboard alone: add, play, pause, resume, stop,
// next, previous, a row played with Enter, remove, the volume keys and the
// menu.
TEST_F(AccessibleWindowTest, EveryCommandWorksFromTheKeyboard)
{
    const std::vector<fs::path> files = {MakeTone(m_folder / "one.wav", 20.0),
                                         MakeTone(m_folder / "two.wav", 20.0, 660),
                                         MakeTone(m_folder / "three.wav", 20.0, 880)};
    CVoxreelDlg& dlg = Open();
    dlg.SetFileChooser([&](QWidget*) { return files; });
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    using State = CVoxreelDlg::PlaybackState;
    const auto playingRow = [&] { return dlg.Playlist().IndexOf(dlg.Playlist().GetCurrentId()); };

    Key(Qt::Key_Insert);
    ASSERT_TRUE(WaitFor([&] { return Rows()->rowCount() == 3; }));
    Key(Qt::Key_X);
    EXPECT_TRUE(WaitFor([&] { return dlg.State() == State::Playing; }));
    EXPECT_EQ(playingRow(), 0);
    Key(Qt::Key_C);
    EXPECT_TRUE(WaitFor([&] { return dlg.State() == State::Paused; }));
    Key(Qt::Key_C);
    EXPECT_TRUE(WaitFor([&] { return dlg.State() == State::Playing; }));
    Key(Qt::Key_B);
    EXPECT_TRUE(WaitFor([&] { return playingRow() == 1 && dlg.State() == State::Playing; }));
    Key(Qt::Key_Z);
    EXPECT_TRUE(WaitFor([&] { return playingRow() == 0 && dlg.State() == State::Playing; }));
    Key(Qt::Key_V);
    EXPECT_TRUE(WaitFor([&] { return dlg.State() == State::Stopped; }));

    // Tab from the calls to the playlist; Down and Enter play the third row.
    Key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), Control<QTreeView>(IDC_LIST_FILES));
    for (int i = 0; i < 3; ++i)
        Key(Qt::Key_Down);
    Key(Qt::Key_Return);
    EXPECT_TRUE(WaitFor([&] { return playingRow() == 2 && dlg.State() == State::Playing; }));
    Key(Qt::Key_Up); // the row under the focus is the one selected
    Key(Qt::Key_Delete);
    EXPECT_EQ(Rows()->rowCount(), 2);

    const int nLocal = Slider(IDC_LOCAL_VOLUME), nRemote = Slider(IDC_REMOTE_VOLUME);
    Key(Qt::Key_Down, Qt::ControlModifier | Qt::AltModifier);
    Key(Qt::Key_Up, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(Slider(IDC_LOCAL_VOLUME), nLocal + 1);
    EXPECT_EQ(Slider(IDC_REMOTE_VOLUME), nRemote - 1);

    Key(Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(WaitFor([&] { return dlg.WindowMenu()->isVisible(); }));
    QTest::keyClick(dlg.WindowMenu(), Qt::Key_Escape);
    EXPECT_TRUE(WaitFor([&] { return !dlg.WindowMenu()->isVisible(); }));
}

} // namespace
