// The Voxreel microphone's sink under a busy machine: a continuous 1 kHz
// tone pushed through the mix output in the pacing thread's 100 ms bursts,
// each tick late by up to 60 ms at random (a late tick takes everything due
// meanwhile, as the pacing thread does), into a PulseAudio sink whose
// monitor is recorded. For each pulsesink buffer-time/latency-time: the
// holes heard (ms) and the delay from push to the monitor (ms, the
// recorder's own latency included). Needs a PulseAudio server with the
// null sink "voxreel_null" (scripts/with-services).
#include <gst/app/gstappsink.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

#include "audio_output.h"
#include "callfeed_engine.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Recording {
    std::mutex m_mutex;
    std::vector<std::int16_t> m_left; // guarded by m_mutex
    Clock::time_point m_firstSound{}; // guarded by m_mutex
};

GstFlowReturn OnSample(GstAppSink* pSink, gpointer pData)
{
    auto& recording = *static_cast<Recording*>(pData);
    CSamplePtr pSample(gst_app_sink_pull_sample(pSink));
    CBufferMap map(gst_sample_get_buffer(pSample.get()));
    const auto* pSamples = reinterpret_cast<const std::int16_t*>(map.Data());
    std::lock_guard lock(recording.m_mutex);
    for (std::size_t i = 0; i + 1 < map.Size() / 2; i += 2) {
        if (recording.m_left.empty() && std::abs(pSamples[i]) < 1000)
            continue; // before the tone
        if (recording.m_left.empty())
            recording.m_firstSound = Clock::now();
        recording.m_left.push_back(pSamples[i]);
    }
    return GST_FLOW_OK;
}

// Total length of silent stretches over 2 ms inside the recording, in ms.
double HolesMs(const std::vector<std::int16_t>& left)
{
    std::size_t nEnd = left.size();
    while (nEnd > 0 && std::abs(left[nEnd - 1]) < 200)
        --nEnd;
    std::size_t nHole = 0, nRun = 0;
    for (std::size_t i = 0; i < nEnd; ++i) {
        nRun = std::abs(left[i]) < 200 ? nRun + 1 : 0;
        if (nRun == 96)
            nHole += 96;
        else if (nRun > 96)
            ++nHole;
    }
    return static_cast<double>(nHole) / 48.0;
}

void Measure(int nBufferUs, int nLatencyUs)
{
    Recording recording;
    CElementPtr pRecorder(gst_parse_launch(
        "pulsesrc device=voxreel_null.monitor ! "
        "audio/x-raw,format=S16LE,rate=48000,channels=2 ! appsink name=rec sync=false",
        nullptr));
    CElementPtr pSink(gst_bin_get_by_name(GST_BIN(pRecorder.get()), "rec"));
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = OnSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(pSink.get()), &callbacks, &recording, nullptr);
    gst_element_set_state(pRecorder.get(), GST_STATE_PLAYING);
    gst_element_get_state(pRecorder.get(), nullptr, nullptr, 5 * GST_SECOND);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    CAudioOutput output(CCallfeedEngine::kWideCaps, 96000, 57600, [](int, std::uint32_t) {});
    const std::string strSink =
        "pulsesink device=voxreel_null sync=false buffer-time=" + std::to_string(nBufferUs) +
        " latency-time=" + std::to_string(nLatencyUs);
    if (FAILED(output.Start(strSink))) {
        std::fprintf(stderr, "no PulseAudio sink voxreel_null\n");
        return;
    }
    std::mt19937 random(1);
    std::uniform_int_distribution<int> lateMs(0, 60);
    const Clock::time_point start = Clock::now();
    std::uint64_t nPushed = 0;
    std::vector<std::int16_t> burst;
    for (int nTick = 1; nTick <= 100; ++nTick) {
        std::this_thread::sleep_until(start +
                                      std::chrono::milliseconds(100 * nTick + lateMs(random)));
        const auto nDue = static_cast<std::uint64_t>(
            std::chrono::duration<double>(Clock::now() - start).count() * 48000);
        burst.clear();
        for (; nPushed < nDue; ++nPushed) {
            const auto nValue =
                static_cast<std::int16_t>(8000 * std::sin(2 * std::numbers::pi * 1000 *
                                                          static_cast<double>(nPushed) / 48000));
            burst.push_back(nValue);
            burst.push_back(nValue);
        }
        output.Push(burst.data(), burst.size());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    output.Stop();
    gst_element_set_state(pRecorder.get(), GST_STATE_NULL);
    std::lock_guard lock(recording.m_mutex);
    const double dDelayMs =
        std::chrono::duration<double, std::milli>(recording.m_firstSound - start).count() - 100;
    std::printf("mix_output_holes_ms_buffer_%d_latency_%d: %.1f ms\n", nBufferUs / 1000,
                nLatencyUs / 1000, HolesMs(recording.m_left));
    std::printf("mix_output_delay_ms_buffer_%d_latency_%d: %.1f ms\n", nBufferUs / 1000,
                nLatencyUs / 1000, dDelayMs);
}

} // namespace

int main()
{
    gst_init(nullptr, nullptr);
    for (const auto& [nBuffer, nLatency] :
         {std::pair{160000, 80000}, {200000, 20000}, {240000, 20000}, {300000, 30000}})
        Measure(nBuffer, nLatency);
    return 0;
}
