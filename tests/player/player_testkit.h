// Shared pieces of the player's tests: media made at test time, a recording
// callback, bounded waits that run the main loop the player reports from, and
// a player on a silent capture.
#pragma once

#include <gst/gst.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "../renderer/loopback_client.h"
#include "dsplayer.h"
#include "voxreel/gst_handle.h"
#include "voxreel_test_support.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using voxreel::test::RunLaunch;
using voxreel::test::WaitUntil;

// Encoders for MakeMedia.
constexpr const char* kWav = "wavenc";
constexpr const char* kMp3 = "lamemp3enc ! xingmux ! id3v2mux";
constexpr const char* kWma = "avenc_wmav2 ! avmux_asf";

// A file of dSeconds of a tone (freq 0: silence) at 44.1 kHz; strChannels
// ends the raw caps and may convert further.
inline std::filesystem::path MakeMedia(const std::filesystem::path& path, const char* pszEncoder,
                                       double dSeconds, int nFreq = 1000, double dVolume = 0.8,
                                       const std::string& strChannels = "channels=2")
{
    EXPECT_TRUE(RunLaunch(
        "audiotestsrc " + (nFreq == 0 ? "wave=silence" : "freq=" + std::to_string(nFreq)) +
        " volume=" + std::to_string(dVolume) + " samplesperbuffer=4410 num-buffers=" +
        std::to_string(std::lround(dSeconds * 10)) + " ! audio/x-raw,rate=44100," + strChannels +
        " ! audioconvert ! " + pszEncoder + " ! filesink location=\"" + path.string() + "\""));
    return path;
}

// Runs what is due on this thread's main loop, where the player reports.
inline void DeliverEvents()
{
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

// WaitUntil, with the player's reports delivered before each look.
inline bool WaitDelivering(const std::function<bool()>& condition,
                           std::chrono::milliseconds timeout = 10s)
{
    return WaitUntil([&] { return DeliverEvents(), condition(); }, timeout);
}

// Keeps what the player reports, in order, and on which thread.
class CRecordingCallback final : public CDSPlayerCallback {
public:
    void OnFileOpened(HRESULT hr) override
    {
        m_opened.push_back(hr);
        Record("opened");
    }
    void OnPlaybackCompleted() override
    {
        m_calls.push_back(S_OK);
        Record("completed");
        if (m_onCompleted)
            m_onCompleted();
    }
    void OnPlaybackFailed(HRESULT hr, const std::string& strReason) override
    {
        m_calls.push_back(hr);
        m_reasons.push_back(strReason);
        Record("failed");
    }
    void OnRendererNotice(int nCode, std::uint32_t nValue) override
    {
        m_notices.emplace_back(nCode, nValue);
        Record("notice " + std::to_string(nCode));
    }

    std::function<void()> m_onCompleted; // called at each completion
    std::vector<HRESULT> m_opened;       // the ends of asynchronous openings
    std::vector<HRESULT> m_calls;        // S_OK stands for a completion
    std::vector<std::string> m_reasons;
    std::vector<std::pair<int, std::uint32_t>> m_notices;
    std::vector<std::string> m_order; // every report, in the order it came
    std::vector<std::thread::id> m_threads;

private:
    void Record(std::string strWhat)
    {
        m_order.push_back(std::move(strWhat));
        m_threads.push_back(std::this_thread::get_id());
    }
};

// The player on a silent capture, its own port and the given local sink, with
// a scratch folder for the files a test makes. Initialize is the test's.
struct CPlayerRig {
    explicit CPlayerRig(const std::string& strLocalSink = "fakesink sync=true")
        : m_player(&m_callback, strLocalSink)
    {
        setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 1);
        voxreel::test::InitGstInProcess();
        ScanPluginFolder(VOXREEL_PLUGIN_OUTPUT_DIR);
        m_player.SetServerPort(m_nPort);
    }
    ~CPlayerRig() { std::filesystem::remove_all(m_folder); }

    // The names of the elements at the top of the player's pipeline.
    std::vector<std::string> TopElements() const
    {
        std::vector<std::string> names;
        CGstObjectPtr<GstObject> pGraph(gst_object_get_parent(GST_OBJECT(m_player.Renderer())));
        for (GList* p = GST_BIN_CHILDREN(GST_BIN(pGraph.get())); p != nullptr; p = p->next)
            names.emplace_back(GST_OBJECT_NAME(p->data));
        return names;
    }

    std::filesystem::path m_folder = voxreel::test::MakeTempFolder("player");
    int m_nPort = FreePort();
    CRecordingCallback m_callback;
    CDSPlayer m_player;
};

class PlayerFixture : public ::testing::Test, public CPlayerRig {
protected:
    void SetUp() override { ASSERT_EQ(m_player.Initialize(), S_OK); }
};
