// Helpers shared by the resampler tests: the element in a harness, tones in,
// and what came out of it.
#pragma once

#include <gst/check/gstharness.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "callfeed_resampler_register.h"

using Samples = std::vector<std::int16_t>;
using CHarnessPtr = std::unique_ptr<GstHarness, decltype(&gst_harness_teardown)>;

inline std::string PcmCaps(int nRate, int nChannels)
{
    return "audio/x-raw,format=S16LE,layout=interleaved,rate=" + std::to_string(nRate) +
           ",channels=" + std::to_string(nChannels);
}

// A fresh element fed caps. With bOfferPool, downstream asks for a pool of 64
// blocks of cbBlock bytes (0: the element's choice); without, the element
// keeps its own pool.
inline CHarnessPtr NewResampler(const std::string& caps, bool bOfferPool = true, guint cbBlock = 0)
{
    static const bool s_bRegistered =
        (gst_init(nullptr, nullptr), GST_ELEMENT_REGISTER(callfeedresampler, nullptr));
    g_assert(s_bRegistered);
    CHarnessPtr pHarness(gst_harness_new("callfeedresampler"), gst_harness_teardown);
    auto offerPool = [](GstPad*, GstPadProbeInfo* pInfo, gpointer pcbBlock) {
        GstQuery* pQuery = GST_PAD_PROBE_INFO_QUERY(pInfo);
        if (GST_QUERY_TYPE(pQuery) == GST_QUERY_ALLOCATION &&
            (GST_PAD_PROBE_INFO_TYPE(pInfo) & GST_PAD_PROBE_TYPE_PULL))
            gst_query_add_allocation_pool(pQuery, nullptr, GPOINTER_TO_UINT(pcbBlock), 64, 0);
        return GST_PAD_PROBE_OK;
    };
    if (bOfferPool)
        gst_harness_add_probe(pHarness.get(), "callfeedresampler", "src",
                              GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, offerPool,
                              GUINT_TO_POINTER(cbBlock), nullptr);
    gst_harness_set_src_caps_str(pHarness.get(), caps.c_str());
    return pHarness;
}

inline GstBuffer* BufferFrom(const Samples& samples, GstClockTime tPts = GST_CLOCK_TIME_NONE)
{
    GstBuffer* pBuffer = gst_buffer_new_memdup(samples.data(), 2 * samples.size());
    GST_BUFFER_PTS(pBuffer) = tPts;
    return pBuffer;
}

// Interleaved sine; channel c is scaled by (c + 1) / nChannels.
inline Samples Tone(int nRate, int nChannels, std::size_t nFrames, double dHz, double dAmplitude)
{
    Samples samples(nFrames * static_cast<std::size_t>(nChannels));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const int c = static_cast<int>(i % nChannels);
        const double t = static_cast<double>(i / nChannels) / nRate;
        samples[i] = static_cast<std::int16_t>(std::lround(
            dAmplitude * (c + 1) / nChannels * std::sin(2 * std::numbers::pi * dHz * t)));
    }
    return samples;
}

struct Output {
    Samples samples;
    std::vector<gsize> blockBytes;
    std::vector<GstClockTime> pts, durations;
};

// Appends everything the harness holds to out.
inline Output PullAll(GstHarness* pHarness, Output out = {})
{
    while (GstBuffer* pBuffer = gst_harness_try_pull(pHarness)) {
        const gsize cb = gst_buffer_get_size(pBuffer);
        out.samples.resize(out.samples.size() + cb / 2);
        gst_buffer_extract(pBuffer, 0, out.samples.data() + out.samples.size() - cb / 2, cb);
        out.blockBytes.push_back(cb);
        out.pts.push_back(GST_BUFFER_PTS(pBuffer));
        out.durations.push_back(GST_BUFFER_DURATION(pBuffer));
        gst_buffer_unref(pBuffer);
    }
    return out;
}
