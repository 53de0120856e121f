// The renderer element under GstHarness, and its control surface through
// the typed facade.
#include <gtest/gtest.h>

#include <gst/check/gstharness.h>

#include "callfeed_renderer_register.h"
#include "test_support.h"
#include "voxreel/callfeed_control.h"

namespace {

constexpr const char* kAccepted = "audio/x-raw,format=S16LE,rate=16000,channels=1,"
                                  "layout=interleaved";

class RendererElement : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GST_ELEMENT_REGISTER(callfeedrenderer, nullptr));
        m_pHarness = gst_harness_new("callfeedrenderer");
    }
    void TearDown() override { gst_harness_teardown(m_pHarness); }
    bool AcceptsCaps(const char* pszCaps)
    {
        GstPad* pSink = gst_element_get_static_pad(m_pHarness->element, "sink");
        GstCaps* pCaps = gst_caps_from_string(pszCaps);
        const bool bAccepted = gst_pad_query_accept_caps(pSink, pCaps) != FALSE;
        gst_caps_unref(pCaps);
        gst_object_unref(pSink);
        return bAccepted;
    }
    static int References(GstBuffer* pBuffer) { return GST_MINI_OBJECT_REFCOUNT_VALUE(pBuffer); }

    GstHarness* m_pHarness = nullptr;
};

class RendererCaps : public RendererElement, public testing::WithParamInterface<const char*> {};

TEST_P(RendererCaps, OnlySixteenKilohertzMonoSixteenBitIsAccepted)
{
    EXPECT_EQ(AcceptsCaps(GetParam()), std::string(GetParam()) == kAccepted) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RendererCaps,
    testing::Values(kAccepted, "audio/x-raw,format=S16LE,rate=44100,channels=1,layout=interleaved",
                    "audio/x-raw,format=S16LE,rate=16000,channels=2,layout=interleaved",
                    "audio/x-raw,format=S8,rate=16000,channels=1,layout=interleaved",
                    "audio/x-raw,format=U8,rate=16000,channels=1,layout=interleaved"));

TEST_F(RendererElement, PassesBuffersOnUnchangedAndQueuesThemUntilAFlush)
{
    gst_harness_set_src_caps_str(m_pHarness, kAccepted);
    std::vector<GstBuffer*> out;
    for (std::int16_t i = 0; i < 3; ++i) {
        CBufferPtr pIn = MakeBuffer(std::vector<std::int16_t>(800, i));
        GstBuffer* pExpected = pIn.get();
        ASSERT_EQ(gst_harness_push(m_pHarness, pIn.release()), GST_FLOW_OK);
        out.push_back(gst_harness_pull(m_pHarness));
        ASSERT_EQ(out.back(), pExpected) << "the same buffer, not a copy";
        CBufferMap map(out.back());
        EXPECT_EQ(Samples({map.Data(), map.Data() + map.Size()}),
                  std::vector<std::int16_t>(800, i));
    }
    EXPECT_TRUE(gst_harness_push_event(m_pHarness, gst_event_new_eos()));
    for (GstBuffer* pBuffer : out)
        EXPECT_EQ(References(pBuffer), 2) << "still queued after end of stream";
    EXPECT_TRUE(gst_harness_push_event(m_pHarness, gst_event_new_flush_start()));
    EXPECT_TRUE(gst_harness_push_event(m_pHarness, gst_event_new_flush_stop(TRUE)));
    for (GstBuffer* pBuffer : out) {
        EXPECT_EQ(References(pBuffer), 1) << "the flush released the queue's reference";
        gst_buffer_unref(pBuffer);
    }
}

TEST_F(RendererElement, ControlFacadeClampsAndChecksItsPointers)
{
    CCallfeedControl control(m_pHarness->element);
    int nValue = 0;
    EXPECT_EQ(control.GetPort(&nValue), S_OK);
    EXPECT_EQ(nValue, 17171);
    EXPECT_EQ(control.GetVolume(&nValue), S_OK);
    EXPECT_EQ(nValue, 255);
    const std::pair<int, int> balances[] = {{-1000, -127}, {500, 128}, {-127, -127}, {17, 17}};
    for (const auto& [nSet, nStored] : balances) {
        EXPECT_EQ(control.SetBalance(nSet), S_OK);
        EXPECT_EQ(control.GetBalance(&nValue), S_OK);
        EXPECT_EQ(nValue, nStored);
    }
    const std::pair<int, int> volumes[] = {{-5, 0}, {300, 255}, {128, 128}};
    for (const auto& [nSet, nStored] : volumes) {
        EXPECT_EQ(control.SetVolume(nSet), S_OK);
        EXPECT_EQ(control.GetVolume(&nValue), S_OK);
        EXPECT_EQ(nValue, nStored);
    }
    EXPECT_EQ(control.GetPort(nullptr), E_INVALIDARG);
    EXPECT_EQ(control.GetBalance(nullptr), E_POINTER);
    EXPECT_EQ(control.GetVolume(nullptr), E_POINTER);
    g_object_set(m_pHarness->element, "port", 70000, nullptr); // stored, nothing started
    EXPECT_EQ(control.GetPort(&nValue), S_OK);
    EXPECT_EQ(nValue, 70000);

    CCallfeedControl none(nullptr);
    EXPECT_EQ(none.StartTransmission(), E_POINTER);
    EXPECT_EQ(none.SetVolume(1), E_POINTER);
}

} // namespace
