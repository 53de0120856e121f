// The main of tests that need the session bus or the sound server to
// themselves (the call client's discover signal is a broadcast, and the sound
// server's devices are shared): each run re-runs itself under services of its own.
#define VOXREEL_RERUN_WITH_SERVICES
#include "qt_test_main.cpp"
