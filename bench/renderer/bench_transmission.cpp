// The renderer transmitting to a loopback client for a minute (or the
// seconds given as the first argument): the stream's rate against 32000
// bytes per second, the largest gap between two arrivals, and the CPU time
// of the renderer's own threads per second of audio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include <unistd.h>

#include "callfeed_renderer_register.h"
#include "pacing_thread.h"
#include "tcp_server.h"
#include "thread_cpu.h"
#include "voxreel/callfeed_control.h"
#include "voxreel_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

// CPU seconds the renderer's own threads used between two snapshots.
double RendererCpuSeconds(const std::map<int, ThreadCpu>& before)
{
    std::map<std::string, double> used = ThreadCpuUsed(before, ThreadCpuSeconds());
    return used[CTcpServer::kThreadName] + used[CPacingThread::kThreadName];
}

} // namespace

int main(int argc, char** argv)
{
    gst_init(nullptr, nullptr);
    const int nSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    GST_ELEMENT_REGISTER(callfeedrenderer, nullptr);
    GstElement* pRenderer = gst_element_factory_make("callfeedrenderer", nullptr);
    gst_object_ref_sink(pRenderer);
    const int nPort = voxreel::test::FreePort();
    g_object_set(pRenderer, "port", nPort, nullptr);
    int nResult = 1;
    {
        CCallfeedControl control(pRenderer);
        if (FAILED(control.StartTransmission())) {
            std::fprintf(stderr, "transmission did not start\n");
            gst_object_unref(pRenderer);
            return 1;
        }
        const int fd = voxreel::test::ConnectLoopback(nPort);
        if (fd >= 0) {
            char chunk[16384];
            std::uint64_t cbAfterFirst = 0; // what arrived after the first arrival
            bool bFirst = true;
            Clock::time_point first{}, last{};
            double dMaxGapMs = 0;
            const std::map<int, ThreadCpu> cpuBefore = ThreadCpuSeconds();
            const auto end = Clock::now() + std::chrono::seconds(nSeconds);
            while (Clock::now() < end) {
                const ssize_t n = voxreel::test::ReceiveWithin(fd, chunk, sizeof chunk, 100);
                if (n == 0)
                    continue;
                if (n < 0)
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
            const double dCpu = RendererCpuSeconds(cpuBefore);
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
