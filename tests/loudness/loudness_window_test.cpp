// Even loudness in the real window: added files are measured in the
// background, each row's tooltip shows the gain its file plays with, and a
// file that cannot be read says so in the status line.
#include <gtest/gtest.h>

#include <fstream>

#include "loudness_testkit.h"
#include "window_testkit.h"

namespace {

using namespace apptest;

class LoudnessWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        // The tests' main turns normalisation off for the other window tests.
        setenv("VOXREEL_LOUDNESS_TARGET", "-18", 1);
        setenv("XDG_CACHE_HOME", (m_folder / "cache").c_str(), 1);
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        setenv("VOXREEL_LOUDNESS_TARGET", "Off", 1);
        unsetenv("XDG_CACHE_HOME");
    }
    std::string Tip(int nRow) const
    {
        return Rows()->index(nRow, 0).data(Qt::ToolTipRole).toString().toStdString();
    }
};

TEST_F(LoudnessWindow, AddedFilesShowTheGainTheyPlayWith)
{
    const fs::path quiet = m_folder / "quiet.wav";
    const double dMade = loudtest::MakeAtLoudness(quiet, loudtest::Signal::PinkNoise, -28.0, 3.0);
    ASSERT_NEAR(dMade, -28.0, 1.0);
    const fs::path broken = m_folder / "broken.mp3";
    std::ofstream(broken) << "not audio at all";

    CVoxreelDlg& dlg = Open();
    dlg.AddPaths({quiet, broken});
    ASSERT_TRUE(WaitFor(
        [&] {
            return Rows()->rowCount() == 2 && Tip(0) != "Track gain: ..." &&
                   Tip(1) != "Track gain: ..." && !Tip(0).empty();
        },
        60s))
        << Tip(0) << " / " << Tip(1);

    const TrackGain& gain = dlg.Playlist().GetItems()[0].gain;
    ASSERT_EQ(gain.state, TrackGain::State::Known);
    EXPECT_NEAR(gain.dDb, -18.0 - dMade, 0.05);
    EXPECT_EQ(Tip(0).rfind("Track gain: +", 0), 0u) << Tip(0);
    EXPECT_EQ(Tip(1), "Track gain: none (the file could not be measured)");
    EXPECT_TRUE(ShowedPrefix("Cannot measure the loudness of broken")) << Text(1019);
}

} // namespace
