// The window when the renderer cannot be created: this process never loads
// the Callfeed plugin, and it finds no sound server either.
#include <gtest/gtest.h>

#include "window_testkit.h"

using namespace apptest;

// The player's failure stays in the status line; the Voxreel microphone's
// note, which comes later, goes to the status icon's tip.
TEST(WindowWithoutRenderer, ShowsTheFailureAndNeverTicks)
{
    setenv("PULSE_SERVER", "unix:/nonexistent/voxreel-test", 1);
    const fs::path folder = TempFolder("noplugin");
    setenv("GST_REGISTRY", (folder / "registry.bin").c_str(), 1);
    voxreel::test::InitGstInProcess();
    CMemorySettings settings;
    settings.WriteProfileString("DefaultPlaylist", (folder / "default.m3u").string());
    CInProcessSkypeChannel channel;
    {
        CVoxreelDlg dlg({settings, channel, "own", kQuietSink, FreePort()});
        EXPECT_FALSE(dlg.IsTicking());
        const QWidget* pIcon = FindControl(&dlg, 1018);
        EXPECT_TRUE(WaitFor([&] { return pIcon->toolTip().contains("Voxreel microphone"); }))
            << pIcon->toolTip().toStdString();
        EXPECT_EQ(FindControl(&dlg, 1019)->property("text").toString().toStdString(),
                  "Failed to initialize network port: 80040154");
    }
    fs::remove_all(folder);
}
