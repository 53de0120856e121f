// Shared pieces of the player's tests: media made at test time, a recording
// notify window and callback, a loopback client and bounded waits.
#pragma once

#include <gst/gst.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dsplayer.h"
#include "voxreel/gst_handle.h"
#include "voxreel_test_support.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline void InitGst(bool bWithPlugin = true)
{
    static const bool bReady = [] {
        // Load plugins in this process: a forked scanner lacks the sanitizer runtime.
        setenv("GST_REGISTRY_FORK", "no", 1);
        gst_init(nullptr, nullptr);
        return true;
    }();
    (void)bReady;
    if (bWithPlugin)
        ScanPluginFolder(VOXREEL_PLUGIN_OUTPUT_DIR);
}

using voxreel::test::RunLaunch;
using voxreel::test::WaitUntil;

// Encoders after "audiotestsrc ... ! <caps> ! audioconvert !".
enum class Format { Wav, Mp3, Wma };
inline const char* Encoder(Format format)
{
    switch (format) {
    case Format::Wav:
        return "wavenc";
    case Format::Mp3:
        return "lamemp3enc ! xingmux ! id3v2mux";
    case Format::Wma:
        return "avenc_wmav2 ! avmux_asf";
    }
    return "";
}

// A file of nSeconds of a tone (freq 0: silence) at 44.1 kHz stereo.
inline std::filesystem::path MakeMedia(const std::filesystem::path& path, Format format,
                                       double dSeconds, int nFreq = 1000)
{
    const long nSamples = static_cast<long>(dSeconds * 44100);
    const std::string strWave = nFreq == 0 ? "wave=silence" : "freq=" + std::to_string(nFreq);
    RunLaunch("audiotestsrc " + strWave +
              " samplesperbuffer=4410 num-buffers=" + std::to_string(nSamples / 4410) +
              " ! audio/x-raw,rate=44100,channels=2 ! " + "audioconvert ! " + Encoder(format) +
              " ! filesink location=\"" + path.string() + "\"");
    return path;
}

// For a test that needs GStreamer set up its own way (no plugin, a tracer),
// which only a process that has not initialised it yet can do: in the test
// process this runs the test again alone in a fresh child and returns true
// (the caller returns and the child's result counts); in that child it
// returns false and the test body runs.
inline bool RunAloneInAChild()
{
    constexpr const char* kMarker = "VOXREEL_TEST_ALONE=1";
    if (std::getenv("VOXREEL_TEST_ALONE") != nullptr)
        return false;
    const testing::TestInfo* pInfo = testing::UnitTest::GetInstance()->current_test_info();
    std::string strFilter =
        std::string("--gtest_filter=") + pInfo->test_suite_name() + "." + pInfo->name();
    std::vector<char*> environment{const_cast<char*>(kMarker)};
    for (char** p = environ; *p != nullptr; ++p)
        environment.push_back(*p);
    environment.push_back(nullptr);
    char szSelf[] = "/proc/self/exe";
    char* argv[] = {szSelf, strFilter.data(), nullptr};
    const pid_t pid = fork(); // the child only execs: nothing else is safe there
    if (pid == 0) {
        execve(szSelf, argv, environment.data());
        _exit(127);
    }
    int nStatus = -1;
    EXPECT_EQ(waitpid(pid, &nStatus, 0), pid);
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0) << "the test failed alone";
    return true;
}

inline std::filesystem::path TempFolder()
{
    std::string strTemplate = (std::filesystem::temp_directory_path() / "player.XXXXXX").string();
    return mkdtemp(strTemplate.data());
}

class CRecordingWindow final : public INotifyWindow {
public:
    struct Message {
        std::uint32_t nMessage;
        std::uint64_t wParam;
        std::int64_t lParam;
    };
    void PostMessage(std::uint32_t nMessage, std::uint64_t wParam, std::int64_t lParam) override
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({nMessage, wParam, lParam});
    }
    // Messages of that number (and, given one, that wParam).
    std::size_t Count(std::uint32_t nMessage, std::int64_t wParam = -1)
    {
        std::lock_guard lock(m_mutex);
        return std::count_if(m_messages.begin(), m_messages.end(), [&](const Message& m) {
            return m.nMessage == nMessage &&
                   (wParam < 0 || m.wParam == static_cast<std::uint64_t>(wParam));
        });
    }

private:
    std::mutex m_mutex;
    std::vector<Message> m_messages; // guarded by m_mutex
};

class CRecordingCallback final : public CDSPlayerCallback {
public:
    void OnPlaybackFailed(HRESULT hr) override { m_calls.push_back(hr); }
    void OnPlaybackCompleted() override { m_calls.push_back(S_OK); }
    std::vector<HRESULT> m_calls; // S_OK stands for a completion
};

// A port that nothing listened on a moment ago.
inline int FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t cb = sizeof address;
    bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &cb);
    close(fd);
    return ntohs(address.sin_port);
}

// Connects to 127.0.0.1:nPort and reads samples with bounded waits.
class CLoopbackClient {
public:
    explicit CLoopbackClient(int nPort) : m_fd(socket(AF_INET, SOCK_STREAM, 0))
    {
        const sockaddr_in address{
            AF_INET, htons(static_cast<std::uint16_t>(nPort)), {htonl(INADDR_LOOPBACK)}, {}};
        m_bConnected =
            connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~CLoopbackClient() { close(m_fd); }
    bool Connected() const { return m_bConnected; }
    // Appends what arrives within the time to m_samples; stops early once
    // stop(m_samples) holds.
    void Read(std::chrono::milliseconds timeout,
              const std::function<bool(const std::vector<std::int16_t>&)>& stop)
    {
        const auto deadline = Clock::now() + timeout;
        std::uint8_t chunk[4096];
        while (Clock::now() < deadline && !stop(m_samples)) {
            pollfd entry{m_fd, POLLIN, 0};
            if (poll(&entry, 1, 20) <= 0)
                continue;
            const ssize_t n = recv(m_fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return;
            m_bytes.insert(m_bytes.end(), chunk, chunk + n);
            const std::size_t cbWhole = m_bytes.size() & ~std::size_t{1};
            for (std::size_t i = 0; i < cbWhole; i += 2)
                m_samples.push_back(static_cast<std::int16_t>(m_bytes[i] | (m_bytes[i + 1] << 8)));
            m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<long>(cbWhole));
        }
    }
    std::vector<std::int16_t> m_samples;

private:
    int m_fd;
    bool m_bConnected = false;
    std::vector<std::uint8_t> m_bytes;
};

// Sign changes per second of the loud part of a signal: twice its frequency.
inline double ZeroCrossingsPerSecond(const std::vector<std::int16_t>& samples, int nRate)
{
    std::size_t nCrossings = 0, nLoud = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (std::abs(samples[i]) < 200 && std::abs(samples[i - 1]) < 200)
            continue;
        ++nLoud;
        nCrossings += (samples[i - 1] < 0) != (samples[i] < 0);
    }
    return nLoud == 0 ? 0.0 : static_cast<double>(nCrossings) * nRate / static_cast<double>(nLoud);
}
