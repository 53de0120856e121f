// Outputs whose sink never starts: a sound server that takes the connection
// and never answers, and a sink stuck in its state change or on its
// streaming thread until the test lets it go. The renderer reports the
// output, the call's port runs on, and neither the stop of the transmission
// nor the renderer's way down to NULL waits for the stuck sink. Outputs that
// do start change nothing.
#include <gtest/gtest.h>

#include <gst/base/gstbasesink.h>

#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <string>

#include "audio_output.h"
#include "test_support.h"
#include "voxreel/callfeed_control.h"

namespace {

// Holds the stuck sinks until opened; counts the sinks alive, so that a test
// knows when the threads left holding them have finished.
class CStallGate {
public:
    void Wait()
    {
        std::unique_lock lock(m_mutex);
        m_opened.wait(lock, [this] { return m_bOpen; });
    }
    void Open()
    {
        {
            std::lock_guard lock(m_mutex);
            m_bOpen = true;
        }
        m_opened.notify_all();
    }
    void Close()
    {
        std::lock_guard lock(m_mutex);
        m_bOpen = false;
    }
    std::atomic<int> m_nLive{0};

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_bOpen = false; // guarded by m_mutex
};

CStallGate g_gate;

} // namespace

// A sink that stalls until the gate opens and then fails: in its state change
// to PAUSED (a sound server that never answers the connection), or, with
// in-stream, on its streaming thread when the caps come (a stream the server
// never starts, which also keeps the pipeline from going down).
G_DECLARE_FINAL_TYPE(VoxreelStallSink, voxreel_stall_sink, VOXREEL, STALL_SINK, GstBaseSink)
struct _VoxreelStallSink {
    GstBaseSink m_parent;
    gboolean m_bInStream;
};
G_DEFINE_TYPE(VoxreelStallSink, voxreel_stall_sink, GST_TYPE_BASE_SINK)

namespace {

GstStaticPadTemplate g_stallSinkPad =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);

GstStateChangeReturn StallChangeState(GstElement* pElement, GstStateChange transition)
{
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED &&
        !VOXREEL_STALL_SINK(pElement)->m_bInStream) {
        g_gate.Wait();
        return GST_STATE_CHANGE_FAILURE;
    }
    return GST_ELEMENT_CLASS(voxreel_stall_sink_parent_class)->change_state(pElement, transition);
}

gboolean StallSetCaps(GstBaseSink* pSink, GstCaps* /*pCaps*/)
{
    if (!VOXREEL_STALL_SINK(pSink)->m_bInStream)
        return TRUE;
    g_gate.Wait();
    return FALSE;
}

GstFlowReturn StallRender(GstBaseSink* /*pSink*/, GstBuffer* /*pBuffer*/)
{
    return GST_FLOW_OK;
}

void StallSetProperty(GObject* pObject, guint /*nId*/, const GValue* pValue, GParamSpec* /*pSpec*/)
{
    VOXREEL_STALL_SINK(pObject)->m_bInStream = g_value_get_boolean(pValue);
}

void StallGetProperty(GObject* pObject, guint /*nId*/, GValue* pValue, GParamSpec* /*pSpec*/)
{
    g_value_set_boolean(pValue, VOXREEL_STALL_SINK(pObject)->m_bInStream);
}

void StallFinalize(GObject* pObject)
{
    --g_gate.m_nLive;
    G_OBJECT_CLASS(voxreel_stall_sink_parent_class)->finalize(pObject);
}

} // namespace

static void voxreel_stall_sink_class_init(VoxreelStallSinkClass* pClass)
{
    GObjectClass* pObjectClass = G_OBJECT_CLASS(pClass);
    pObjectClass->set_property = StallSetProperty;
    pObjectClass->get_property = StallGetProperty;
    pObjectClass->finalize = StallFinalize;
    g_object_class_install_property(
        pObjectClass, 1,
        g_param_spec_boolean("in-stream", "In stream", "Stalls on the streaming thread", FALSE,
                             GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    GstElementClass* pElementClass = GST_ELEMENT_CLASS(pClass);
    pElementClass->change_state = StallChangeState;
    gst_element_class_set_static_metadata(pElementClass, "Stall sink", "Sink/Audio",
                                          "Never starts until the test lets it", "Voxreel");
    gst_element_class_add_static_pad_template(pElementClass, &g_stallSinkPad);
    GstBaseSinkClass* pSinkClass = GST_BASE_SINK_CLASS(pClass);
    pSinkClass->set_caps = StallSetCaps;
    pSinkClass->render = StallRender;
}

static void voxreel_stall_sink_init(VoxreelStallSink* /*pSelf*/)
{
    ++g_gate.m_nLive;
}

namespace {

const bool g_bStallSinkReady = gst_element_register(nullptr, "voxreelstallsink", GST_RANK_NONE,
                                                    voxreel_stall_sink_get_type()) != FALSE;

using voxreel::test::CSilentServer;

// The threads that start and stop outputs, alive in this process.
int OutputThreads()
{
    int nThreads = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string strName;
        if (std::getline(comm, strName) && strName == "callfeed-output")
            ++nThreads;
    }
    return nThreads;
}

// Runs work on a thread of its own and gives it 10 s: true when it returned
// by then. When it did not, the stuck sinks are let go, and the thread is
// waited for a while longer so that it does not outlive what it uses.
bool ReturnsSoon(std::function<void()> work)
{
    std::packaged_task<void()> task(std::move(work));
    std::future<void> done = task.get_future();
    std::thread thread(std::move(task));
    const bool bReturned = done.wait_for(10s) == std::future_status::ready;
    if (!bReturned)
        g_gate.Open();
    if (done.wait_for(60s) == std::future_status::ready)
        thread.join();
    else
        thread.detach();
    return bReturned;
}

constexpr const char* kNullSink = "fakesink sync=true";

struct SOutputCase {
    const char* pszName;
    std::string strMixOutput;   // "{server}" stands for the silent server's address
    std::string strLocalOutput; // as above
    int nStuck;                 // outputs that never start
    bool bNeedsSoundServer;     // the private sound server of scripts/with-services
};

void PrintTo(const SOutputCase& c, std::ostream* pOut)
{
    *pOut << c.pszName;
}

const SOutputCase kOutputCases[] = {
    {"NullSinks", kNullSink, kNullSink, 0, false},
    {"SoundServerSinks", "pulsesink", "pulsesink", 0, true},
    {"ServerThatNeverAnswers", kNullSink, "pulsesink server={server}", 1, false},
    {"BothStuckInTheirStateChange", "voxreelstallsink", "voxreelstallsink", 2, false},
    {"StuckOnItsStreamingThread", kNullSink, "voxreelstallsink in-stream=true", 1, false},
};

class OutputStall : public testing::TestWithParam<SOutputCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(g_bGstReady && g_bStallSinkReady);
        ASSERT_TRUE(m_server.IsListening());
        if (GetParam().bNeedsSoundServer && std::getenv("PULSE_SERVER") == nullptr)
            GTEST_SKIP() << "needs the sound server of scripts/with-services";
        g_gate.Close();
        m_pRenderer.reset(gst_bin_get_by_name(GST_BIN(m_pPipeline.get()), "renderer"));
        m_pControl = std::make_unique<CCallfeedControl>(m_pRenderer.get());
        g_object_set(m_pRenderer.get(), "port", m_nPort, "capture-source",
                     "audiotestsrc is-live=true wave=silence", "mix-output",
                     WithServer(GetParam().strMixOutput).c_str(), "local-output",
                     WithServer(GetParam().strLocalOutput).c_str(), nullptr);
    }
    void TearDown() override
    {
        // Whatever is still stuck finishes: no thread outlives the test.
        g_gate.Open();
        m_server.Close();
        EXPECT_TRUE(WaitUntil([] { return g_gate.m_nLive.load() == 0 && OutputThreads() == 0; }))
            << "an output's thread never ended";
    }

    std::string WithServer(std::string strSink) const
    {
        if (const std::size_t nAt = strSink.find("{server}"); nAt != std::string::npos)
            strSink.replace(nAt, 8, m_server.Address());
        return strSink;
    }
    // The codes of the renderer's next notifications, up to n.
    std::vector<int> NextCodes(std::size_t n, GstClockTime timeout = 10 * GST_SECOND)
    {
        std::vector<int> codes;
        for (const CallfeedNotification& notification : NextNotifications(m_pBus.get(), n, timeout))
            codes.push_back(notification.m_nCode);
        return codes;
    }

    CSilentServer m_server{testing::TempDir() + "voxreel-silent-" + std::to_string(getpid())};
    int m_nPort = FreePort();
    // A file playing: the same tone at the call's rate and at full band.
    CElementPtr m_pPipeline{gst_parse_launch(
        "audiotestsrc is-live=true samplesperbuffer=1600 ! "
        "audio/x-raw,format=S16LE,rate=16000,channels=1 ! callfeedrenderer name=renderer ! "
        "fakesink sync=false async=false "
        "audiotestsrc is-live=true samplesperbuffer=4800 ! "
        "audio/x-raw,format=S16LE,rate=48000,channels=2,layout=interleaved ! renderer.wide",
        nullptr)};
    CBusPtr m_pBus{gst_element_get_bus(m_pPipeline.get())};
    CElementPtr m_pRenderer;
    std::unique_ptr<CCallfeedControl> m_pControl;
};

TEST_P(OutputStall, StuckOutputsAreReportedAndHoldNothingBack)
{
    const int nStuck = GetParam().nStuck;
    ASSERT_TRUE(ReturnsSoon([&] {
        EXPECT_EQ(m_pControl->StartTransmission(), S_OK);
        gst_element_set_state(m_pPipeline.get(), GST_STATE_PLAYING);
    })) << "starting waited for the outputs";
    std::vector<int> expected{NOTIFY_CAPTURE_STARTED};
    expected.insert(expected.end(), static_cast<std::size_t>(nStuck), NOTIFY_OUTPUT_NOT_STARTING);
    EXPECT_EQ(NextCodes(expected.size()), expected);

    CTestClient client;
    ASSERT_TRUE(client.Connect(m_nPort));
    EXPECT_EQ(NextCodes(1), std::vector<int>{NOTIFY_CLIENT_CONNECTED});
    // Longer than an output is given to start: one that starts says nothing.
    EXPECT_TRUE(client.Read(2 * 16000 * (CAudioOutput::kStartLimit.count() + 2), 30s))
        << "the port runs on";
    EXPECT_EQ(NextCodes(1, 0), std::vector<int>{}) << "nothing more to report";

    EXPECT_TRUE(ReturnsSoon([&] { EXPECT_EQ(m_pControl->StopTransmission(), S_OK); }))
        << "the stop waited for a stuck output";
    EXPECT_EQ(NextCodes(2), (std::vector<int>{NOTIFY_CLIENT_DISCONNECTED, NOTIFY_CAPTURE_STOPPED}));
    // Let go, the stuck sinks fail; their abandoned pipelines report nothing.
    g_gate.Open();
    ASSERT_TRUE(WaitUntil([] { return g_gate.m_nLive.load() == 0; }));
    EXPECT_EQ(NextCodes(1, 0), std::vector<int>{}) << "an abandoned output posted";

    // Once more, now leaving the renderer to its way down to NULL and its
    // disposal, as the player does at closing.
    g_gate.Close();
    ASSERT_TRUE(ReturnsSoon([&] { EXPECT_EQ(m_pControl->StartTransmission(), S_OK); }));
    EXPECT_EQ(NextCodes(expected.size()), expected);
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
