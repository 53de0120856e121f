// Opening on the player's own thread, against a source that stalls.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "player_testkit.h"

namespace fs = std::filesystem;

namespace {

using OpeningTest = PlayerFixture;

} // namespace

// A source that stalls (a FIFO nobody writes) holds only the opening thread:
// the player answers at once, and another file or Stop cancels the opening,
// whose end is then never reported. The FIFO lets go when a writer comes and
// leaves.
TEST_F(OpeningTest, AStalledOpeningHoldsNobodyAndIsCancelled)
{
    const fs::path fifo = m_folder / "stalled.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const fs::path tone = MakeMedia(m_folder / "tone.wav", Format::Wav, 3.0);
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
        if (bByStop)
            EXPECT_EQ(m_player.Stop(), S_OK);
        else
            EXPECT_EQ(m_player.OpenAsync(tone), S_FALSE);
        // A writer that comes and goes ends each of the two routes' opens.
        ASSERT_TRUE(WaitDelivering([&] {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
            return !m_player.IsOpening();
        }));
        EXPECT_TRUE(m_callback.m_calls.empty()) << "the stalled file's failure was reported";
        if (bByStop) {
            EXPECT_TRUE(m_callback.m_opened.empty());
            EXPECT_FALSE(m_player.IsRunning());
        } else {
            EXPECT_EQ(m_callback.m_opened, std::vector<HRESULT>{S_OK});
            EXPECT_EQ(m_player.GetDuration(), 3u);
            EXPECT_TRUE(SUCCEEDED(m_player.Run()));
        }
    }
}
