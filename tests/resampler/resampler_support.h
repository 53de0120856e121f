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
// A fresh element fed caps. With bOfferPool, downstream asks for a
// pool of 64 blocks of cbBlock bytes (0: the element's choice); without, the
// element keeps its own pool.
CHarnessPtr NewResampler(const std::string& caps, bool bOfferPool = true, guint cbBlock = 0);
GstBuffer* BufferFrom(const Samples& samples, GstClockTime tPts = GST_CLOCK_TIME_NONE);
// Interleaved sine; channel c is scaled by (c + 1) / nChannels.
Samples Tone(int nRate, int nChannels, std::size_t nFrames, double dHz, double dAmplitude);

struct Output {
    Samples samples;
    std::vector<gsize> blockBytes;
    std::vector<GstClockTime> pts, durations;
    void Add(GstBuffer* pBuffer);
};
// Appends everything the harness holds to out.
Output PullAll(GstHarness* pHarness, Output out = {});

// Peak amplitude of the dHz component of samples[nFirst, nFirst + nCount) at
// 16 kHz, through a Blackman-Harris window.
double ToneAmplitude(const Samples& samples, std::size_t nFirst, std::size_t nCount, double dHz);
