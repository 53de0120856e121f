// Flow control: the output pool is bounded, so a downstream that holds every
// block holds upstream back, and flushing or stopping wakes it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "resampler_support.h"

namespace {

using namespace std::chrono_literals;

bool WaitFor(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Pushes one buffer of nBlocks blocks' worth of 16 kHz mono (and a little
// more) on its own thread, the way an upstream streaming thread would.
class CPusher {
public:
    CPusher(GstHarness* pHarness, int nBlocks)
        : m_thread([this, pHarness, nBlocks] {
              const Samples input = Tone(16000, 1, 8000 * nBlocks + 2000, 600, 9000);
              m_ret = gst_harness_push(pHarness, BufferFrom(input, 0));
              m_bReturned = true;
          })
    {
    }
    ~CPusher() { m_thread.join(); }
    bool Returned() const { return m_bReturned; }
    GstFlowReturn Result() const { return m_ret; }

private:
    std::atomic<GstFlowReturn> m_ret{GST_FLOW_OK};
    std::atomic<bool> m_bReturned{false};
    std::thread m_thread;
};

CHarnessPtr NewHarnessWithDefaultPool()
{
    EnsureResamplerRegistered();
    CHarnessPtr pHarness(gst_harness_new("callfeedresampler"));
    gst_harness_set_src_caps_str(pHarness.get(), PcmCaps(16000, 1).c_str());
    return pHarness;
}

TEST(ResamplerFlow, UpstreamWaitsWhileDownstreamHoldsEveryBlock)
{
    CHarnessPtr pHarness = NewHarnessWithDefaultPool();
    GstHarness* h = pHarness.get();
    CPusher pusher(h, 4);

    // The default pool has two blocks; the harness keeps what it receives.
    for (int nReleased = 0; nReleased < 3; ++nReleased) {
        ASSERT_TRUE(WaitFor([h] { return gst_harness_buffers_in_queue(h) == 2; }));
        EXPECT_FALSE(pusher.Returned()) << "upstream ran ahead after " << nReleased;
        EXPECT_EQ(gst_harness_buffers_received(h), 2u + nReleased);
        gst_buffer_unref(gst_harness_pull(h));
    }
    ASSERT_TRUE(WaitFor([&] { return pusher.Returned(); }));
    EXPECT_EQ(pusher.Result(), GST_FLOW_OK);
    EXPECT_EQ(gst_harness_buffers_received(h), 4u);
}

struct WakeCase {
    const char* pszName;
    void (*pWake)(GstHarness*);
};

class ResamplerWake : public testing::TestWithParam<WakeCase> {};

TEST_P(ResamplerWake, ReleasesAnUpstreamWaitingForABlock)
{
    CHarnessPtr pHarness = NewHarnessWithDefaultPool();
    GstHarness* h = pHarness.get();
    CPusher pusher(h, 4);
    ASSERT_TRUE(WaitFor([h] { return gst_harness_buffers_in_queue(h) == 2; }));

    std::atomic<bool> bWoken{false};
    std::thread waker([&] {
        GetParam().pWake(h);
        bWoken = true;
    });
    const bool bDone = WaitFor([&] { return bWoken && pusher.Returned(); });
    waker.join();
    ASSERT_TRUE(bDone);
    EXPECT_EQ(pusher.Result(), GST_FLOW_FLUSHING);
}

INSTANTIATE_TEST_SUITE_P(
    Wakes, ResamplerWake,
    testing::Values(
        WakeCase{"FlushStart",
                 [](GstHarness* h) { gst_harness_push_event(h, gst_event_new_flush_start()); }},
        WakeCase{"Stop", [](GstHarness* h) { gst_element_set_state(h->element, GST_STATE_NULL); }}),
    [](const testing::TestParamInfo<WakeCase>& param) { return param.param.pszName; });

} // namespace
