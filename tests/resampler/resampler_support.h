// Helpers shared by the resampler tests: element registration, a harness
// handle, PCM buffers, tone synthesis and tone measurement.
#pragma once

#include <gst/check/gstharness.h>
#include <gst/gst.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using Samples = std::vector<std::int16_t>;

// gst_init and the element's static registration, once per process.
void EnsureResamplerRegistered();

struct CHarnessDeleter {
    void operator()(GstHarness* pHarness) const { gst_harness_teardown(pHarness); }
};
using CHarnessPtr = std::unique_ptr<GstHarness, CHarnessDeleter>;

// A harness around a fresh callfeedresampler whose input caps are
// 16-bit interleaved PCM at nRate with nChannels.
CHarnessPtr NewResampler(int nRate, int nChannels);
std::string PcmCaps(int nRate, int nChannels);

GstBuffer* BufferFrom(const Samples& samples, GstClockTime tPts = GST_CLOCK_TIME_NONE);
Samples SamplesOf(GstBuffer* pBuffer);

// Interleaved sine of nFrames frames; channel c is scaled by (c + 1) / nChannels.
Samples Tone(int nRate, int nChannels, std::size_t nFrames, double dHz, double dAmplitude);

struct Output {
    Samples samples;
    std::vector<gsize> blockBytes;
    std::vector<GstClockTime> pts;
    std::vector<GstClockTime> durations;
};
// Takes every buffer waiting at the harness's output.
Output PullAll(GstHarness* pHarness);

// Amplitude of the dHz component of samples[nFirst, nFirst + nCount), measured
// through a Blackman-Harris window (peak value, same unit as the samples).
double ToneAmplitude(const Samples& samples, std::size_t nFirst, std::size_t nCount, double dHz,
                     double dRate);
