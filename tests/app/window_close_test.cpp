// The ways a user may close the window run the closing steps; Escape must not
// close it, as the window is the whole program and closing ends the call's feed.
#include <QAction>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "window_testkit.h"

using namespace apptest;

namespace {

struct SCloseCase {
    const char* pszName;
    std::function<void(CVoxreelDlg& dlg)> act;
    bool bCloses;
};

const SCloseCase kCloseCases[] = {
    {"Escape", [](CVoxreelDlg& dlg) { QTest::keyClick(&dlg, Qt::Key_Escape); }, false},
    {"CtrlQ", [](CVoxreelDlg& dlg) { QTest::keyClick(&dlg, Qt::Key_Q, Qt::ControlModifier); },
     true},
    {"QuitMenuItem",
     [](CVoxreelDlg& dlg) {
         for (QAction* pAction : dlg.WindowMenu()->actions())
             if (pAction->text() == QStringLiteral("&Quit"))
                 pAction->trigger();
     },
     true},
    {"CloseButton", [](CVoxreelDlg& dlg) { dlg.close(); }, true},
};

class WindowClose : public WindowTest, public ::testing::WithParamInterface<SCloseCase> {};

} // namespace

// The closing steps write the sliders to the settings and free the port.
TEST_P(WindowClose, OnlyTheWaysOfClosingRunTheClosingSteps)
{
    CVoxreelDlg& dlg = Open();
    const bool bCloses = GetParam().bCloses;
    const std::tuple<int, const char*, int> sliders[] = {
        {1021, "LocalVolume", 12}, {1023, "RemoteVolume", 34}, {1024, "Balance", -56}};
    for (const auto& [nId, pszKey, nValue] : sliders)
        Control<QSlider>(nId)->setValue(nValue);
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    GetParam().act(dlg);
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg.isVisible(), !bCloses);
    for (const auto& [nId, pszKey, nValue] : sliders)
        EXPECT_EQ(m_settings.GetProfileInt(pszKey, -1), bCloses ? nValue : -1) << pszKey;
    m_pDlg.reset();
    QCoreApplication::processEvents(); // what the renderer posted while going is dropped
    EXPECT_TRUE(PortIsFree(m_nPort));
}

INSTANTIATE_TEST_SUITE_P(Ways, WindowClose, ::testing::ValuesIn(kCloseCases),
                         [](const auto& test) { return std::string(test.param.pszName); });
