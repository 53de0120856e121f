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
    void OnFileOpened(HRESULT hr) override { m_pTransport->OnFileOpened(hr); }
    void OnPlaybackFailed(HRESULT, const std::string&) override {}
    void OnPlaybackCompleted() override {}
    CPlaybackController* m_pTransport = nullptr;
};

// The player's reports come from this thread's GLib main loop.
bool Delivering(const std::function<bool()>& condition)
{
    return voxreel::test::WaitUntil([&] {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        return condition();
    });
}

} // namespace

TEST(Transport, FollowsTheStateTableAndShowsWhatItOpened)
{
    InitMedia();
    const fs::path folder = TempFolder("transport");
    CPlaylist playlist;
    std::vector<std::int32_t> ids;
    for (int i = 0; i < 2; ++i)
        ids.push_back(playlist.AddFile(
            MakeTone(folder / ("t" + std::to_string(i) + ".wav"), 6.0, 300 + 200 * i)));
    CRecordingView view;
    COpenedCallback callback;
    CDSPlayer player{&callback, kQuietSink};
    CPlaybackController transport{playlist, player, view};
    callback.m_pTransport = &transport;
    player.SetServerPort(FreePort());
    ASSERT_EQ(player.Initialize(), S_OK);
    // Runs a command and waits until the file it opened (if any) is open.
    const auto opened = [&](const std::function<void()>& command) {
        command();
        return Delivering([&] { return !player.IsOpening(); });
    };
    const auto running = [&] { return Delivering([&] { return player.IsRunning(); }); };

    ASSERT_TRUE(opened([&] { transport.OnPlay(); })); // idle: the first entry
    EXPECT_EQ(view.m_marked, std::vector<std::int32_t>{ids[0]});
    EXPECT_EQ(view.m_strNowPlaying, "t0");
    EXPECT_EQ(playlist.Find(ids[0])->duration, 6); // learnt as it opened
    EXPECT_EQ(view.m_nRange, 6u);
    EXPECT_EQ(view.m_nDuration, 6u);
    double dFactor = 0;
    g_object_get(player.Renderer(), "local-volume", &dFactor, nullptr);
    EXPECT_NEAR(dFactor, 0.5164, 1e-3); // 176 -> -574 hundredths of a decibel
    EXPECT_TRUE(running());
    transport.OnPause(); // running -> paused
    EXPECT_TRUE(player.IsPaused());
    transport.OnPause(); // paused -> running
    EXPECT_TRUE(running());
    ASSERT_TRUE(voxreel::test::WaitUntil([&] { return player.GetPosition() >= 2; }));
    transport.OnPause();
    ASSERT_TRUE(opened([&] { transport.OnPlay(); })); // paused: resumes where it was, not from 0
    EXPECT_TRUE(running());
    EXPECT_TRUE(voxreel::test::WaitUntil([&] { return player.GetPosition() >= 2; }, 900ms));
    transport.OnStop(); // marks and the title cleared, position kept
    EXPECT_TRUE(view.m_marked.empty());
    EXPECT_EQ(view.m_strNowPlaying, "");
    EXPECT_FALSE(player.IsRunning());
    transport.OnPause(); // stopped: runs on from the kept position
    EXPECT_TRUE(running());
    transport.OnStop();
    ASSERT_TRUE(opened([&] { transport.OnPlay(); })); // stopped: from the start
    EXPECT_EQ(player.GetPosition(), 0u);

    using C = CPlaybackController;
    const std::pair<void (C::*)(), int> steps[] = {
        {&C::OnPrevFile, 0},                               // stays at the first
        {&C::OnNextFile, 1}, {&C::OnNextFile, 0},          // wraps to the first
        {&C::OnNextFile, 1}, {&C::OnPlaybackCompleted, 0}, // the last one's end plays the first
    };
    for (const auto& [pCommand, nExpected] : steps) {
        ASSERT_TRUE(opened([&] { (transport.*pCommand)(); }));
        EXPECT_EQ(view.m_marked, std::vector<std::int32_t>{ids[nExpected]});
        EXPECT_EQ(playlist.GetCurrentId(), ids[nExpected]);
    }
    EXPECT_EQ(view.m_strStatus, "Playback completed.\n");

    const std::int32_t nMissing = playlist.AddFile(folder / "missing.wav");
    ASSERT_TRUE(opened([&] { transport.OnRowActivated(nMissing); })); // marks cleared, fails
    EXPECT_EQ(view.m_strStatus, "An error occurred during file playback: 80070002 - The file "
                                "\"missing.wav\" does not exist.");
    EXPECT_TRUE(view.m_marked.empty());
    EXPECT_EQ(view.m_strNowPlaying, "t0");
    transport.OnRowActivated(-1);       // empty space plays nothing
    transport.OnPlaybackFailed(E_FAIL); // the player's last reason may follow
    EXPECT_EQ(view.m_strStatus.rfind("Playback failed: error code 80004005", 0), 0u);

    CPlaylist single; // the only entry's end starts it again from its start
    const std::int32_t nOnly = single.AddFile(folder / "t1.wav");
    CPlaybackController alone(single, player, view);
    callback.m_pTransport = &alone;
    ASSERT_TRUE(opened([&] { alone.OnPlay(); }));
    ASSERT_TRUE(voxreel::test::WaitUntil([&] { return player.GetPosition() >= 1; }));
    ASSERT_TRUE(opened([&] { alone.OnPlaybackCompleted(); }));
    EXPECT_EQ(view.m_marked, std::vector<std::int32_t>{nOnly});
    EXPECT_LE(player.GetPosition(), 1u);
    EXPECT_TRUE(running());
    callback.m_pTransport = &transport;
    fs::remove_all(folder);
}
