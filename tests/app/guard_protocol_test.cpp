// The guard's line protocol read from a socket in pieces, and the guard
// program started and ended from the program's side of the link.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "guard_link.h"
#include "guard_protocol.h"
#include "voxreel_test_support.h"

using namespace std::chrono_literals;

// Written five bytes at a time, the lines leave what is left to undo: undone
// switches and loads go, one made twice counts once, modules come the newest
// first, lines not understood change nothing; the end of the input ends the
// reading, and so does a clean exit while the writer lingers.
TEST(GuardLines, CrossASocketInPiecesAndLeaveWhatIsLeftToUndo)
{
    std::string lines = FormatGuardLine(GuardEvent::kCallSwitched, 5) +
                        FormatGuardLine(GuardEvent::kModuleLoaded, 70000) +
                        FormatGuardLine(GuardEvent::kCallReleased, 5);
    for (const char* pszLine :
         {"call-switched 12", "module-loaded 7", "call-switched 34", "module-loaded 8",
          "call-released 12", "module-loaded 9", "call-switched 12", "call-switched 12",
          "module-unloaded 8", "call-released 12", "module-loaded 9", "call-switched",
          "call-switched x", "call-switched -1", "call-switched 12 13", "module-loaded 99999999999",
          "switched 12", "clean-exit now", ""})
        lines += pszLine + std::string("\n");
    for (const bool bClean : {false, true}) {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        const std::string text = lines + (bClean ? FormatGuardLine(GuardEvent::kCleanExit) : "");
        std::thread writer([&] {
            for (std::size_t i = 0; i < text.size(); i += 5)
                ASSERT_GT(write(fds[0], &text[i], std::min<std::size_t>(5, text.size() - i)), 0);
            if (!bClean)
                close(fds[0]);
        });
        CUndoLedger ledger;
        ReadGuardLines(fds[1], ledger);
        writer.join();
        EXPECT_EQ(ledger.SwitchedCalls(), std::vector<std::int32_t>{34}) << bClean;
        EXPECT_EQ(ledger.LoadedModules(), (std::vector<std::uint32_t>{9, 7, 70000})) << bClean;
        EXPECT_EQ(ledger.IsCleanExit(), bClean);
        close(fds[1]);
        if (bClean)
            close(fds[0]);
    }
}

// A guard that cannot start is an error and its events go nowhere; the real
// one runs in a session of its own and ends at a clean exit. What it undoes
// is checked with the program.
TEST(GuardLink, TheGuardRunsApartAndEndsWhenTold)
{
    CGuardLink missing;
    EXPECT_NE(missing.Start("/nonexistent/voxreel-guard").find("cannot start"), std::string::npos);
    EXPECT_FALSE(missing.IsRunning());
    missing.CallSwitched(12);
    missing.CleanExit();
    CGuardLink link;
    ASSERT_EQ(link.Start(VOXREEL_GUARD_PATH), "");
    ASSERT_TRUE(link.IsRunning());
    const pid_t nGuard = link.GuardId();
    EXPECT_EQ(getsid(nGuard), nGuard);
    link.CleanExit();
    int nStatus = 0;
    ASSERT_TRUE(voxreel::test::WaitUntil(
        [&] { return waitpid(nGuard, &nStatus, WNOHANG) == nGuard; }, 10s));
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0);
}
