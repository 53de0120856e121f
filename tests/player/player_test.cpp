// CDSPlayer on real pipelines: files made at test time, the Callfeed plugin
// from the build tree, a silent capture source and a fake local sink.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "player_testkit.h"
#include "voxreel/callfeed_control.h"
#include "voxreel/gst_hresult.h"

namespace fs = std::filesystem;

namespace {

using PlayerTest = PlayerFixture;

// Also: without a file the file operations refuse but the volumes work; the
// loaded path opened again changes nothing, even while running, but the same
// name in other letters is another file; durations are whole seconds, and go
// beyond 32 bits of nanoseconds (4.3 s).
TEST_F(PlayerTest, OpensEachFormatAndKeepsOnlyTheRendererBetweenFiles)
{
    EXPECT_EQ(m_player.Run(), E_FAIL);
    EXPECT_EQ(m_player.Pause(), E_FAIL);
    EXPECT_EQ(m_player.Stop(), E_FAIL);
    EXPECT_EQ(m_player.GetDuration() + m_player.GetPosition(), 0u);
    EXPECT_FALSE(m_player.SetPosition(0));
    EXPECT_TRUE(m_player.SetLocalVolume(0));
    EXPECT_TRUE(m_player.SetRemoteVolume(300));
    EXPECT_TRUE(m_player.SetRemoteBalance(-500));
    int nVolume = 0;
    g_object_get(m_player.Renderer(), "volume", &nVolume, nullptr);
    EXPECT_EQ(nVolume, 255);

    for (auto [pszEncoder, name, otherCase] :
         {std::tuple{kWav, "a.wav", "A.wav"}, std::tuple{kMp3, "b.mp3", "B.mp3"},
          std::tuple{kWma, "c.WMA", "C.WMA"}}) {
        SCOPED_TRACE(name);
        const fs::path path = MakeMedia(m_folder / name, pszEncoder, 3.0);
        ASSERT_EQ(m_player.Open(path), S_OK) << m_player.LastErrorText();
        EXPECT_TRUE(m_player.IsPaused());
        EXPECT_EQ(m_player.GetPosition(), 0u);
        EXPECT_GE(m_player.GetDuration(), 2u);
        EXPECT_LE(m_player.GetDuration(), 3u);
        ASSERT_TRUE(SUCCEEDED(m_player.Run()));
        ASSERT_TRUE(WaitUntil([&] { return m_player.IsRunning(); }));
        EXPECT_EQ(m_player.Open(path), S_OK);
        EXPECT_TRUE(m_player.IsRunning());
        fs::copy_file(path, m_folder / otherCase);
        ASSERT_EQ(m_player.Open(m_folder / otherCase), S_OK);
        EXPECT_TRUE(m_player.IsPaused());
        m_player.Close();
        EXPECT_EQ(TopElements(), std::vector<std::string>{"SkypeAudioRenderer"});
    }
    ASSERT_EQ(m_player.Open(MakeMedia(m_folder / "short.wav", kWav, 59.9, 0)), S_OK);
    EXPECT_EQ(m_player.GetDuration(), 59u);
}

// Also: the state reads follow Run, Pause and Stop.
TEST_F(PlayerTest, ToneReachesTheClientOnlyWhileRunning)
{
    ASSERT_EQ(m_player.Open(MakeMedia(m_folder / "tone.mp3", kMp3, 5.0, 500)), S_OK);
    CTestClient client;
    ASSERT_TRUE(client.Connect(m_nPort));
    client.ReadMore(6 * 4096);
    EXPECT_EQ(client.Louder(0, 1000), 0u) << "opened, not running: the call hears nothing of it";
    ASSERT_TRUE(SUCCEEDED(m_player.Run()));
    EXPECT_TRUE(WaitUntil([&] { return m_player.IsRunning(); }));
    EXPECT_TRUE(client.ReadUntil([&] { return client.Louder(0, 1000) > 16000; }));

    // Quiet: a whole silent block once what was mixed before has left.
    const auto readUntilQuiet = [&] {
        std::size_t nBlock = (client.Samples() + 2047) / 2048 * 2048;
        return client.ReadUntil([&] {
            for (; client.Samples() >= nBlock + 2048; nBlock += 2048)
                if (client.Louder(nBlock, 1000) == client.Louder(nBlock + 2048, 1000))
                    return true;
            return false;
        });
    };
    ASSERT_TRUE(SUCCEEDED(m_player.Pause()));
    EXPECT_TRUE(WaitUntil([&] { return m_player.IsPaused(); }));
    ASSERT_TRUE(readUntilQuiet());
    const std::uint32_t nPaused = m_player.GetPosition();
    ASSERT_EQ(m_player.Stop(), S_OK);
    EXPECT_FALSE(m_player.IsPaused()); // stopped is not paused
    EXPECT_FALSE(m_player.IsRunning());
    EXPECT_EQ(m_player.GetPosition(), nPaused) << "a stop keeps the position for a resume";
    const std::size_t nStopped = client.Samples();
    client.ReadMore(6 * 4096);
    EXPECT_EQ(client.Louder(nStopped, 1000), 0u) << "stopped: the call hears nothing of the file";

    // Closed while the queue holds some of it, the file is not heard when
    // the next one runs.
    ASSERT_TRUE(SUCCEEDED(m_player.Run()));
    ASSERT_TRUE(client.ReadUntil([&] { return client.Louder(nStopped, 1000) > 0; }));
    m_player.Close();
    ASSERT_TRUE(readUntilQuiet());
    ASSERT_EQ(m_player.Open(MakeMedia(m_folder / "quiet.wav", kWav, 3.0, 0)), S_OK);
    ASSERT_TRUE(SUCCEEDED(m_player.Run()));
    const std::size_t nNext = client.Samples();
    client.ReadMore(8 * 4096);
    EXPECT_EQ(client.Louder(nNext, 1000), 0u) << "nothing of the closed file";
}

// Stopped as it plays, a file stops there: what the renderer still held of
// it, its end among it, goes, so no completion follows the stop; resumed, it
// plays on to its end.
TEST_F(PlayerTest, AStopDropsWhatTheRendererStillHeld)
{
    ASSERT_EQ(m_player.Open(MakeMedia(m_folder / "short.wav", kWav, 1.0)), S_OK);
    ASSERT_TRUE(SUCCEEDED(m_player.Run()));
    ASSERT_TRUE(WaitDelivering([&] { return m_player.IsRunning(); }));
    WaitDelivering([] { return false; }, 300ms); // the whole file is queued by now
    ASSERT_EQ(m_player.Stop(), S_OK);
    WaitDelivering([] { return false; }, 2s);
    EXPECT_TRUE(m_callback.m_calls.empty()) << "the stopped file's end was reported";
    ASSERT_TRUE(SUCCEEDED(m_player.Run()));
    EXPECT_TRUE(WaitDelivering([&] { return !m_callback.m_calls.empty(); }));
}

// A source that stalls (a FIFO nobody writes) holds only the opening thread:
// the player answers at once, and another file or Stop cancels the opening,
// whose end is then never reported. The FIFO lets go when a writer comes and
// leaves.
TEST_F(PlayerTest, AStalledOpeningHoldsNobodyAndIsCancelled)
{
    const fs::path fifo = m_folder / "stalled.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const fs::path tone = MakeMedia(m_folder / "tone.wav", kWav, 3.0);
    for (const bool bByStop : {false, true}) {
        SCOPED_TRACE(bByStop ? "cancelled by Stop" : "cancelled by another file");
        m_callback.m_opened.clear();
        m_callback.m_calls.clear();
        m_player.Close();
        ASSERT_EQ(m_player.OpenAsync(fifo), S_FALSE);
        ASSERT_TRUE(WaitUntil([&] { return m_player.IsOpening(); }));
        EXPECT_FALSE(m_player.IsRunning());
        EXPECT_EQ(m_player.GetPosition(), 0u);
        EXPECT_FALSE(SUCCEEDED(m_player.Run())); // nothing to run yet
        EXPECT_EQ(bByStop ? m_player.Stop() : m_player.OpenAsync(tone), bByStop ? S_OK : S_FALSE);
        // A writer that comes and goes ends each of the two routes' opens.
        ASSERT_TRUE(WaitDelivering([&] {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
            return !m_player.IsOpening();
        }));
        EXPECT_TRUE(m_callback.m_calls.empty()) << "the stalled file's failure was reported";
        EXPECT_EQ(m_callback.m_opened, bByStop ? std::vector<HRESULT>{} : std::vector{S_OK});
        EXPECT_EQ(m_player.GetDuration(), bByStop ? 0u : 3u);
        EXPECT_EQ(SUCCEEDED(m_player.Run()), !bByStop);
    }
}

void PostErrorAndConnect(GstElement* pRenderer)
{
    GError* pError = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE, "broken");
    gst_element_post_message(pRenderer, gst_message_new_error(GST_OBJECT(pRenderer), pError, ""));
    g_error_free(pError);
    gst_element_post_message(pRenderer, NewCallfeedNotification(NOTIFY_CLIENT_CONNECTED, 0));
}

// Through the audio server when there is one (scripts/with-services): the
// capture's start, the end of the file, then an error and the renderer's
// notices posted from another thread reach the callback in that order, all
// on this thread's main loop and none from inside a player call. What is
// still queued when the callback lets go, or the player goes, is never
// delivered: not to the callback, not through a player that is gone.
TEST(PlayerEventsTest, ReachTheCallbackInOrderOnTheMainLoopWhileItIsThere)
{
    CPlayerRig rig(std::getenv("PULSE_SERVER") != nullptr ? "pulsesink" : "fakesink sync=true");
    CRecordingCallback& callback = rig.m_callback;
    ASSERT_EQ(rig.m_player.Initialize(), S_OK);
    ASSERT_EQ(rig.m_player.Open(MakeMedia(rig.m_folder / "t.mp3", kMp3, 0.5)), S_OK);
    ASSERT_TRUE(SUCCEEDED(rig.m_player.Run()));
    EXPECT_TRUE(callback.m_order.empty()) << "reported before the main loop ran";
    ASSERT_TRUE(WaitDelivering([&] { return !callback.m_calls.empty(); }));

    std::thread([pRenderer = rig.m_player.Renderer()] {
        PostErrorAndConnect(pRenderer);
        gst_element_post_message(
            pRenderer,
            NewCallfeedNotification(NOTIFY_NETWORK_ERROR, static_cast<std::uint32_t>(E_FAIL)));
    }).join();
    const std::vector<std::string> expected{"notice 6", "completed", "failed", "notice 1",
                                            "notice 4"};
    EXPECT_TRUE(WaitDelivering([&] { return callback.m_order.size() >= expected.size(); }));
    EXPECT_EQ(callback.m_order, expected);
    EXPECT_EQ(callback.m_calls, (std::vector<HRESULT>{S_OK, VFW_E_INVALID_FILE_FORMAT}));
    EXPECT_EQ(callback.m_notices.back(), std::pair(4, static_cast<std::uint32_t>(E_FAIL)));
    EXPECT_FALSE(rig.m_player.LastErrorText().empty());
    EXPECT_EQ(callback.m_reasons, std::vector{rig.m_player.LastErrorText()});
    EXPECT_EQ(rig.m_player.LastError(), VFW_E_INVALID_FILE_FORMAT);
    EXPECT_EQ(callback.m_threads,
              std::vector(callback.m_threads.size(), std::this_thread::get_id()));

    // Left: queued reports are dropped.
    PostErrorAndConnect(rig.m_player.Renderer());
    rig.m_player.SetCallback(nullptr);
    DeliverEvents();
    EXPECT_EQ(callback.m_order, expected) << "delivered to a callback that was removed";
    auto pPlayer = std::make_unique<CDSPlayer>(&callback, "fakesink sync=true");
    pPlayer->SetServerPort(FreePort());
    ASSERT_EQ(pPlayer->Initialize(), S_OK);
    PostErrorAndConnect(pPlayer->Renderer());
    pPlayer.reset();
    DeliverEvents();
    EXPECT_EQ(callback.m_order, expected) << "delivered through a player that is gone";
}

// GStreamer keeps the first Callfeed plugin it meets (the build's here): a folder counts
// only when its plugin is that one, not when it has none or a copy of it (an installed
// package beside a build). A capture that cannot start fails Initialize, reported after
// it, and the player without a renderer refuses what needs one.
TEST(PlayerSetupTest, PluginFolderAndCaptureStart)
{
    CPlayerRig rig;
    EXPECT_FALSE(ScanPluginFolder(rig.m_folder)) << "no plugin there";
    fs::copy_file(fs::path(VOXREEL_PLUGIN_OUTPUT_DIR) / "libgstcallfeed.so",
                  rig.m_folder / "libgstcallfeed.so");
    EXPECT_FALSE(ScanPluginFolder(rig.m_folder)) << "a copy, hidden by the build's";
    EXPECT_TRUE(ScanPluginFolder(VOXREEL_PLUGIN_OUTPUT_DIR));

    setenv("VOXREEL_CAPTURE_SOURCE", "nosuchcapturesource", 1);
    EXPECT_TRUE(FAILED(rig.m_player.Initialize()));
    EXPECT_FALSE(rig.m_player.HasRenderer());
    EXPECT_FALSE(rig.m_player.SetRemoteBalance(0));
    EXPECT_FALSE(rig.m_player.SetRemoteVolume(10));
    EXPECT_EQ(rig.m_player.Open(MakeMedia(rig.m_folder / "t.wav", kWav, 0.5)), E_FAIL);
    rig.m_player.Close();
    EXPECT_TRUE(rig.m_callback.m_order.empty()) << "reported from inside Initialize";
    DeliverEvents();
    EXPECT_EQ(std::ranges::count(rig.m_callback.m_order,
                                 "notice " + std::to_string(NOTIFY_CAPTURE_ERROR)),
              1)
        << "why the start failed";
}

} // namespace
