// A test main with a QApplication on the offscreen platform, for tests of the
// real window.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The levels these tests check are the files' own: no loudness normalisation.
    setenv("VOXREEL_LOUDNESS_TARGET", "Off", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
