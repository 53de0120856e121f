// Even loudness in the real window: added files measured in the background, each row's gain
// in its tooltip, an unreadable file named, and the target chosen in the settings applied.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>

#include "loudness_testkit.h"
#include "track_gains.h"
#include "window_testkit.h"

namespace {

using namespace apptest;

class LoudnessWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        // The tests' main turns normalisation off; here the stored target decides.
        unsetenv("VOXREEL_LOUDNESS_TARGET");
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
    const TrackGain& Gain(int nRow) const
    {
        return m_pDlg->Playlist().GetItems()[static_cast<std::size_t>(nRow)].gain;
    }
    bool Settled()
    {
        return WaitFor(
            [&] {
                const auto& items = m_pDlg->Playlist().GetItems();
                return items.size() == 3 &&
                       std::none_of(items.begin(), items.end(), [](const PlaylistItem& item) {
                           return item.gain.state == TrackGain::State::Measuring;
                       });
            },
            60s);
    }
    // Picks the target in the settings dialog, as the user does.
    void Choose(const char* pszTarget)
    {
        QTimer::singleShot(0, [pszTarget] {
            auto* pSettings = static_cast<QDialog*>(QApplication::activeModalWidget());
            auto* pTargets = pSettings->findChild<QComboBox*>("loudnessTarget");
            pTargets->setCurrentIndex(pTargets->findData(QString(pszTarget)));
            pSettings->accept();
        });
        m_pDlg->OnSettings();
    }
};

TEST_F(LoudnessWindow, AddedFilesPlayWithTheGainForTheChosenTarget)
{
    const fs::path loud = m_folder / "loud.wav", broken = m_folder / "broken.mp3",
                   quiet = m_folder / "quiet.wav";
    const double dLoud = loudtest::MakeAtLoudness(loud, loudtest::Signal::ToneMix, -10.0, 3.0);
    const double dQuiet = loudtest::MakeAtLoudness(quiet, loudtest::Signal::PinkNoise, -28.0, 3.0);
    ASSERT_NEAR(dQuiet, -28.0, 1.0);
    std::ofstream(broken) << "not audio at all";

    CVoxreelDlg& dlg = Open();
    std::vector<double> measuringGains; // what each row plays with until its gain is known
    const QObject watching;             // the watch ends with the test, before the window
    QObject::connect(Rows(), &QAbstractItemModel::dataChanged, &watching,
                     [&](const QModelIndex& at) {
                         if (Tip(at.row()) == "Track gain: ...")
                             measuringGains.push_back(Gain(at.row()).dDb);
                     });
    dlg.AddPaths({loud, broken, quiet});
    ASSERT_TRUE(Settled()) << Tip(0) << " / " << Tip(1) << " / " << Tip(2);
    EXPECT_GE(measuringGains.size(), 3u) << "a row never showed that it was being measured";
    EXPECT_EQ(measuringGains,
              std::vector<double>(measuringGains.size(), loudness::kSafeDefaultGainDb));
    ASSERT_EQ(Gain(0).state, TrackGain::State::Known);
    EXPECT_NEAR(Gain(0).dDb, -18.0 - dLoud, 0.05);
    EXPECT_EQ(Tip(0).rfind("Track gain: -", 0), 0u) << Tip(0);
    EXPECT_EQ(Gain(1).state, TrackGain::State::Failed);
    EXPECT_EQ(Gain(1).dDb, 0.0);
    EXPECT_EQ(Tip(1), "Track gain: none (the file could not be measured)");
    EXPECT_TRUE(ShowedPrefix("Cannot measure the loudness of broken")) << Text(1019);
    ASSERT_EQ(Gain(2).state, TrackGain::State::Known) << "held up behind the broken file";
    EXPECT_NEAR(Gain(2).dDb, -18.0 - dQuiet, 0.05);
    EXPECT_EQ(Tip(2).rfind("Track gain: +", 0), 0u) << Tip(2);

    // Another target applies at once and is kept; off takes every gain away.
    Choose("-23");
    EXPECT_NEAR(Gain(0).dDb, -23.0 - dLoud, 0.05);
    EXPECT_EQ(m_settings.GetProfileString("LoudnessTarget", ""), "-23");
    Choose("Off");
    for (int nRow = 0; nRow < 3; ++nRow) {
        EXPECT_EQ(Gain(nRow).state, TrackGain::State::None) << nRow;
        EXPECT_EQ(Gain(nRow).dDb, 0.0) << nRow;
        EXPECT_EQ(Tip(nRow), "") << nRow;
    }
    // On again: the cache answers for what was measured.
    Choose("-18");
    ASSERT_TRUE(Settled());
    EXPECT_NEAR(Gain(2).dDb, -18.0 - dQuiet, 0.05);
}

// A stored text that is no target the dialog offers reads as the default; the
// environment wins over what is stored.
TEST(LoudnessTarget, ReadsTheStoredTextAndTheEnvironment)
{
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"Off", std::nullopt}, {"-16.5", -16.5}, {"loud", -18.0}, {"-90", -18.0}, {"0", -18.0}};
    CMemorySettings settings;
    unsetenv("VOXREEL_LOUDNESS_TARGET");
    for (const auto& [pszText, target] : cases) {
        settings.WriteProfileString("LoudnessTarget", pszText);
        EXPECT_EQ(LoudnessTargetSetting(settings), target) << pszText;
    }
    setenv("VOXREEL_LOUDNESS_TARGET", "-20", 1);
    EXPECT_EQ(LoudnessTargetSetting(settings), -20.0);
    setenv("VOXREEL_LOUDNESS_TARGET", "Off", 1); // as the tests' main leaves it
}

} // namespace
