// The hand-over between the caller and the player's opening thread, without
// a pipeline, so that ThreadSanitizer sees all of it: jobs run in order on
// one other thread, WaitIdle tells a stalled job from a finished one, and
// what an opening wrote is the caller's once its end is popped.
#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

#include "file_opener.h"
#include "graph_events.h"
#include "voxreel_test_support.h"

using namespace std::chrono_literals;

TEST(OpeningHandoff, JobsRunInOrderOnOneThreadAndTheirWritesAreTheCallers)
{
    std::vector<int> order; // the jobs' own until WaitIdle returns true
    std::thread::id worker;
    std::promise<void> release;
    {
        CFileOpener opener;
        for (int i = 0; i < 3; ++i)
            opener.Post([&, i] {
                if (i == 0)
                    worker = std::this_thread::get_id();
                EXPECT_EQ(std::this_thread::get_id(), worker);
                order.push_back(i);
            });
        ASSERT_TRUE(opener.WaitIdle(10s));
        EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
        EXPECT_NE(worker, std::this_thread::get_id());

        opener.Post([released = release.get_future().share()] { released.wait(); });
        EXPECT_FALSE(opener.WaitIdle(50ms)); // stalled: the job cannot have ended
        release.set_value();
        EXPECT_TRUE(opener.WaitIdle(10s));

        auto pEvents = std::make_shared<CGraphEvents>();
        std::string strFile; // the opening's until its end is popped
        for (std::uint64_t nOpening = 1; nOpening <= 20; ++nOpening) {
            opener.Post([&, nOpening] {
                strFile = "file " + std::to_string(nOpening);
                pEvents->QueueOpened(nOpening, S_OK, {});
            });
            std::optional<CGraphEvent> event;
            ASSERT_TRUE(voxreel::test::WaitUntil(
                [&] { return (event = pEvents->PopEvent(true)).has_value(); }));
            EXPECT_EQ(event->m_kind, CGraphEvent::Kind::Opened);
            EXPECT_EQ(event->m_nOpening, nOpening);
            EXPECT_EQ(strFile, "file " + std::to_string(nOpening));
        }
        opener.Post([&] { order.push_back(3); }); // the destructor waits for it
    }
    EXPECT_EQ(order.back(), 3);
}
