// Helpers shared by the resampler tests.
#pragma once

#include <gst/check/gstharness.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using Samples = std::vector<std::int16_t>;

struct CHarnessDeleter {
    void operator()(GstHarness* pHarness) const { gst_harness_teardown(pHarness); }
};
using CHarnessPtr = std::unique_ptr<GstHarness, CHarnessDeleter>;

void EnsureResamplerRegistered();
std::string PcmCaps(int nRate, int nChannels);
// A fresh element fed 16-bit PCM; bHoldAll asks for a pool large enough that
// the harness can keep a test's whole output.
CHarnessPtr NewResampler(int nRate, int nChannels, bool bHoldAll = true);

GstBuffer* BufferFrom(const Samples& samples, GstClockTime tPts = GST_CLOCK_TIME_NONE);
// Interleaved sine; channel c is scaled by (c + 1) / nChannels.
Samples Tone(int nRate, int nChannels, std::size_t nFrames, double dHz, double dAmplitude);

struct Output {
    Samples samples;
    std::vector<gsize> blockBytes;
    std::vector<GstClockTime> pts, durations;
    void Add(GstBuffer* pBuffer);
};
Output PullAll(GstHarness* pHarness);

// Peak amplitude of the dHz component of samples[nFirst, nFirst + nCount)
// through a Blackman-Harris window.
double ToneAmplitude(const Samples& samples, std::size_t nFirst, std::size_t nCount, double dHz,
                     double dRate = 16000);
