// The main of tests that need the session bus or the sound server to
// themselves: each run re-runs itself under services of its own (a private
// session bus and PulseAudio daemon), since the call client's discover
// signal is a broadcast and the sound server's devices are shared.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (getenv("VOXREEL_TEST_ISOLATED") == nullptr) {
        setenv("VOXREEL_TEST_ISOLATED", "1", 1);
        unsetenv("VOXREEL_SERVICES_UP");
        std::vector<char*> command{const_cast<char*>(VOXREEL_WITH_SERVICES)};
        command.insert(command.end(), argv, argv + argc + 1);
        execv(command[0], command.data());
        return 127;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The levels these tests check are the files' own: no loudness normalisation.
    setenv("VOXREEL_LOUDNESS_TARGET", "Off", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
