// A file whose source stalls (a FIFO nobody writes yet) in the real window:
// the window goes on answering and says that the file is opening; once data
// comes, the file plays and the word goes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "window_testkit.h"

using namespace apptest;

TEST_F(WindowTest, AFileWhoseSourceStallsLeavesTheWindowAnswering)
{
    const fs::path fifo = m_folder / "stalled.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string strTone = ReadText(MakeTone(m_folder / "tone.wav", 2.0)); // < a pipe's 64 KiB
    ::signal(SIGPIPE, SIG_IGN); // a reader may leave before the write

    CVoxreelDlg& dlg = Open();
    dlg.AddPaths({fifo}, true);
    // Only a window that answers gets to say so: the status comes from its tick.
    ASSERT_TRUE(WaitFor([&] { return Showed("Opening ..."); }));
    EXPECT_FALSE(dlg.Player().IsRunning());

    // GStreamer opens a FIFO twice (once to learn that it cannot seek, once
    // to read): each reader that waits gets the whole file.
    const auto feed = [&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0)
            return;
        (void)!::write(fd, strTone.data(), strTone.size());
        ::close(fd);
    };
    ASSERT_TRUE(WaitFor([&] {
        feed();
        return !dlg.Player().IsOpening();
    }));
    EXPECT_TRUE(WaitFor([&] { return dlg.Player().IsRunning(); }));
    EXPECT_EQ(Text(1019), "");
}
