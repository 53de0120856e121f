// CDSPlayer on real pipelines: files made at test time, the Callfeed plugin
// from the build tree, a silent capture source and a fake local sink.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "player_testkit.h"
#include "voxreel/callfeed_control.h"
#include "voxreel/gst_hresult.h"

namespace fs = std::filesystem;

namespace {

class PlayerTest : public PlayerFixture {
protected:
    // Names of the elements at the pipeline's top level.
    std::vector<std::string> Elements()
    {
        std::vector<std::string> names;
        GstObject* pGraph = gst_object_get_parent(GST_OBJECT(m_player.Renderer()));
        for (GList* p = GST_BIN_CHILDREN(GST_BIN(pGraph)); p != nullptr; p = p->next)
            names.emplace_back(GST_OBJECT_NAME(p->data));
        gst_object_unref(pGraph);
        return names;
    }
    GstElement* Find(const char* pszName)
    {
        CGstObjectPtr<GstObject> pGraph(gst_object_get_parent(GST_OBJECT(m_player.Renderer())));
        CElementPtr pElement(gst_bin_get_by_name(GST_BIN(pGraph.get()), pszName));
        return pElement.get(); // identity only; the pipeline keeps it alive while loaded
    }
};

const std::vector<std::string> kOnlyRenderer{"SkypeAudioRenderer"};

// Also: opening the loaded path again changes nothing, even while running;
// the same file spelled in other letters is another file and is rebuilt.
TEST_F(PlayerTest, OpensEachFormatAndKeepsOnlyTheRendererBetweenFiles)
{
    for (auto [format, name] : {std::pair{Format::Wav, "a.wav"}, std::pair{Format::Mp3, "b.mp3"},
                                std::pair{Format::Wma, "c.WMA"}}) {
        SCOPED_TRACE(name);
        const fs::path path = MakeMedia(m_folder / name, format, 3.0);
        ASSERT_EQ(m_player.Open(path), S_OK) << m_player.LastErrorText();
        EXPECT_TRUE(m_player.IsPaused());
        EXPECT_EQ(m_player.GetPosition(), 0u);
        EXPECT_GE(m_player.GetDuration(), 2u);
        EXPECT_LE(m_player.GetDuration(), 3u);
        // Only the plain file route has a separate "Decoder" next to "Source".
        const std::vector<std::string> names = Elements();
        EXPECT_EQ(std::count(names.begin(), names.end(), "Decoder"), format == Format::Wma ? 0 : 1);
        GstElement* pSource = Find("Source");
        ASSERT_TRUE(SUCCEEDED(m_player.Run()));
        ASSERT_TRUE(WaitUntil([&] { return m_player.IsRunning(); }));
        EXPECT_EQ(m_player.Open(path), S_OK);
        EXPECT_EQ(Find("Source"), pSource);
        EXPECT_TRUE(m_player.IsRunning());
        std::string strUpper = name;
        std::transform(strUpper.begin(), strUpper.end(), strUpper.begin(), ::toupper);
        fs::copy_file(path, m_folder / strUpper);
        ASSERT_EQ(m_player.Open(m_folder / strUpper), S_OK);
        EXPECT_TRUE(m_player.IsPaused());
        m_player.Close();
        EXPECT_EQ(Elements(), kOnlyRenderer);
    }
}

TEST_F(PlayerTest, FailedOpensGiveDistinctCodesAndLeaveOnlyTheRenderer)
{
    // A MIDI file: its type is known, but no decoder is installed for it.
    const fs::path midi = m_folder / "song.mid";
    std::FILE* pFile = std::fopen(midi.c_str(), "wb");
    std::fwrite("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\4\0\xff\x2f\0", 1, 26, pFile);
    std::fclose(pFile);
    // A film without sound: a decodable stream, but none of it audio.
    const fs::path film = m_folder / "film.mkv";
    ASSERT_TRUE(RunLaunch("videotestsrc num-buffers=10 ! video/x-raw,width=64,height=48 ! "
                          "jpegenc ! matroskamux ! filesink location=\"" +
                          film.string() + "\""));
    const fs::path tone = MakeMedia(m_folder / "ok.wav", Format::Wav, 1.0);
    ASSERT_EQ(m_player.Open(tone), S_OK);
    const struct {
        fs::path path;
        HRESULT hr;
    } cases[] = {
        // A missing plain file and one of no known type: the failure texts'
        // and the leaks tests.
        {m_folder / "missing.Asf", HResultFromWin32(ERROR_FILE_NOT_FOUND)},
        {midi, VFW_E_UNSUPPORTED_STREAM},
        {film, VFW_E_CANNOT_CONNECT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(m_player.Open(c.path), c.hr);
        EXPECT_FALSE(m_player.LastErrorText().empty());
        EXPECT_EQ(Elements(), kOnlyRenderer);
        EXPECT_EQ(m_player.GetDuration(), 0u);
    }
    DeliverEvents();
    EXPECT_TRUE(m_callback.m_calls.empty()); // the open's own errors are not playback failures
    EXPECT_EQ(m_player.Open(tone), S_OK);    // and the next open starts clean
}

TEST_F(PlayerTest, WithoutAFileTheFileOperationsRefuseButTheVolumesWork)
{
    EXPECT_EQ(m_player.Run(), E_FAIL);
    EXPECT_EQ(m_player.Pause(), E_FAIL);
    EXPECT_EQ(m_player.Stop(), E_FAIL);
    EXPECT_FALSE(m_player.IsPaused());
    EXPECT_FALSE(m_player.IsRunning());
    EXPECT_EQ(m_player.GetDuration(), 0u);
    EXPECT_EQ(m_player.GetPosition(), 0u);
    EXPECT_FALSE(m_player.SetPosition(0));
    EXPECT_TRUE(m_player.SetLocalVolume(0));
    EXPECT_TRUE(m_player.SetRemoteVolume(300));
    EXPECT_TRUE(m_player.SetRemoteBalance(-500));
    int nVolume = 0;
    g_object_get(m_player.Renderer(), "volume", &nVolume, nullptr);
    EXPECT_EQ(nVolume, 255);
}

TEST_F(PlayerTest, PositionsAreInWholeSecondsAndBeyond32Bits)
{
    const fs::path longFile = MakeMedia(m_folder / "long.wav", Format::Wav, 601.0, 0);
    const fs::path shortFile = MakeMedia(m_folder / "short.wav", Format::Wav, 59.99, 0);
    ASSERT_EQ(m_player.Open(shortFile), S_OK);
    EXPECT_EQ(m_player.GetDuration(), 59u);
    ASSERT_EQ(m_player.Open(longFile), S_OK);
    EXPECT_EQ(m_player.GetDuration(), 601u);
    ASSERT_TRUE(m_player.SetPosition(600));
    EXPECT_TRUE(WaitUntil([&] { return m_player.GetPosition() == 600u; }));
}

// Also: the state reads follow Run, Pause and Stop.
TEST_F(PlayerTest, ToneReachesTheClientOnlyWhileRunning)
{
    ASSERT_EQ(m_player.Open(MakeMedia(m_folder / "tone.mp3", Format::Mp3, 5.0, 500)), S_OK);
    CTestClient client;
    ASSERT_TRUE(client.Connect(m_nPort));
    const auto readBlocks = [&](std::size_t nBlocks) {
        client.Read(client.m_received.size() + nBlocks * 4096);
    };
    readBlocks(6);
    EXPECT_EQ(client.Louder(0, 1000), 0u) << "opened, not running: the call hears nothing of it";
    ASSERT_TRUE(SUCCEEDED(m_player.Run()));
    EXPECT_TRUE(WaitUntil([&] { return m_player.IsRunning(); }));
    client.ReadUntil([&] { return client.Louder(0, 1000) > 16000; });
    std::size_t nFirstLoud = 0;
    while (std::abs(client.Sample(nFirstLoud)) <= 1000)
        ++nFirstLoud;
    // The file's 500 Hz at 0.8 of full scale, mixed at the centre balance.
    EXPECT_NEAR(client.ToneAmplitude(nFirstLoud + 2048, 500), 0.8 * 32767 * 127 / 256, 1000);

    // Paused, the call goes quiet once what was mixed before has left (a
    // whole silent block); a Stop then sends nothing of the file's start.
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
    ASSERT_EQ(m_player.Stop(), S_OK);
    EXPECT_FALSE(m_player.IsPaused()); // stopped is not paused
    EXPECT_FALSE(m_player.IsRunning());
    EXPECT_EQ(m_player.GetPosition(), 0u);
    const std::size_t nStopped = client.Samples();
    readBlocks(6);
    EXPECT_EQ(client.Louder(nStopped, 1000), 0u) << "stopped: the call hears nothing of the file";

    // Closed while the queue holds some of it, the file is not heard when
    // the next one runs.
    ASSERT_TRUE(SUCCEEDED(m_player.Run()));
    ASSERT_TRUE(client.ReadUntil([&] { return client.Louder(nStopped, 1000) > 0; }));
    m_player.Close();
    ASSERT_TRUE(readUntilQuiet());
    ASSERT_EQ(m_player.Open(MakeMedia(m_folder / "quiet.wav", Format::Wav, 3.0, 0)), S_OK);
    ASSERT_TRUE(SUCCEEDED(m_player.Run()));
    const std::size_t nNext = client.Samples();
    readBlocks(8);
    EXPECT_EQ(client.Louder(nNext, 1000), 0u) << "nothing of the closed file";
}

void PostError(GstElement* pRenderer)
{
    GError* pError = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE, "broken");
    gst_element_post_message(pRenderer, gst_message_new_error(GST_OBJECT(pRenderer), pError, ""));
    g_error_free(pError);
}

// Through the audio server when there is one (scripts/with-services): the
// capture's start, the end of the file, then an error and the renderer's
// notices posted from another thread reach the callback in that order, all
// on this thread's main loop and none from inside a player call.
TEST(PlayerEventsTest, ReachTheCallbackInOrderOnTheMainLoop)
{
    setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 1);
    InitGst();
    const fs::path folder = TempFolder();
    CRecordingCallback callback;
    CDSPlayer player(&callback,
                     std::getenv("PULSE_SERVER") != nullptr ? "pulsesink" : "fakesink sync=true");
    player.SetServerPort(FreePort());
    ASSERT_EQ(player.Initialize(), S_OK);
    ASSERT_EQ(player.Open(MakeMedia(folder / "t.mp3", Format::Mp3, 0.5)), S_OK);
    ASSERT_TRUE(SUCCEEDED(player.Run()));
    EXPECT_TRUE(callback.m_order.empty()) << "reported before the main loop ran";
    ASSERT_TRUE(WaitDelivering([&] { return !callback.m_calls.empty(); }));

    GstElement* pRenderer = player.Renderer();
    std::thread poster([pRenderer] {
        PostError(pRenderer);
        gst_element_post_message(pRenderer, NewCallfeedNotification(NOTIFY_CLIENT_CONNECTED, 0));
        gst_element_post_message(
            pRenderer,
            NewCallfeedNotification(NOTIFY_NETWORK_ERROR, static_cast<std::uint32_t>(E_FAIL)));
    });
    poster.join();
    const std::vector<std::string> expected{"notice 6", "completed", "failed", "notice 1",
                                            "notice 4"};
    EXPECT_TRUE(WaitDelivering([&] { return callback.m_order.size() >= expected.size(); }));
    EXPECT_EQ(callback.m_order, expected);
    EXPECT_EQ(callback.m_calls, (std::vector<HRESULT>{S_OK, VFW_E_INVALID_FILE_FORMAT}));
    EXPECT_EQ(callback.m_notices.back(), std::pair(4, static_cast<std::uint32_t>(E_FAIL)));
    ASSERT_EQ(callback.m_reasons.size(), 1u);
    EXPECT_FALSE(callback.m_reasons[0].empty());
    EXPECT_EQ(player.LastErrorText(), callback.m_reasons[0]);
    EXPECT_EQ(player.LastError(), VFW_E_INVALID_FILE_FORMAT);
    for (const std::thread::id& thread : callback.m_threads)
        EXPECT_EQ(thread, std::this_thread::get_id());
    fs::remove_all(folder);
}

// What is still queued when the callback lets go, or the player goes, is
// never delivered: not to the callback, not through a player that is gone.
TEST(PlayerEventsTest, NothingReachesACallbackThatLeft)
{
    setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 1);
    InitGst();
    enum class Leaving { CallbackRemoved, PlayerDestroyed };
    for (const Leaving leaving : {Leaving::CallbackRemoved, Leaving::PlayerDestroyed}) {
        SCOPED_TRACE(static_cast<int>(leaving));
        CRecordingCallback callback;
        auto pPlayer = std::make_unique<CDSPlayer>(&callback, "fakesink sync=true");
        pPlayer->SetServerPort(FreePort());
        ASSERT_EQ(pPlayer->Initialize(), S_OK);
        DeliverEvents();
        ASSERT_EQ(callback.m_order, std::vector<std::string>{"notice 6"});
        PostError(pPlayer->Renderer());
        gst_element_post_message(pPlayer->Renderer(),
                                 NewCallfeedNotification(NOTIFY_CLIENT_CONNECTED, 0));
        if (leaving == Leaving::CallbackRemoved)
            pPlayer->SetCallback(nullptr);
        else
            pPlayer.reset();
        DeliverEvents();
        EXPECT_EQ(callback.m_order, std::vector<std::string>{"notice 6"});
    }
}

TEST(PlayerSetupTest, WithoutThePluginNothingIsCreated)
{
    if (RunAloneInAChild())
        return;
    setenv("GST_REGISTRY", (fs::temp_directory_path() / "player-empty-registry.bin").c_str(), 1);
    InitGst(false);
    ASSERT_EQ(gst_registry_find_plugin(gst_registry_get(), kCallfeedPluginName), nullptr);
    CDSPlayer player(nullptr);
    EXPECT_EQ(player.Initialize(), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(player.HasRenderer());
    EXPECT_EQ(player.Open("/nowhere.mp3"), E_FAIL);
    EXPECT_FALSE(player.SetRemoteVolume(10));
    player.Close();
}

// GStreamer keeps the first Callfeed plugin it meets (the build's here); a
// folder only counts when its plugin is that one, not when it has none or a
// copy of the same name, as a package installed beside a build would be.
TEST(PlayerSetupTest, APluginFolderCountsOnlyWhenItsPluginIsTheOneInUse)
{
    InitGst();
    const fs::path folder = TempFolder();
    EXPECT_FALSE(ScanPluginFolder(folder)) << "no plugin there";
    fs::copy_file(fs::path(VOXREEL_PLUGIN_OUTPUT_DIR) / "libgstcallfeed.so",
                  folder / "libgstcallfeed.so");
    EXPECT_FALSE(ScanPluginFolder(folder)) << "a copy, hidden by the build's";
    EXPECT_TRUE(ScanPluginFolder(VOXREEL_PLUGIN_OUTPUT_DIR));
    fs::remove_all(folder);
}

TEST(PlayerSetupTest, ACaptureThatCannotStartFailsInitialize)
{
    setenv("VOXREEL_CAPTURE_SOURCE", "nosuchcapturesource", 1);
    InitGst();
    CRecordingCallback callback;
    CDSPlayer player(&callback);
    player.SetServerPort(FreePort());
    EXPECT_TRUE(FAILED(player.Initialize()));
    EXPECT_FALSE(player.HasRenderer());
    EXPECT_FALSE(player.SetRemoteBalance(0));
    EXPECT_TRUE(callback.m_notices.empty()) << "reported from inside Initialize";
    DeliverEvents(); // why the start failed is still reported
    EXPECT_EQ(callback.Notices(NOTIFY_CAPTURE_ERROR), 1u);
}

} // namespace
