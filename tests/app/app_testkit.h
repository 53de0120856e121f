// Shared pieces of the window's tests: GStreamer with the Callfeed plugin,
// test media, a silent microphone and a quiet local output.
#pragma once

#include <QCoreApplication>

#include <gst/gst.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "dsplayer.h"
#include "voxreel_test_support.h"

namespace apptest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline constexpr const char* kQuietSink = "fakesink sync=true";

inline void InitMedia()
{
    static const bool bReady = [] {
        // Plugins load in this process: a forked scanner lacks the sanitizer runtime.
        setenv("GST_REGISTRY_FORK", "no", 1);
        setenv("VOXREEL_CAPTURE_SOURCE", "audiotestsrc is-live=true wave=silence", 1);
        // The sound server is shared by tests running side by side; the tests
        // of the Voxreel microphone run with one of their own and turn it on.
        setenv("VOXREEL_VIRTUAL_MIC", "0", 0);
        gst_init(nullptr, nullptr);
        return ScanPluginFolder(VOXREEL_PLUGIN_OUTPUT_DIR);
    }();
    (void)bReady;
}

inline fs::path TempFolder(const char* pszName)
{
    std::string strTemplate =
        (fs::temp_directory_path() / (std::string(pszName) + ".XXXXXX")).string();
    return mkdtemp(strTemplate.data());
}

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
inline std::string ReadText(const fs::path& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

using voxreel::test::FreePort;

// True when the port can be listened on again: nothing holds it.
inline bool PortIsFree(int nPort)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int nOn = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof nOn);
    sockaddr_in address{
        AF_INET, htons(static_cast<std::uint16_t>(nPort)), {htonl(INADDR_LOOPBACK)}, {}};
    const bool bFree = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                       listen(fd, 1) == 0;
    close(fd);
    return bFree;
}

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
