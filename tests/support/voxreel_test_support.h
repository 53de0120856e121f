// Pieces every test and benchmark of Voxreel needs: GStreamer started once,
// temporary folders, bounded waits, running a gst-launch description to its
// end, loopback ports and their clients, the process's CPU time, the sound
// server's process, and a sound server that never answers.
#pragma once

#include <gst/gst.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "voxreel/gst_handle.h"

namespace voxreel::test {

using namespace std::chrono_literals;

// GStreamer, started once. Plugins load in this process: a forked scanner
// lacks the sanitizer runtime.
inline void InitGstInProcess()
{
    static const bool bReady = [] {
        setenv("GST_REGISTRY_FORK", "no", 1);
        gst_init(nullptr, nullptr);
        return true;
    }();
    (void)bReady;
}

// A new empty folder in the temporary folder, its name starting with strPrefix.
inline std::filesystem::path MakeTempFolder(const std::string& strPrefix)
{
    std::string strTemplate =
        (std::filesystem::temp_directory_path() / (strPrefix + ".XXXXXX")).string();
    return mkdtemp(strTemplate.data());
}

// Polls a condition until it holds or the time is up; false on time-out.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = 10s, std::chrono::milliseconds poll = 2ms)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(poll);
    }
    return true;
}

// Runs a gst-launch description to its end; true when it reached the end of
// the stream within the time (60 s by default) without an error.
inline bool RunLaunch(const std::string& strDescription, GstClockTime timeout = 60 * GST_SECOND)
{
    CElementPtr pPipeline(gst_parse_launch_full(strDescription.c_str(), nullptr,
                                                GST_PARSE_FLAG_FATAL_ERRORS, nullptr));
    if (!pPipeline)
        return false;
    gst_element_set_state(pPipeline.get(), GST_STATE_PLAYING);
    CBusPtr pBus(gst_element_get_bus(pPipeline.get()));
    CMessagePtr pMessage(gst_bus_timed_pop_filtered(
        pBus.get(), timeout, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    gst_element_set_state(pPipeline.get(), GST_STATE_NULL);
    return pMessage && GST_MESSAGE_TYPE(pMessage.get()) == GST_MESSAGE_EOS;
}

// A loopback port that nothing listened on a moment ago.
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

// A TCP client of nPort on 127.0.0.1, with the receive buffer given (0: the
// system's); -1 when nothing accepts it.
inline int ConnectLoopback(int nPort, int cbReceiveBuffer = 0)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (cbReceiveBuffer > 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &cbReceiveBuffer, sizeof cbReceiveBuffer);
    const sockaddr_in address{
        AF_INET, htons(static_cast<std::uint16_t>(nPort)), {htonl(INADDR_LOOPBACK)}, {}};
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    close(fd);
    return -1;
}

// Waits up to nWaitMs for fd to have data and reads what it has, up to cb
// bytes: how many came, 0 when none came in time, -1 when the peer closed.
inline ssize_t ReceiveWithin(int fd, void* pBuffer, std::size_t cb, int nWaitMs)
{
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, nWaitMs) <= 0)
        return 0;
    const ssize_t n = recv(fd, pBuffer, cb, 0);
    return n > 0 ? n : -1;
}

// What a client received, as 16-bit little-endian samples (a trailing odd
// byte left out).
inline std::vector<std::int16_t> LittleEndianSamples(const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return samples;
}

// User plus system CPU time of the whole process, in seconds.
inline double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The process behind PULSE_SERVER (PulseAudio, or PipeWire's pulse service):
// the peer of a connection to its socket; 0 when there is none.
inline pid_t SoundServerPid()
{
    const char* pszServer = std::getenv("PULSE_SERVER");
    const std::string strServer = pszServer != nullptr ? pszServer : "";
    if (strServer.rfind("unix:", 0) != 0)
        return 0;
    sockaddr_un address{AF_UNIX, {}};
    strServer.copy(address.sun_path, sizeof address.sun_path - 1, 5);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ucred peer{};
    socklen_t cbPeer = sizeof peer;
    const bool bOk =
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &cbPeer) == 0;
    close(fd);
    return bOk ? peer.pid : 0;
}

// A sound server that takes connections and never answers them: a Unix
// socket at strPath that listens and accepts nothing.
class CSilentServer {
public:
    explicit CSilentServer(std::string strPath) : m_strPath(std::move(strPath))
    {
        sockaddr_un address{AF_UNIX, {}};
        m_strPath.copy(address.sun_path, sizeof address.sun_path - 1);
        unlink(m_strPath.c_str());
        m_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        m_bListening =
            bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            listen(m_fd, 16) == 0;
    }
    // Whoever waits on it is turned away.
    ~CSilentServer()
    {
        close(m_fd);
        unlink(m_strPath.c_str());
    }
    CSilentServer(const CSilentServer&) = delete;
    CSilentServer& operator=(const CSilentServer&) = delete;
    bool IsListening() const { return m_bListening; }
    std::string Address() const { return "unix:" + m_strPath; }

private:
    std::string m_strPath;
    int m_fd = -1;
    bool m_bListening = false;
};

} // namespace voxreel::test
