// The main of tests that run the call client: each run has a session bus of
// its own, since the discover signal is a broadcast and players of other test
// processes on a shared bus would answer it.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (getenv("VOXREEL_TEST_BUS") == nullptr) {
        setenv("VOXREEL_TEST_BUS", "1", 1);
        std::vector<char*> command{const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
        command.insert(command.end(), argv, argv + argc + 1);
        execvp(command[0], command.data());
        return 127;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
