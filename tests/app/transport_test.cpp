// The transport rules against the real player on generated files.
#include <gtest/gtest.h>

#include <vector>

#include "app_testkit.h"
#include "playback_controller.h"

using namespace apptest;

namespace {

class CRecordingView final : public IPlaybackView {
public:
    void SetStatus(const std::string& strText) override { m_strStatus = strText; }
    void ClearPlayingMarks() override { m_marked.clear(); }
    void MarkPlayingRow(std::int32_t id) override { m_marked.push_back(id); }
    void SetNowPlaying(const std::string& strTitle) override { m_strNowPlaying = strTitle; }
    void ResetPositionSlider(std::uint32_t nDuration) override { m_nRange = nDuration; }
    void ShowTime(std::uint32_t nPosition, std::uint32_t nDuration) override
    {
        m_nPosition = nPosition, m_nDuration = nDuration;
    }
    int LocalVolumePosition() const override { return 176; }
    int RemoteVolumePosition() const override { return 55; }
    int BalancePosition() const override { return -127; }

    std::string m_strStatus, m_strNowPlaying;
    std::vector<std::int32_t> m_marked;
    std::uint32_t m_nRange = 0, m_nPosition = 0, m_nDuration = 0;
};

// Hands the end of each opening to the transport, as the window does.
class COpenedCallback final : public CDSPlayerCallback {
public:
    void OnFileOpened(HRESULT hr) override
    {
        if (m_pTransport != nullptr)
            m_pTransport->OnFileOpened(hr);
    }
    void OnPlaybackFailed(HRESULT, const std::string&) override {}
    void OnPlaybackCompleted() override {}
    CPlaybackController* m_pTransport = nullptr;
};

// The player's reports come from this thread's GLib main loop.
bool Delivering(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s)
{
    return voxreel::test::WaitUntil(
        [&] {
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
            return condition();
        },
        timeout);
}

class Transport : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        InitMedia();
        s_folder = TempFolder("transport");
        for (int i = 0; i < 3; ++i)
            MakeTone(s_folder / ("t" + std::to_string(i) + ".wav"), 6.0, 300 + 200 * i);
        MakeTone(s_folder / "long.wav", 185.0);
    }
    static void TearDownTestSuite() { fs::remove_all(s_folder); }

    void SetUp() override
    {
        m_callback.m_pTransport = &m_transport;
        m_player.SetServerPort(FreePort());
        ASSERT_EQ(m_player.Initialize(), S_OK);
        for (int i = 0; i < 3; ++i)
            m_ids.push_back(m_playlist.AddFile(s_folder / ("t" + std::to_string(i) + ".wav")));
    }
    // The path the player has open, from the entry the view was told to mark last.
    std::int32_t Marked() const { return m_view.m_marked.empty() ? -1 : m_view.m_marked.back(); }
    bool Running()
    {
        return Delivering([&] { return m_player.IsRunning(); });
    }
    // Runs command and waits until the file it opened (if any) is open.
    template <typename Command> void Opened(Command command)
    {
        command();
        ASSERT_TRUE(Delivering([&] { return !m_player.IsOpening(); }));
    }

    static inline fs::path s_folder;
    COpenedCallback m_callback;
    CDSPlayer m_player{&m_callback, kQuietSink};
    CPlaylist m_playlist;
    CRecordingView m_view;
    CPlaybackController m_transport{m_playlist, m_player, m_view};
    std::vector<std::int32_t> m_ids;
};

} // namespace

TEST_F(Transport, PlayPauseStopFollowTheStateTable)
{
    m_playlist.SetCurrentId(-1);
    Opened([&] { m_transport.OnPlay(); }); // idle: the first entry
    EXPECT_EQ(Marked(), m_ids[0]);
    EXPECT_EQ(m_view.m_strNowPlaying, "t0");
    EXPECT_TRUE(Running());

    m_transport.OnPause(); // running -> paused
    EXPECT_TRUE(m_player.IsPaused());
    m_transport.OnPause(); // paused -> running
    EXPECT_TRUE(Running());

    ASSERT_TRUE(voxreel::test::WaitUntil([&] { return m_player.GetPosition() >= 2; }));
    m_transport.OnPause();
    Opened([&] { m_transport.OnPlay(); }); // paused: resumes where it was, not from 0
    EXPECT_TRUE(Running());
    EXPECT_TRUE(voxreel::test::WaitUntil([&] { return m_player.GetPosition() >= 2; }, 900ms));

    m_transport.OnStop(); // marks and the title cleared, position kept
    EXPECT_TRUE(m_view.m_marked.empty());
    EXPECT_EQ(m_view.m_strNowPlaying, "");
    EXPECT_FALSE(m_player.IsRunning());
    m_transport.OnPause(); // stopped: runs on from the kept position
    EXPECT_TRUE(Running());
    m_transport.OnStop();
    Opened([&] { m_transport.OnPlay(); }); // stopped: from the start
    EXPECT_EQ(m_player.GetPosition(), 0u);
    EXPECT_EQ(Marked(), m_ids[0]);
}

TEST_F(Transport, NextAndPreviousWalkAndWrapTheList)
{
    const struct {
        void (CPlaybackController::*pCommand)();
        int nExpected;
    } steps[] = {
        {&CPlaybackController::OnNextFile, 1}, {&CPlaybackController::OnNextFile, 2},
        {&CPlaybackController::OnNextFile, 0}, // wraps to the first
        {&CPlaybackController::OnPrevFile, 0}, // stays at the first, from its start
        {&CPlaybackController::OnNextFile, 1}, {&CPlaybackController::OnPrevFile, 0},
    };
    for (const auto& step : steps) {
        Opened([&] { (m_transport.*step.pCommand)(); });
        EXPECT_EQ(m_view.m_marked, std::vector<std::int32_t>{m_ids[step.nExpected]});
        EXPECT_EQ(m_playlist.GetCurrentId(), m_ids[step.nExpected]);
    }
    EXPECT_TRUE(Running());
    EXPECT_EQ(m_view.m_nRange, 6u);
}

TEST_F(Transport, EndOfTheLastFileStartsTheFirstAndOneEntryRepeats)
{
    m_playlist.SetCurrentId(m_ids[2]);
    Opened([&] { m_transport.OnPlaybackCompleted(); });
    EXPECT_EQ(m_view.m_strStatus, "Playback completed.\n");
    EXPECT_EQ(Marked(), m_ids[0]);

    CPlaylist single;
    const std::int32_t id = single.AddFile(s_folder / "t1.wav");
    CPlaybackController transport(single, m_player, m_view);
    m_callback.m_pTransport = &transport;
    Opened([&] { transport.OnPlay(); });
    ASSERT_TRUE(voxreel::test::WaitUntil([&] { return m_player.GetPosition() >= 1; }));
    Opened([&] { transport.OnPlaybackCompleted(); });
    EXPECT_EQ(Marked(), id);
    EXPECT_LE(m_player.GetPosition(), 1u); // the same file again, from its start
    EXPECT_TRUE(Running());
    m_callback.m_pTransport = &m_transport;
}

TEST_F(Transport, TimeDisplayAndTheLocalVolume)
{
    const std::int32_t id = m_playlist.AddFile(s_folder / "long.wav");
    Opened([&] { m_transport.OnRowActivated(id); });
    EXPECT_EQ(m_playlist.GetCurrentId(), id);
    EXPECT_EQ(m_view.m_nPosition, 0u);
    EXPECT_EQ(m_view.m_nDuration, 185u);
    EXPECT_EQ(m_playlist.Find(id)->duration, 185);
    double dFactor = 0;
    g_object_get(m_player.Renderer(), "local-volume", &dFactor, nullptr);
    EXPECT_NEAR(dFactor, 0.5164, 1e-3); // 176 -> -574 hundredths of a decibel
}

TEST_F(Transport, AFailedOpenTouchesNothingElse)
{
    Opened([&] { m_transport.OnPlay(); });
    m_view.m_marked = {m_ids[0]};
    const std::int32_t id = m_playlist.AddFile(s_folder / "missing.wav");
    Opened([&] { m_transport.OnRowActivated(id); }); // clears the marks, then fails
    EXPECT_EQ(m_view.m_strStatus, "An error occurred during file playback: 80070002 - The file "
                                  "\"missing.wav\" does not exist.");
    EXPECT_TRUE(m_view.m_marked.empty());
    EXPECT_EQ(m_view.m_strNowPlaying, "t0");
    m_transport.OnRowActivated(-1);       // empty space plays nothing
    m_transport.OnPlaybackFailed(E_FAIL); // the player's last reason may follow
    EXPECT_EQ(m_view.m_strStatus.rfind("Playback failed: error code 80004005", 0), 0u);
}
