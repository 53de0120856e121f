// Flow control: the output pool is bounded, so a downstream that holds every
// block holds upstream back, and a flush or a stop wakes it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "resampler_support.h"

namespace {

template <typename Condition> bool WaitFor(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return condition();
}

// An upstream streaming thread pushing four blocks' worth and a little more
// in one buffer into an element with the default pool of two blocks.
struct CPushingUpstream {
    CHarnessPtr pHarness = NewResampler(16000, 1, false);
    std::atomic<GstFlowReturn> ret{GST_FLOW_CUSTOM_ERROR};
    std::thread thread{[this] {
        ret = gst_harness_push(pHarness.get(), BufferFrom(Tone(16000, 1, 34000, 600, 9000), 0));
    }};
    ~CPushingUpstream() { thread.join(); }
    bool Returned() const { return ret != GST_FLOW_CUSTOM_ERROR; }
    bool DownstreamHoldsTwo() const { return gst_harness_buffers_in_queue(pHarness.get()) == 2; }
};

TEST(ResamplerFlow, UpstreamWaitsWhileDownstreamHoldsEveryBlock)
{
    CPushingUpstream upstream;
    for (guint nReleased = 0; nReleased < 3; ++nReleased) {
        ASSERT_TRUE(WaitFor([&] { return upstream.DownstreamHoldsTwo(); }));
        EXPECT_FALSE(upstream.Returned()) << "ran ahead after " << nReleased << " releases";
        EXPECT_EQ(gst_harness_buffers_received(upstream.pHarness.get()), 2 + nReleased);
        gst_buffer_unref(gst_harness_pull(upstream.pHarness.get()));
    }
    ASSERT_TRUE(WaitFor([&] { return upstream.Returned(); }));
    EXPECT_EQ(upstream.ret, GST_FLOW_OK);
}

class ResamplerWake : public testing::TestWithParam<bool> {};

TEST_P(ResamplerWake, FlushOrStopReleasesAnUpstreamWaitingForABlock)
{
    CPushingUpstream upstream;
    ASSERT_TRUE(WaitFor([&] { return upstream.DownstreamHoldsTwo(); }));
    GstHarness* h = upstream.pHarness.get();
    std::atomic<bool> bWoken{false};
    std::thread waker([&] {
        if (GetParam())
            gst_harness_push_event(h, gst_event_new_flush_start());
        else
            gst_element_set_state(h->element, GST_STATE_NULL);
        bWoken = true;
    });
    const bool bDone = WaitFor([&] { return bWoken && upstream.Returned(); });
    waker.join();
    ASSERT_TRUE(bDone);
    EXPECT_EQ(upstream.ret, GST_FLOW_FLUSHING);
}

INSTANTIATE_TEST_SUITE_P(FlushOrStop, ResamplerWake, testing::Bool());

} // namespace
