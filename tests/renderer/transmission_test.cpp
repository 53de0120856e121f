// The renderer element transmitting for real: a live capture source, the
// server on loopback TCP, notifications on the bus.
#include <gtest/gtest.h>

#include <cstdlib>

#include "callfeed_renderer_register.h"
#include "send_ring.h"
#include "test_support.h"
#include "tone.h"
#include "voxreel/callfeed_control.h"

namespace {

constexpr std::uint64_t kWindow = 0x5EED;
constexpr const char* kMicrophone = "audiotestsrc is-live=true freq=1000 volume=0.5";

class Transmission : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GST_ELEMENT_REGISTER(callfeedrenderer, nullptr));
        m_nPort = FreePort();
        UseRenderer(gst_element_factory_make("callfeedrenderer", nullptr));
        gst_element_set_bus(m_pRenderer, m_pBus.get());
    }
    void TearDown() override
    {
        m_pControl.reset();
        if (m_pRenderer != nullptr)
            gst_object_unref(m_pRenderer);
    }
    void UseRenderer(GstElement* pRenderer)
    {
        m_pRenderer = GST_ELEMENT(gst_object_ref_sink(pRenderer));
        m_pControl = std::make_unique<CCallfeedControl>(m_pRenderer);
        g_object_set(m_pRenderer, "port", m_nPort, "capture-source", kMicrophone, nullptr);
        m_pControl->SetNotifyWindow(kWindow, WM_RENDERER_NOTIFY);
    }
    // The codes of the next n notifications (fewer when they do not come).
    std::vector<int> NextCodes(std::size_t n, GstClockTime timeout = 10 * GST_SECOND)
    {
        std::vector<int> codes;
        while (codes.size() < n) {
            CMessagePtr pMessage(
                gst_bus_timed_pop_filtered(m_pBus.get(), timeout, GST_MESSAGE_ELEMENT));
            CallfeedNotification notification;
            if (!pMessage)
                break;
            if (!ParseCallfeedNotification(pMessage.get(), &notification))
                continue;
            EXPECT_EQ(notification.m_nWindow, kWindow);
            EXPECT_EQ(notification.m_nMessage, WM_RENDERER_NOTIFY);
            codes.push_back(notification.m_nCode);
            m_values.push_back(notification.m_nValue);
        }
        return codes;
    }
    bool NothingPosted() { return NextCodes(1, 0).empty(); }

    int m_nPort = 0;
    CBusPtr m_pBus{gst_bus_new()};
    GstElement* m_pRenderer = nullptr;
    std::unique_ptr<CCallfeedControl> m_pControl;
    std::vector<std::uint32_t> m_values;
};

TEST_F(Transmission, ClientGetsTheMicrophoneInWholeBlocks)
{
    ASSERT_EQ(m_pControl->StartTransmission(), S_OK);
    EXPECT_EQ(NextCodes(1), std::vector<int>{NOTIFY_CAPTURE_STARTED});
    EXPECT_EQ(m_pControl->StartTransmission(), S_FALSE) << "a running transmission is kept";
    CTestClient client, intruder;
    ASSERT_TRUE(client.Connect(m_nPort));
    EXPECT_EQ(NextCodes(1), std::vector<int>{NOTIFY_CLIENT_CONNECTED});
    ASSERT_TRUE(intruder.Connect(m_nPort));
    EXPECT_TRUE(intruder.WaitClosed());

    std::vector<std::uint8_t> data;
    ASSERT_TRUE(client.Read(data, 6 * kBlockBytes, 30s));
    const auto samples = Samples(data);
    const std::vector<std::int16_t> window(samples.begin() + 2 * kBlockSamples,
                                           samples.begin() + 6 * kBlockSamples);
    // 512 whole cycles of 1000 Hz at 16 kHz, at the source's own level.
    EXPECT_NEAR(ToneAmplitude(window, 1000), 0.5 * 32767, 0.03 * 16383);
    EXPECT_LT(ToneAmplitude(window, 1100), 300);

    EXPECT_EQ(m_pControl->StopTransmission(), S_OK);
    EXPECT_EQ(NextCodes(2), (std::vector<int>{NOTIFY_CLIENT_DISCONNECTED, NOTIFY_CAPTURE_STOPPED}));
    EXPECT_FALSE(client.Read(data, SIZE_MAX, 10s)) << "closed by the stop";
    EXPECT_EQ(data.size() % kBlockBytes, 0u);
    EXPECT_TRUE(NothingPosted()) << "the intruder was closed silently";
}

TEST_F(Transmission, PortTakenGivesNetworkErrorAndFail)
{
    const int fd = Listen(m_nPort); // another program's listener
    EXPECT_EQ(m_pControl->StartTransmission(), E_FAIL);
    EXPECT_EQ(NextCodes(1), std::vector<int>{NOTIFY_NETWORK_ERROR});
    EXPECT_EQ(m_values.back(), static_cast<std::uint32_t>(E_FAIL));
    close(fd);
}

struct BadCapture {
    const char* pszProperty;
    const char* pszEnvironment;
    friend std::ostream& operator<<(std::ostream& out, const BadCapture& c)
    {
        return out << c.pszProperty << " / " << (c.pszEnvironment ? c.pszEnvironment : "-");
    }
};

class CaptureFailure : public Transmission, public testing::WithParamInterface<BadCapture> {};

TEST_P(CaptureFailure, GivesCaptureErrorAndLeavesNothingRunning)
{
    g_object_set(m_pRenderer, "capture-source", GetParam().pszProperty, nullptr);
    if (GetParam().pszEnvironment != nullptr)
        setenv("VOXREEL_CAPTURE_SOURCE", GetParam().pszEnvironment, 1);
    const HRESULT hr = m_pControl->StartTransmission();
    unsetenv("VOXREEL_CAPTURE_SOURCE");
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(NextCodes(2), (std::vector<int>{NOTIFY_CLIENT_DISCONNECTED, NOTIFY_CAPTURE_ERROR}));
    EXPECT_EQ(m_values.back(), static_cast<std::uint32_t>(hr));
    CTestClient client;
    EXPECT_FALSE(client.Connect(m_nPort)) << "the server was stopped again";
}

INSTANTIATE_TEST_SUITE_P(
    Sources, CaptureFailure,
    testing::Values(BadCapture{"nosuchsource", nullptr},
                    BadCapture{"filesrc location=/nonexistent/voxreel ! wavparse", nullptr},
                    BadCapture{kMicrophone, "nosuchsource"}));

TEST_F(Transmission, SetPortMovesTheServerAndDestructionReportsItsEnd)
{
    const int nOtherPort = FreePort();
    EXPECT_EQ(m_pControl->SetPort(m_nPort), S_OK);
    EXPECT_TRUE(NothingPosted()) << "a server start posts nothing";
    CTestClient first;
    ASSERT_TRUE(first.Connect(m_nPort));
    EXPECT_EQ(NextCodes(1), std::vector<int>{NOTIFY_CLIENT_CONNECTED});
    EXPECT_EQ(m_pControl->SetPort(nOtherPort), S_OK);
    EXPECT_EQ(NextCodes(1), std::vector<int>{NOTIFY_CLIENT_DISCONNECTED});
    EXPECT_TRUE(first.WaitClosed());
    CTestClient stale, moved;
    EXPECT_FALSE(stale.Connect(m_nPort));
    ASSERT_TRUE(moved.Connect(nOtherPort));
    EXPECT_EQ(NextCodes(1), std::vector<int>{NOTIFY_CLIENT_CONNECTED});
    int nPort = 0;
    EXPECT_EQ(m_pControl->GetPort(&nPort), S_OK);
    EXPECT_EQ(nPort, nOtherPort);

    m_pControl.reset();
    gst_object_unref(m_pRenderer);
    m_pRenderer = nullptr;
    EXPECT_EQ(NextCodes(2, GST_SECOND), std::vector<int>{NOTIFY_CLIENT_DISCONNECTED})
        << "destruction ends the server, and posts no stop";
}

TEST_F(Transmission, WithoutAWindowNothingIsPosted)
{
    m_pControl->SetNotifyWindow(0, WM_RENDERER_NOTIFY);
    EXPECT_EQ(m_pControl->StopTransmission(), S_OK);
    EXPECT_TRUE(NothingPosted());
}

struct MixLevels {
    int nBalance, nVolume;
    friend std::ostream& operator<<(std::ostream& out, const MixLevels& l)
    {
        return out << "balance " << l.nBalance << " volume " << l.nVolume;
    }
};

class FullPipeline : public Transmission, public testing::WithParamInterface<MixLevels> {};

// Playback at 500 Hz and a microphone at 1250 Hz: the stream carries both
// at the levels the balance and volume give.
TEST_P(FullPipeline, StreamCarriesTheMixOfPlaybackAndMicrophone)
{
    GError* pError = nullptr;
    GstElement* pPipeline =
        gst_parse_launch("audiotestsrc num-buffers=50 samplesperbuffer=1600 freq=500 volume=0.5 ! "
                         "audio/x-raw,format=S16LE,rate=16000,channels=1 ! audioconvert ! "
                         "callfeedrenderer name=renderer ! fakesink sync=false",
                         &pError);
    ASSERT_EQ(pError, nullptr);
    CElementPtr pOwner(pPipeline);
    gst_object_unref(m_pRenderer);
    m_pControl.reset();
    UseRenderer(gst_bin_get_by_name(GST_BIN(pPipeline), "renderer"));
    gst_object_unref(m_pRenderer); // the one from get_by_name; the sink took one more
    g_object_set(m_pRenderer, "capture-source", "audiotestsrc is-live=true freq=1250 volume=0.3",
                 nullptr);
    m_pControl->SetBalance(GetParam().nBalance);
    m_pControl->SetVolume(GetParam().nVolume);
    CBusPtr pBus(gst_element_get_bus(pPipeline));
    m_pBus.reset(GST_BUS(gst_object_ref(pBus.get())));

    ASSERT_EQ(m_pControl->StartTransmission(), S_OK);
    CTestClient client;
    ASSERT_TRUE(client.Connect(m_nPort));
    std::vector<std::uint8_t> data;
    ASSERT_TRUE(client.Read(data, kBlockBytes, 30s));
    // Five seconds of playback go into the queue at once and stay there.
    gst_element_set_state(pPipeline, GST_STATE_PLAYING);
    CMessagePtr pEnd(gst_bus_timed_pop_filtered(
        pBus.get(), 10 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    ASSERT_TRUE(pEnd && GST_MESSAGE_TYPE(pEnd.get()) == GST_MESSAGE_EOS);
    data.clear();
    ASSERT_TRUE(client.Read(data, 11 * kBlockBytes, 30s));
    const auto samples = Samples(data);
    const std::vector<std::int16_t> window(samples.end() - 8 * kBlockSamples, samples.end());

    const auto [b, v] = GetParam();
    const double dPlayback = 0.5 * 32767 * (b + 127) / 256 * v / 256;
    const double dMicrophone = 0.3 * 32767 * (128 - b) / 256 * v / 256;
    EXPECT_NEAR(ToneAmplitude(window, 500), dPlayback, 0.01 * dPlayback + 20);
    EXPECT_NEAR(ToneAmplitude(window, 1250), dMicrophone, 0.01 * dMicrophone + 20);
    m_pControl->StopTransmission();
    gst_element_set_state(pPipeline, GST_STATE_NULL);
    m_pRenderer = GST_ELEMENT(gst_object_ref(m_pRenderer)); // TearDown drops it again
}

INSTANTIATE_TEST_SUITE_P(Levels, FullPipeline,
                         testing::Values(MixLevels{0, 255}, MixLevels{64, 128},
                                         MixLevels{-127, 255}));

} // namespace
