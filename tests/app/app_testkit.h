// Shared pieces of the window's tests: GStreamer with the Callfeed plugin,
// test media, a silent microphone and a quiet local output.
#pragma once

#include <QCoreApplication>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "../playlist/test_files.h"
#include "dsplayer.h"
#include "voxreel_test_support.h"

namespace apptest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline constexpr const char* kQuietSink = "fakesink sync=true";

inline void InitMedia()
{
    static const bool bReady = [] {
        setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 1);
        // The sound server is shared by tests running side by side; the tests
        // of the Voxreel microphone run with one of their own and turn it on.
        setenv("VOXREEL_VIRTUAL_MIC", "0", 0);
        voxreel::test::InitGstInProcess();
        return ScanPluginFolder(VOXREEL_PLUGIN_OUTPUT_DIR);
    }();
    (void)bReady;
}

inline constexpr auto& TempFolder = voxreel::test::MakeTempFolder;

// A WAV file of a tone (8 kHz mono keeps long files small).
inline fs::path MakeTone(const fs::path& path, double dSeconds, int nFreq = 440)
{
    const long nBuffers = static_cast<long>(dSeconds * 10);
    voxreel::test::RunLaunch("audiotestsrc freq=" + std::to_string(nFreq) +
                             " samplesperbuffer=800 num-buffers=" + std::to_string(nBuffers) +
                             " ! audio/x-raw,rate=8000,channels=1 ! wavenc ! filesink location=\"" +
                             path.string() + "\"");
    return path;
}

// The whole content of a file ("" when it cannot be read).
inline constexpr auto& ReadText = testfiles::ReadFile;

using voxreel::test::FreePort;

// A bounded wait that keeps the Qt event loop turning.
inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s)
{
    return voxreel::test::WaitUntil(
        [&] {
            QCoreApplication::processEvents();
            return condition();
        },
        timeout);
}

} // namespace apptest
