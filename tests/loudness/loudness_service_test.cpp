// The program's side of loudness: the background service (cache on the
// second add, refreshed when a file changes, an unreadable file holding
// nothing up) and the playlist's gains as the window shows them.
#include <QIcon>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "loudness_service.h"
#include "loudness_testkit.h"
#include "playlist_model.h"
#include "track_gains.h"
#include "voxreel/settings.h"

namespace {

using namespace std::chrono_literals;
using loudtest::Signal;
namespace fs = std::filesystem;

class LoudnessService : public ::testing::Test {
protected:
    void SetUp() override
    {
        loudtest::InitGst();
        m_folder = loudtest::TempFolder();
    }
    void TearDown() override { fs::remove_all(m_folder); }

    fs::path Unreadable()
    {
        const fs::path file = m_folder / "broken.mp3";
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < 4096; ++i)
            out.put(static_cast<char>(i * 31));
        return file;
    }

    fs::path m_folder;
};

class Collected {
public:
    CLoudnessService::ResultFn Results()
    {
        return
            [this](CLoudnessService::Result&& result) { m_results.push_back(std::move(result)); };
    }
    CLoudnessService::ProgressFn Progress()
    {
        return [this](std::size_t nDone, std::size_t nAsked) {
            m_progress.emplace_back(nDone, nAsked);
        };
    }
    bool WaitFor(std::size_t nCount)
    {
        return QTest::qWaitFor([&] { return m_results.size() >= nCount; }, 60000);
    }
    std::vector<CLoudnessService::Result> m_results;
    std::vector<std::pair<std::size_t, std::size_t>> m_progress;
};

TEST_F(LoudnessService, MeasuresOnceAndAgainOnlyWhenTheFileChanges)
{
    const fs::path file = m_folder / "tones.wav";
    ASSERT_TRUE(loudtest::WriteWav(file, Signal::ToneMix, 0.3, 3.0));
    Collected collected;
    {
        CLoudnessService service(m_folder / "cache", collected.Results(), collected.Progress());
        service.Request(1, file);
        ASSERT_TRUE(collected.WaitFor(1));
        service.Request(2, file);
        ASSERT_TRUE(collected.WaitFor(2));
    }
    // A new run of the program finds it in the cache too, until it changes.
    CLoudnessService service(m_folder / "cache", collected.Results(), collected.Progress());
    service.Request(3, file);
    ASSERT_TRUE(collected.WaitFor(3));
    ASSERT_TRUE(loudtest::WriteWav(file, Signal::ToneMix, 0.6, 4.0));
    service.Request(4, file);
    ASSERT_TRUE(collected.WaitFor(4));
    EXPECT_FALSE(service.Busy());

    const std::vector<bool> fromCache{false, true, true, false};
    for (std::size_t i = 0; i < 4; ++i) {
        const CLoudnessService::Result& result = collected.m_results[i];
        EXPECT_EQ(result.id, static_cast<std::int32_t>(i + 1));
        ASSERT_TRUE(result.loudness) << result.strError;
        EXPECT_EQ(result.bFromCache, fromCache[i]) << i;
    }
    EXPECT_DOUBLE_EQ(collected.m_results[0].loudness->dLufs,
                     collected.m_results[2].loudness->dLufs);
    EXPECT_NEAR(collected.m_results[3].loudness->dLufs - collected.m_results[0].loudness->dLufs,
                6.02, 0.3);
}

TEST_F(LoudnessService, AnUnreadableFileHoldsNothingUp)
{
    const fs::path good = m_folder / "good.wav";
    ASSERT_TRUE(loudtest::WriteWav(good, Signal::PinkNoise, 0.1, 2.0));
    Collected collected;
    CLoudnessService service({}, collected.Results(), collected.Progress());
    service.Request(7, Unreadable());
    service.Request(8, m_folder / "gone.flac");
    service.Request(9, good);
    ASSERT_TRUE(collected.WaitFor(3));
    EXPECT_FALSE(collected.m_results[0].loudness);
    EXPECT_FALSE(collected.m_results[0].strError.empty());
    EXPECT_FALSE(collected.m_results[1].loudness);
    EXPECT_EQ(collected.m_results[2].id, 9);
    EXPECT_TRUE(collected.m_results[2].loudness) << collected.m_results[2].strError;
    ASSERT_FALSE(collected.m_progress.empty());
    EXPECT_EQ(collected.m_progress.back(), std::make_pair(std::size_t{3}, std::size_t{3}));
}

TEST_F(LoudnessService, StopsAtOnceWithAMeasurementUnderWay)
{
    const fs::path file = m_folder / "long.wav";
    ASSERT_TRUE(loudtest::WriteWav(file, Signal::PinkNoise, 0.1, 120.0));
    Collected collected;
    auto pService =
        std::make_unique<CLoudnessService>(fs::path(), collected.Results(), collected.Progress());
    pService->Request(1, file);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pService->Busy(); }, 5000));
    pService.reset(); // joins; a hang here fails the test by its time-out
    QCoreApplication::processEvents();
    EXPECT_TRUE(collected.m_results.empty());
}

// The playlist's gains as the window keeps them.
class TrackGains : public LoudnessService {
protected:
    std::string Tip(std::int32_t id)
    {
        return m_model.data(m_model.index(m_model.RowOf(id), 0), Qt::ToolTipRole)
            .toString()
            .toStdString();
    }
    const TrackGain& Gain(std::int32_t id) { return m_playlist.Find(id)->gain; }
    std::vector<std::int32_t> Add(const std::vector<fs::path>& files)
    {
        std::vector<PlaylistItem> items;
        for (const fs::path& file : files)
            items.push_back({-1, file, file.filename().string(), 1});
        return m_model.Append(std::move(items));
    }
    bool WaitSettled()
    {
        return QTest::qWaitFor([&] { return !m_pGains->Busy(); }, 60000);
    }

    CPlaylist m_playlist;
    CPlaylistModel m_model{m_playlist, QIcon()};
    std::vector<std::string> m_status;
    std::unique_ptr<CTrackGains> m_pGains;
};

TEST_F(TrackGains, EachEntryTakesTheGainForTheTargetAndShowsIt)
{
    const fs::path loud = m_folder / "loud.wav";
    const fs::path quiet = m_folder / "quiet.wav";
    const double dLoud = loudtest::MakeAtLoudness(loud, Signal::ToneMix, -10.0, 3.0);
    const double dQuiet = loudtest::MakeAtLoudness(quiet, Signal::PinkNoise, -26.0, 3.0);
    m_pGains = std::make_unique<CTrackGains>(
        m_playlist, m_model, -18.0, m_folder / "cache",
        [this](const std::string& strText) { m_status.push_back(strText); });
    const std::vector<std::int32_t> ids = Add({loud, Unreadable(), quiet});
    m_pGains->Measure(ids);
    EXPECT_EQ(Tip(ids[0]), "Track gain: ...");
    EXPECT_EQ(Gain(ids[0]).state, TrackGain::State::Measuring);
    EXPECT_EQ(Gain(ids[0]).dDb, loudness::kSafeDefaultGainDb); // what it plays with meanwhile
    ASSERT_TRUE(WaitSettled());

    ASSERT_EQ(Gain(ids[0]).state, TrackGain::State::Known);
    EXPECT_NEAR(Gain(ids[0]).dDb, -18.0 - dLoud, 0.01);
    EXPECT_EQ(Tip(ids[0]).substr(0, 13), "Track gain: -");
    EXPECT_EQ(Gain(ids[1]).state, TrackGain::State::Failed);
    EXPECT_EQ(Gain(ids[1]).dDb, 0.0);
    ASSERT_EQ(m_status.size(), 1u);
    EXPECT_NE(m_status[0].find("broken.mp3"), std::string::npos) << m_status[0];
    ASSERT_EQ(Gain(ids[2]).state, TrackGain::State::Known);
    EXPECT_NEAR(Gain(ids[2]).dDb, -18.0 - dQuiet, 0.01);

    // Another target applies at once; off takes every gain away.
    m_pGains->SetTarget(-23.0);
    EXPECT_NEAR(Gain(ids[0]).dDb, -23.0 - dLoud, 0.01);
    m_pGains->SetTarget(std::nullopt);
    for (std::int32_t id : ids) {
        EXPECT_EQ(Gain(id).state, TrackGain::State::None);
        EXPECT_EQ(Gain(id).dDb, 0.0);
        EXPECT_EQ(Tip(id), "");
    }
    // On again: the cache answers at once for what was measured.
    m_pGains->SetTarget(-18.0);
    ASSERT_TRUE(WaitSettled());
    EXPECT_NEAR(Gain(ids[2]).dDb, -18.0 - dQuiet, 0.01);
}

TEST(LoudnessTarget, ReadsTheStoredTextAndTheEnvironment)
{
    struct Case {
        const char* text;
        std::optional<double> target;
    };
    const Case cases[] = {{"Off", std::nullopt}, {"-23", -23.0}, {"-16.5", -16.5}, {"", -18.0},
                          {"loud", -18.0},       {"-90", -18.0}, {"0", -18.0}};
    for (const Case& c : cases) {
        EXPECT_EQ(ParseLoudnessTarget(c.text), c.target) << c.text;
        EXPECT_EQ(ParseLoudnessTarget(LoudnessTargetText(c.target)), c.target) << c.text;
    }
    CMemorySettings settings;
    unsetenv("VOXREEL_LOUDNESS_TARGET");
    EXPECT_EQ(LoudnessTargetSetting(settings), -18.0);
    settings.WriteProfileString("LoudnessTarget", "Off");
    EXPECT_EQ(LoudnessTargetSetting(settings), std::nullopt);
    setenv("VOXREEL_LOUDNESS_TARGET", "-20", 1);
    EXPECT_EQ(LoudnessTargetSetting(settings), -20.0);
    unsetenv("VOXREEL_LOUDNESS_TARGET");
}

} // namespace
