// Outputs that fail, never start or never take a buffer: reported once per
// start, and neither the port, the stop nor the way down to NULL waits for them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <string>

#include "audio_output.h"
#include "test_support.h"
#include "voxreel/callfeed_control.h"

namespace {

using voxreel::test::CSilentServer;

// The threads that start and stop outputs, alive in this process.
int OutputThreads()
{
    int nThreads = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string strName;
        nThreads += std::getline(comm, strName) && strName == "callfeed-output";
    }
    return nThreads;
}

constexpr const char* kNeverAnswered = "pulsesink server={server}";
constexpr const char* kNeverTakes = "appsink max-buffers=1 drop=false sync=false";

struct SOutputCase {
    const char* pszName;
    std::string strMixOutput;   // "{server}" stands for the silent server's address
    std::string strLocalOutput; // as above
    std::size_t nStuck;         // outputs that never start
    std::size_t nFailed;        // outputs that fail to start
};

const SOutputCase kOutputCases[] = {
    {"SoundServerSinks", "pulsesink", "pulsesink", 0, 0}, // needs scripts/with-services
    {"BothNeverAnswered", kNeverAnswered, kNeverAnswered, 2, 0},
    {"SinksThatNeverTakeABuffer", kNeverTakes, kNeverTakes, 0, 0},
    {"MissingAndFailingSinks", "nosuchsink", "filesink location=/nonexistent/voxreel/out", 0, 2},
};

class OutputStall : public testing::TestWithParam<SOutputCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(callmix::g_bRendererReady && m_server->IsListening());
        if (GetParam().strMixOutput == "pulsesink" && std::getenv("PULSE_SERVER") == nullptr)
            GTEST_SKIP() << "needs the sound server of scripts/with-services";
        g_object_set(m_pRenderer.get(), "port", m_nPort, "capture-source",
                     "audiotestsrc is-live=true wave=silence", "mix-output",
                     WithServer(GetParam().strMixOutput).c_str(), "local-output",
                     WithServer(GetParam().strLocalOutput).c_str(), nullptr);
    }
    // Whatever is still stuck fails: no thread outlives the test.
    void TearDown() override
    {
        m_server.reset();
        EXPECT_TRUE(WaitUntil([] { return OutputThreads() == 0; }))
            << "an output's thread never ended";
    }

    std::string WithServer(std::string strSink) const
    {
        if (const std::size_t nAt = strSink.find("{server}"); nAt != std::string::npos)
            strSink.replace(nAt, 8, m_server->Address());
        return strSink;
    }
    // True when work returns within 10 s; if not, the silent server is let go
    // so that the thread ends before what it uses.
    bool ReturnsSoon(std::function<void()> work)
    {
        std::packaged_task<void()> task(std::move(work));
        std::future<void> done = task.get_future();
        std::thread thread(std::move(task));
        const bool bReturned = done.wait_for(10s) == std::future_status::ready;
        if (!bReturned)
            m_server.reset();
        if (done.wait_for(60s) == std::future_status::ready)
            thread.join();
        else
            thread.detach();
        return bReturned;
    }
    // Sorted: an output starts on its own thread, and may fail before the capture.
    std::vector<int> SortedCodes(std::size_t n)
    {
        std::vector<int> codes = NextCodes(m_pBus.get(), n);
        std::sort(codes.begin(), codes.end());
        return codes;
    }

    const std::string m_strServerPath =
        testing::TempDir() + "voxreel-silent-" + std::to_string(getpid());
    std::optional<CSilentServer> m_server{m_strServerPath};
    int m_nPort = FreePort();
    CElementPtr m_pPipeline{gst_parse_launch(
        "audiotestsrc is-live=true samplesperbuffer=1600 ! "
        "audio/x-raw,format=S16LE,rate=16000,channels=1 ! callfeedrenderer name=renderer ! "
        "fakesink sync=false async=false "
        "audiotestsrc is-live=true samplesperbuffer=4800 ! "
        "audio/x-raw,format=S16LE,rate=48000,channels=2,layout=interleaved ! renderer.wide",
        nullptr)};
    CBusPtr m_pBus{gst_element_get_bus(m_pPipeline.get())};
    CElementPtr m_pRenderer{gst_bin_get_by_name(GST_BIN(m_pPipeline.get()), "renderer")};
    std::unique_ptr<CCallfeedControl> m_pControl =
        std::make_unique<CCallfeedControl>(m_pRenderer.get());
};

TEST_P(OutputStall, OutputsAreReportedOnceAndHoldNothingBack)
{
    std::vector<int> expected(GetParam().nFailed, NOTIFY_ERROR);
    expected.push_back(NOTIFY_CAPTURE_STARTED);
    expected.insert(expected.end(), GetParam().nStuck, NOTIFY_OUTPUT_NOT_STARTING);
    ASSERT_TRUE(ReturnsSoon([&] {
        EXPECT_EQ(m_pControl->StartTransmission(), S_OK);
        gst_element_set_state(m_pPipeline.get(), GST_STATE_PLAYING);
    })) << "starting waited for the outputs";
    EXPECT_EQ(SortedCodes(expected.size()), expected);

    CTestClient client;
    ASSERT_TRUE(client.Connect(m_nPort));
    EXPECT_EQ(NextCodes(m_pBus.get(), 1), std::vector<int>{NOTIFY_CLIENT_CONNECTED});
    // Longer than an output is given to start: one that starts says nothing.
    EXPECT_TRUE(client.Read(2 * 16000 * (CAudioOutput::kStartLimit.count() + 2), 30s))
        << "the port runs on";
    EXPECT_EQ(NextCodes(m_pBus.get(), 1, 0), std::vector<int>{}) << "nothing more to report";

    EXPECT_TRUE(ReturnsSoon([&] { EXPECT_EQ(m_pControl->StopTransmission(), S_OK); }))
        << "the stop waited for a stuck output";
    EXPECT_EQ(NextCodes(m_pBus.get(), 2),
              (std::vector<int>{NOTIFY_CLIENT_DISCONNECTED, NOTIFY_CAPTURE_STOPPED}));
    m_server.reset();
    ASSERT_TRUE(WaitUntil([] { return OutputThreads() == 0; }));
    EXPECT_EQ(NextCodes(m_pBus.get(), 1, 0), std::vector<int>{}) << "an abandoned output posted";

    // Once more, then the renderer's way down to NULL, as the player closes.
    m_server.emplace(m_strServerPath);
    ASSERT_TRUE(ReturnsSoon([&] { EXPECT_EQ(m_pControl->StartTransmission(), S_OK); }));
    EXPECT_EQ(SortedCodes(expected.size()), expected) << "posted once per start";
    EXPECT_TRUE(ReturnsSoon([&] {
        gst_element_set_state(m_pPipeline.get(), GST_STATE_NULL);
        m_pControl.reset();
        m_pRenderer.reset();
        m_pPipeline.reset();
    })) << "the renderer's way down waited for a stuck output";
}

INSTANTIATE_TEST_SUITE_P(Outputs, OutputStall, testing::ValuesIn(kOutputCases),
                         [](const auto& test) { return std::string(test.param.pszName); });

} // namespace
