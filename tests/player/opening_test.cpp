// Opening on the player's own thread, against a source that stalls.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "player_testkit.h"

using OpeningTest = PlayerFixture;

// A source that stalls (a FIFO nobody writes) holds only the opening thread:
// the player answers at once, and another file or Stop cancels the opening,
// whose end is then never reported. The FIFO lets go when a writer comes and
// leaves.
TEST_F(OpeningTest, AStalledOpeningHoldsNobodyAndIsCancelled)
{
    const std::filesystem::path fifo = m_folder / "stalled.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::filesystem::path tone = MakeMedia(m_folder / "tone.wav", kWav, 3.0);
    for (const bool bByStop : {false, true}) {
        SCOPED_TRACE(bByStop ? "cancelled by Stop" : "cancelled by another file");
        m_callback.m_opened.clear();
        m_callback.m_calls.clear();
        m_player.Close();
        ASSERT_EQ(m_player.OpenAsync(fifo), S_FALSE);
        ASSERT_TRUE(WaitUntil([&] { return m_player.IsOpening(); }));
        EXPECT_FALSE(m_player.IsRunning());
        EXPECT_EQ(m_player.GetPosition(), 0u);
        EXPECT_FALSE(SUCCEEDED(m_player.Run())); // nothing to run yet
        EXPECT_EQ(bByStop ? m_player.Stop() : m_player.OpenAsync(tone), bByStop ? S_OK : S_FALSE);
        // A writer that comes and goes ends each of the two routes' opens.
        ASSERT_TRUE(WaitDelivering([&] {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
            return !m_player.IsOpening();
        }));
        EXPECT_TRUE(m_callback.m_calls.empty()) << "the stalled file's failure was reported";
        EXPECT_EQ(m_callback.m_opened, bByStop ? std::vector<HRESULT>{} : std::vector{S_OK});
        EXPECT_EQ(m_player.GetDuration(), bByStop ? 0u : 3u);
        EXPECT_EQ(SUCCEEDED(m_player.Run()), !bByStop);
    }
}
