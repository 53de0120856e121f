// Talk-over as the call hears it: a 2 kHz file tone on the port under a
// microphone of speech-like bursts (a generated WAV played in real time),
// with talk-over on at its default depth. Prints how long the file took to
// come down to its lowered level after the voice began (attack) and back
// to its level after the voice ended (release), the median of three runs,
// each read from the port in 10 ms windows.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "call_mix_rig.h"

namespace {

using namespace callmix;

bool MeasureOnce(const std::string& strWav, TalkOverTimes* pTimes)
{
    constexpr double kDepth = 12.0;
    CCallMixRig rig(12000, 2000, 0.5);
    g_object_set(rig.Renderer(), kTalkOverProperty, TRUE, kTalkOverDepthProperty, kDepth, nullptr);
    if (!rig.Start(WavMicrophone(strWav)) || !rig.Read(6500))
        return false;
    *pTimes = MeasureTalkOver(rig.ToneDb(2000), rig.ToneDb(220), kDepth);
    return pTimes->dAttackMs >= 0 && pTimes->dReleaseMs >= 0;
}

} // namespace

int main()
{
    if (!g_bRendererReady) {
        std::fprintf(stderr, "the renderer could not be registered\n");
        return 1;
    }
    const std::string strWav = "/tmp/bench_talk_over_" + std::to_string(getpid()) + ".wav";
    WriteSpeechWav(strWav, 2000, 2000, 8000);
    std::vector<double> attacks, releases;
    for (int nRun = 0; nRun < 3; ++nRun) {
        TalkOverTimes times;
        if (!MeasureOnce(strWav, &times))
            continue;
        attacks.push_back(times.dAttackMs);
        releases.push_back(times.dReleaseMs);
    }
    std::remove(strWav.c_str());
    if (attacks.empty()) {
        std::fprintf(stderr, "no run measured talk-over on the port\n");
        return 1;
    }
    std::printf("talkover_attack_ms: %.0f ms\n", Median(attacks));
    std::printf("talkover_release_ms: %.0f ms\n", Median(releases));
    return 0;
}
