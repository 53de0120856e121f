// Cost of the full-band path per second of audio: the wide mixer's tick
// (48 kHz mono microphone, 48 kHz stereo playback) with its two outputs,
// each an appsrc pipeline into a fakesink. The CPU time of the whole
// process (the outputs' threads included) over a minute of audio mixed as
// fast as it goes, in ticks of 100 ms.
#include <sys/resource.h>

#include <cstdio>
#include <thread>
#include <vector>

#include "audio_output.h"
#include "callfeed_engine.h"
#include "wide_mixer.h"

namespace {

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main()
{
    gst_init(nullptr, nullptr);
    constexpr std::uint32_t kFramesPerTick = 4800;
    constexpr int kTicks = 600;
    const auto ignore = [](int, std::uint32_t) {};
    CPlaybackQueue queue(CWideMixer::kRate, CWideMixer::kChannels);
    CMixLevels levels;
    levels.SetBalance(17);
    levels.SetVolume(200);
    CWideMixer mixer(queue, levels, ignore);
    CAudioOutput mixOutput(CCallfeedEngine::kWideCaps, 96000, 57600, ignore);
    CAudioOutput localOutput(CCallfeedEngine::kWideCaps, 96000, 57600, ignore);
    if (FAILED(mixOutput.Start("fakesink sync=false")) ||
        FAILED(localOutput.Start("fakesink sync=false"))) {
        std::fprintf(stderr, "the outputs did not start\n");
        return 1;
    }
    localOutput.SetVolume(0.7); // the local output's volume does work
    GstBuffer* pBuffer = gst_buffer_new_allocate(nullptr, kFramesPerTick * 4, nullptr);
    gst_buffer_memset(pBuffer, 0, 0x35, kFramesPerTick * 4);
    std::vector<std::int16_t> mic(kFramesPerTick, 1234);

    const double dCpuBefore = ProcessCpuSeconds();
    for (int nTick = 0; nTick < kTicks; ++nTick) {
        queue.Push(CBufferPtr(gst_buffer_ref(pBuffer)));
        mixer.BeginTick(CPlaybackQueue::kNoPosition);
        mixer.Feed(mic.data(), kFramesPerTick * 2);
        mixOutput.Push(mixer.Mix().data(), mixer.Mix().size());
        localOutput.Push(mixer.Playback().data(), mixer.Playback().size());
        // Let the outputs' threads keep up, as 100 ms between ticks would.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const double dCpu = ProcessCpuSeconds() - dCpuBefore;
    mixOutput.Stop();
    localOutput.Stop();
    gst_buffer_unref(pBuffer);
    const double dAudioSeconds = kTicks * 0.1;
    std::printf("wide_mix_cpu_pct: %.3f %%\n", dCpu / dAudioSeconds * 100.0);
    return 0;
}
