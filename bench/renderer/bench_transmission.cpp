// The renderer transmitting to a loopback client for a minute (or the
// seconds given as the first argument): the stream's rate against 32000
// bytes per second, the largest gap between two arrivals, and the CPU time
// of the renderer's own threads per second of audio.
#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <ctime>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "callfeed_renderer_register.h"
#include "pacing_thread.h"
#include "tcp_server.h"
#include "voxreel/callfeed_control.h"

namespace {

using Clock = std::chrono::steady_clock;

// CPU seconds used so far by the threads with the renderer's names, read
// from each thread's CPU-time clock (nanosecond resolution).
double RendererCpuSeconds()
{
    double dSeconds = 0;
    DIR* pDir = opendir("/proc/self/task");
    if (pDir == nullptr)
        return 0;
    while (dirent* pEntry = readdir(pDir)) {
        std::string strName;
        std::getline(std::ifstream(std::string("/proc/self/task/") + pEntry->d_name + "/comm"),
                     strName);
        if (strName != CTcpServer::kThreadName && strName != CPacingThread::kThreadName)
            continue;
        const auto tid = static_cast<clockid_t>(std::atol(pEntry->d_name));
        const clockid_t clock = (~tid << 3) | 6; // the kernel's per-thread scheduler clock
        timespec time{};
        if (clock_gettime(clock, &time) == 0)
            dSeconds += static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
    }
    closedir(pDir);
    return dSeconds;
}

// A port nothing listens on: bound for a moment by the kernel's choice.
int FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

int Connect(int nPort)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(nPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

int main(int argc, char** argv)
{
    gst_init(nullptr, nullptr);
    const int nSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    GST_ELEMENT_REGISTER(callfeedrenderer, nullptr);
    GstElement* pRenderer = gst_element_factory_make("callfeedrenderer", nullptr);
    gst_object_ref_sink(pRenderer);
    const int nPort = FreePort();
    g_object_set(pRenderer, "port", nPort, nullptr);
    int nResult = 1;
    {
        CCallfeedControl control(pRenderer);
        if (FAILED(control.StartTransmission())) {
            std::fprintf(stderr, "transmission did not start\n");
            gst_object_unref(pRenderer);
            return 1;
        }
        const int fd = Connect(nPort);
        if (fd >= 0) {
            char chunk[16384];
            std::uint64_t cbAfterFirst = 0; // what arrived after the first arrival
            bool bFirst = true;
            Clock::time_point first{}, last{};
            double dMaxGapMs = 0;
            const double dCpuBefore = RendererCpuSeconds();
            const auto end = Clock::now() + std::chrono::seconds(nSeconds);
            while (Clock::now() < end) {
                pollfd entry{fd, POLLIN, 0};
                if (poll(&entry, 1, 100) <= 0)
                    continue;
                const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
                if (n <= 0)
                    break;
                const Clock::time_point now = Clock::now();
                if (bFirst) {
                    first = now;
                    bFirst = false;
                } else {
                    dMaxGapMs = std::max(
                        dMaxGapMs, std::chrono::duration<double, std::milli>(now - last).count());
                    cbAfterFirst += static_cast<std::uint64_t>(n);
                }
                last = now;
            }
            const double dCpu = RendererCpuSeconds() - dCpuBefore;
            const double dElapsed = std::chrono::duration<double>(last - first).count();
            const double dBytes = static_cast<double>(cbAfterFirst);
            close(fd);
            std::printf("stream_rate_error_pct: %.3f %%\n",
                        (dBytes / (32000.0 * dElapsed) - 1.0) * 100.0);
            std::printf("stream_max_gap_ms: %.1f ms\n", dMaxGapMs);
            std::printf("renderer_cpu_pct: %.3f %%\n", dCpu / dElapsed * 100.0);
            nResult = 0;
        }
        control.StopTransmission();
    }
    gst_object_unref(pRenderer);
    return nResult;
}
