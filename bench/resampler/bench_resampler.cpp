// Throughput of the resampler element (44.1 kHz stereo to 16 kHz mono) as
// times real time, next to libsamplerate alone on the same input and to
// GStreamer's audioresample at its best quality; and the stop-band
// suppression the element achieves on tones above 8 kHz.
#include <gst/check/gstharness.h>
#include <gst/gst.h>
#include <samplerate.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

#include "callfeed_resampler_register.h"

namespace {

using Samples = std::vector<std::int16_t>;

constexpr int kInRate = 44100;
constexpr int kSeconds = 10;
constexpr int kFramesPerBuffer = 4410;
constexpr int kRounds = 5;

// Program-like stereo: a few tones and some noise, different per channel.
Samples MakeStereo(int nSeconds)
{
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, 1500);
    Samples samples(static_cast<std::size_t>(kInRate) * nSeconds * 2);
    for (std::size_t i = 0; i < samples.size() / 2; ++i) {
        const double t = static_cast<double>(i) / kInRate;
        const double dTones = 6000 * std::sin(2 * std::numbers::pi * 220 * t) +
                              3000 * std::sin(2 * std::numbers::pi * 3300 * t);
        samples[2 * i] = static_cast<std::int16_t>(dTones + noise(random));
        samples[2 * i + 1] = static_cast<std::int16_t>(-dTones + noise(random));
    }
    return samples;
}

// A tone with triangular dither of one step: without it, a leak below half a
// step rounds to exact silence and the measurement says nothing.
Samples MakeDitheredTone(double dHz, double dAmplitude, int nSeconds)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> step(-0.5, 0.5);
    Samples samples(static_cast<std::size_t>(kInRate) * nSeconds * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double dTone = dAmplitude * std::sin(2 * std::numbers::pi * dHz * (i / 2) / kInRate);
        samples[i] = static_cast<std::int16_t>(std::lround(dTone + step(random) + step(random)));
    }
    return samples;
}

double Seconds(const std::function<void()>& run)
{
    const auto tStart = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count();
}

// The best time of each run over several rounds; the runs take turns within
// a round so that load from elsewhere on the machine falls on all of them.
std::vector<double> BestSecondsInTurn(const std::vector<std::function<void()>>& runs)
{
    std::vector<double> best(runs.size(), 1e30);
    for (int nRound = 0; nRound < kRounds; ++nRound)
        for (std::size_t i = 0; i < runs.size(); ++i)
            best[i] = std::min(best[i], Seconds(runs[i]));
    return best;
}

// Pushes the input in decoder-sized buffers and drops the output as it comes;
// returns the output samples.
Samples PushThrough(GstHarness* pHarness, const Samples& input, bool bKeep)
{
    Samples output;
    const std::size_t nPerBuffer = 2 * kFramesPerBuffer;
    for (std::size_t i = 0; i < input.size(); i += nPerBuffer) {
        const std::size_t n = std::min(nPerBuffer, input.size() - i);
        GstBuffer* pBuffer = gst_buffer_new_allocate(nullptr, n * 2, nullptr);
        gst_buffer_fill(pBuffer, 0, input.data() + i, n * 2);
        gst_harness_push(pHarness, pBuffer);
        while (GstBuffer* pOut = gst_harness_try_pull(pHarness)) {
            if (bKeep) {
                const std::size_t nOld = output.size();
                output.resize(nOld + gst_buffer_get_size(pOut) / 2);
                gst_buffer_extract(pOut, 0, output.data() + nOld, gst_buffer_get_size(pOut));
            }
            gst_buffer_unref(pOut);
        }
    }
    return output;
}

const char* kInCaps = "audio/x-raw,format=S16LE,layout=interleaved,rate=44100,channels=2";

Samples RunElement(const Samples& input, bool bKeep)
{
    GstHarness* pHarness = gst_harness_new("callfeedresampler");
    gst_harness_set_src_caps_str(pHarness, kInCaps);
    Samples output = PushThrough(pHarness, input, bKeep);
    gst_harness_teardown(pHarness);
    return output;
}

void RunAudioResample(const Samples& input)
{
    GstHarness* pHarness = gst_harness_new_parse(
        "audioconvert ! audioresample quality=10 ! "
        "capsfilter caps=audio/x-raw,format=S16LE,layout=interleaved,rate=16000,channels=1");
    gst_harness_set_src_caps_str(pHarness, kInCaps);
    PushThrough(pHarness, input, false);
    gst_harness_teardown(pHarness);
}

// The converter alone: mono floats made beforehand, called once per buffer
// the element receives, as the element calls it.
void RunRawConverter(const std::vector<float>& mono)
{
    int nError = 0;
    SRC_STATE* pState = src_new(SRC_SINC_BEST_QUALITY, 1, &nError);
    std::vector<float> out(kFramesPerBuffer * 16000 / kInRate + 256);
    for (std::size_t i = 0; i < mono.size(); i += kFramesPerBuffer) {
        SRC_DATA data{};
        data.data_in = mono.data() + i;
        data.input_frames =
            static_cast<long>(std::min<std::size_t>(kFramesPerBuffer, mono.size() - i));
        data.data_out = out.data();
        data.output_frames = static_cast<long>(out.size());
        data.src_ratio = 16000.0 / kInRate;
        src_process(pState, &data);
    }
    src_delete(pState);
}

double ToneAmplitude(const Samples& samples, std::size_t nFirst, std::size_t nCount, double dHz)
{
    constexpr double a[] = {0.35875, 0.48829, 0.14128, 0.01168};
    std::complex<double> sum;
    double dWindowSum = 0;
    for (std::size_t n = 0; n < nCount; ++n) {
        const double x = 2 * std::numbers::pi * n / (nCount - 1);
        const double w =
            a[0] - a[1] * std::cos(x) + a[2] * std::cos(2 * x) - a[3] * std::cos(3 * x);
        sum += w * samples[nFirst + n] * std::polar(1.0, -2 * std::numbers::pi * dHz * n / 16000);
        dWindowSum += w;
    }
    return 2 * std::abs(sum) / dWindowSum;
}

// The smallest suppression over tones across the stop band, in dB.
double StopBandSuppression()
{
    double dWorst = 1e9;
    for (double dHz : {8500.0, 9000.0, 10000.0, 12000.0, 15000.0, 18000.0, 20000.0}) {
        const double dAmplitude = 0.9 * 32767;
        const Samples output = RunElement(MakeDitheredTone(dHz, dAmplitude, 2), true);
        const double dAlias = std::abs(dHz - 16000 * std::round(dHz / 16000));
        const double dLeak = ToneAmplitude(output, 4000, 16000, dAlias);
        dWorst = std::min(dWorst, 20 * std::log10(dAmplitude / dLeak));
    }
    return dWorst;
}

} // namespace

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    GST_ELEMENT_REGISTER(callfeedresampler, nullptr);

    const Samples input = MakeStereo(kSeconds);
    std::vector<float> mono(input.size() / 2);
    for (std::size_t i = 0; i < mono.size(); ++i)
        mono[i] = static_cast<float>(input[2 * i] + input[2 * i + 1]) / 65536.0f;

    const std::vector<double> seconds =
        BestSecondsInTurn({[&] { RunElement(input, false); }, [&] { RunRawConverter(mono); },
                           [&] { RunAudioResample(input); }});

    std::printf("resampler_element_x_realtime: %.1f x\n", kSeconds / seconds[0]);
    std::printf("libsamplerate_raw_x_realtime: %.1f x\n", kSeconds / seconds[1]);
    std::printf("audioresample_q10_x_realtime: %.1f x\n", kSeconds / seconds[2]);
    std::printf("resampler_stopband_db: %.1f dB\n", StopBandSuppression());
    return 0;
}
