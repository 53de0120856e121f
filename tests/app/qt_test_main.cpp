// A test main with a QApplication on the offscreen platform, for tests of the
// real window. With VOXREEL_RERUN_WITH_SERVICES defined, each run first re-runs
// itself under a private session bus and sound server of its own.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
#ifdef VOXREEL_RERUN_WITH_SERVICES
    if (getenv("VOXREEL_TEST_ISOLATED") == nullptr) {
        setenv("VOXREEL_TEST_ISOLATED", "1", 1);
        unsetenv("VOXREEL_SERVICES_UP");
        std::vector<char*> command{const_cast<char*>(VOXREEL_WITH_SERVICES)};
        command.insert(command.end(), argv, argv + argc + 1);
        execv(command[0], command.data());
        return 127;
    }
#endif
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The levels these tests check are the files' own: no loudness normalisation.
    setenv("VOXREEL_LOUDNESS_TARGET", "Off", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
