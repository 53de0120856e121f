// The guard's line protocol: what is left to undo after a run of lines, the
// lines carried over a real socket in pieces, and the guard program's start
// and clean end from the program's side of the link.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>

#include "guard_link.h"
#include "guard_protocol.h"
#include "voxreel_test_support.h"

using namespace std::chrono_literals;

namespace {

struct LedgerCase {
    const char* pszName;
    std::vector<std::string> lines;
    std::vector<std::int32_t> calls;
    std::vector<std::uint32_t> modules;
    bool bClean;
};

// clang-format off
const LedgerCase kLedgerCases[] = {
    {"SwitchedAndMade", {"call-switched 12", "module-loaded 7", "module-loaded 8"},
     {12}, {8, 7}, false},
    {"ReleasedCallsAreLeftAlone", {"call-switched 12", "call-switched 34", "call-released 12",
                                   "call-switched 12", "call-switched 12", "call-released 12"},
     {34}, {}, false},
    {"UnloadedModulesAreLeftAlone", {"module-loaded 7", "module-loaded 8", "module-unloaded 8",
                                     "module-unloaded 7", "module-loaded 9"},
     {}, {9}, false},
    {"CleanExit", {"call-switched 12", "module-loaded 7", "clean-exit"}, {12}, {7}, true},
    {"NotUnderstoodChangesNothing", {"call-switched", "call-switched x", "call-switched -1",
                                     "call-switched 12 13", "module-loaded 99999999999",
                                     "switched 12", "clean-exit now", ""},
     {}, {}, false},
};
// clang-format on

class Ledger : public ::testing::TestWithParam<LedgerCase> {};

} // namespace

TEST_P(Ledger, KeepsWhatIsLeftToUndo)
{
    CUndoLedger ledger;
    for (const std::string& line : GetParam().lines)
        ledger.Take(line);
    EXPECT_EQ(ledger.SwitchedCalls(), GetParam().calls);
    EXPECT_EQ(ledger.LoadedModules(), GetParam().modules);
    EXPECT_EQ(ledger.IsCleanExit(), GetParam().bClean);
}

INSTANTIATE_TEST_SUITE_P(Lines, Ledger, ::testing::ValuesIn(kLedgerCases),
                         [](const auto& test) { return std::string(test.param.pszName); });

// Written a few bytes at a time, read by the guard's reader: the end of the
// input ends the reading, and so does a clean exit while the writer lingers.
TEST(GuardLines, CrossASocketInPiecesAndStopAtTheEndOrACleanExit)
{
    for (const bool bClean : {false, true}) {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        std::string text = FormatGuardLine(GuardEvent::kCallSwitched, 12) +
                           FormatGuardLine(GuardEvent::kModuleLoaded, 70000) +
                           FormatGuardLine(GuardEvent::kCallSwitched, 34) +
                           FormatGuardLine(GuardEvent::kCallReleased, 34);
        if (bClean)
            text += FormatGuardLine(GuardEvent::kCleanExit);
        std::thread writer([&] {
            for (std::size_t i = 0; i < text.size(); i += 5)
                ASSERT_GT(write(fds[0], text.data() + i, std::min<std::size_t>(5, text.size() - i)),
                          0);
            if (!bClean)
                close(fds[0]);
        });
        CUndoLedger ledger;
        ReadGuardLines(fds[1], ledger);
        writer.join();
        EXPECT_EQ(ledger.SwitchedCalls(), std::vector<std::int32_t>{12}) << bClean;
        EXPECT_EQ(ledger.LoadedModules(), std::vector<std::uint32_t>{70000}) << bClean;
        EXPECT_EQ(ledger.IsCleanExit(), bClean);
        close(fds[1]);
        if (bClean)
            close(fds[0]);
    }
}

TEST(GuardLink, AMissingProgramIsAnErrorAndEventsGoNowhere)
{
    CGuardLink link;
    EXPECT_NE(link.Start("/nonexistent/voxreel-guard").find("cannot start"), std::string::npos);
    EXPECT_FALSE(link.IsRunning());
    link.CallSwitched(12);
    link.CleanExit();
}

// The real guard: in a session of its own, and gone at a clean exit or at
// the end of its input with nothing to undo, having done nothing.
TEST(GuardLink, TheGuardRunsApartAndEndsWhenToldOrWhenTheLinkEnds)
{
    for (const bool bClean : {true, false}) {
        std::optional<CGuardLink> link(std::in_place);
        ASSERT_EQ(link->Start(VOXREEL_GUARD_PATH), "");
        ASSERT_TRUE(link->IsRunning());
        const pid_t nGuard = link->GuardId();
        EXPECT_EQ(getsid(nGuard), nGuard);
        EXPECT_NE(getpgid(nGuard), getpgid(0));
        link->CallSwitched(12);
        link->CallReleased(12);
        if (bClean)
            link->CleanExit();
        else
            link.reset();
        int nStatus = 0;
        ASSERT_TRUE(voxreel::test::WaitUntil(
            [&] { return waitpid(nGuard, &nStatus, WNOHANG) == nGuard; }, 10s));
        EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0) << bClean;
    }
}
