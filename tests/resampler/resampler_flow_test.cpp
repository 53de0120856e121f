// Flow control: the output pool is bounded, so a downstream that holds every
// block holds upstream back until it lets one go, or a flush or stop wakes it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "resampler_support.h"
#include "voxreel_test_support.h"

namespace {

using voxreel::test::WaitUntil;

enum class Release { Blocks, Flush, Stop };
class ResamplerFlow : public testing::TestWithParam<Release> {};

// An upstream streaming thread pushes four blocks' worth and a little more, in
// one buffer, into an element with its own pool of two blocks.
TEST_P(ResamplerFlow, UpstreamWaitsWhileDownstreamHoldsEveryBlock)
{
    const Release release = GetParam();
    CHarnessPtr pHarness = NewResampler(PcmCaps(16000, 1), false);
    GstHarness* h = pHarness.get();
    std::atomic<GstFlowReturn> ret{GST_FLOW_CUSTOM_ERROR};
    const auto returned = [&] { return ret != GST_FLOW_CUSTOM_ERROR; };
    std::jthread upstream(
        [&] { ret = gst_harness_push(h, BufferFrom(Tone(16000, 1, 34000, 600, 9000), 0)); });
    for (guint nReleased = 0; nReleased < (release == Release::Blocks ? 3u : 1u); ++nReleased) {
        ASSERT_TRUE(WaitUntil([&] { return gst_harness_buffers_in_queue(h) == 2; }));
        EXPECT_FALSE(returned()) << "ran ahead after " << nReleased << " releases";
        EXPECT_EQ(gst_harness_buffers_received(h), 2 + nReleased);
        if (release == Release::Blocks)
            gst_buffer_unref(gst_harness_pull(h));
    }
    std::jthread waker([&] {
        if (release == Release::Flush)
            gst_harness_push_event(h, gst_event_new_flush_start());
        else if (release == Release::Stop)
            gst_element_set_state(h->element, GST_STATE_NULL);
    });
    ASSERT_TRUE(WaitUntil(returned));
    EXPECT_EQ(ret, release == Release::Blocks ? GST_FLOW_OK : GST_FLOW_FLUSHING);
}

INSTANTIATE_TEST_SUITE_P(BlocksFlushOrStop, ResamplerFlow,
                         testing::Values(Release::Blocks, Release::Flush, Release::Stop));

} // namespace
