#include <gtest/gtest.h>

#include <atomic>

#include "pacing_thread.h"
#include "test_support.h"

namespace {

TEST(PacingThread, TicksUntilStopAndStopWaitsForARunningTick)
{
    CPacingThread pacing;
    std::atomic<int> nTicks{0};
    std::atomic<bool> bInTick{false};
    ASSERT_EQ(pacing.Start(5ms,
                           [&] {
                               bInTick = true;
                               std::this_thread::sleep_for(2ms);
                               ++nTicks;
                               bInTick = false;
                           }),
              S_OK);
    EXPECT_NE(pacing.Start(5ms, [] {}), S_OK) << "one thread at a time";
    ASSERT_TRUE(WaitUntil([&] { return nTicks >= 3; }));
    ASSERT_TRUE(WaitUntil([&] { return bInTick.load(); }));
    pacing.Stop();
    EXPECT_FALSE(bInTick.load());
    const int nAfterStop = nTicks;
    pacing.Stop(); // a second stop is harmless
    EXPECT_EQ(nTicks, nAfterStop);
    ASSERT_EQ(pacing.Start(5ms, [&] { ++nTicks; }), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return nTicks > nAfterStop; }));
}

} // namespace
