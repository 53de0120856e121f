#include "resampler_support.h"

#include <cmath>
#include <complex>
#include <cstring>
#include <mutex>
#include <numbers>

#include "resample_filter_register.h"

void EnsureResamplerRegistered()
{
    static std::once_flag s_once;
    std::call_once(s_once, [] {
        gst_init(nullptr, nullptr);
        GST_ELEMENT_REGISTER(callfeedresampler, nullptr);
    });
}

std::string PcmCaps(int nRate, int nChannels)
{
    return "audio/x-raw,format=S16LE,layout=interleaved,rate=" + std::to_string(nRate) +
           ",channels=" + std::to_string(nChannels);
}

namespace {

// The harness keeps every output buffer until the test pulls it; ask for a
// pool large enough that a test's whole output fits.
GstPadProbeReturn AskForManyBlocks(GstPad*, GstPadProbeInfo* pInfo, gpointer)
{
    GstQuery* pQuery = GST_PAD_PROBE_INFO_QUERY(pInfo);
    if (GST_QUERY_TYPE(pQuery) == GST_QUERY_ALLOCATION &&
        (GST_PAD_PROBE_INFO_TYPE(pInfo) & GST_PAD_PROBE_TYPE_PULL))
        gst_query_add_allocation_pool(pQuery, nullptr, 0, 64, 0);
    return GST_PAD_PROBE_OK;
}

} // namespace

CHarnessPtr NewResampler(int nRate, int nChannels)
{
    EnsureResamplerRegistered();
    CHarnessPtr pHarness(gst_harness_new("callfeedresampler"));
    gst_harness_add_probe(pHarness.get(), "callfeedresampler", "src",
                          GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, AskForManyBlocks, nullptr, nullptr);
    gst_harness_set_src_caps_str(pHarness.get(), PcmCaps(nRate, nChannels).c_str());
    return pHarness;
}

GstBuffer* BufferFrom(const Samples& samples, GstClockTime tPts)
{
    const gsize cb = samples.size() * sizeof(std::int16_t);
    GstBuffer* pBuffer = gst_buffer_new_allocate(nullptr, cb, nullptr);
    gst_buffer_fill(pBuffer, 0, samples.data(), cb);
    GST_BUFFER_PTS(pBuffer) = tPts;
    return pBuffer;
}

Samples SamplesOf(GstBuffer* pBuffer)
{
    Samples samples(gst_buffer_get_size(pBuffer) / sizeof(std::int16_t));
    gst_buffer_extract(pBuffer, 0, samples.data(), samples.size() * sizeof(std::int16_t));
    return samples;
}

Samples Tone(int nRate, int nChannels, std::size_t nFrames, double dHz, double dAmplitude)
{
    Samples samples(nFrames * static_cast<std::size_t>(nChannels));
    for (std::size_t i = 0; i < nFrames; ++i) {
        const double dValue = dAmplitude * std::sin(2 * std::numbers::pi * dHz * i / nRate);
        for (int c = 0; c < nChannels; ++c)
            samples[i * nChannels + c] =
                static_cast<std::int16_t>(std::lround(dValue * (c + 1) / nChannels));
    }
    return samples;
}

Output PullAll(GstHarness* pHarness)
{
    Output output;
    while (GstBuffer* pBuffer = gst_harness_try_pull(pHarness)) {
        const Samples block = SamplesOf(pBuffer);
        output.samples.insert(output.samples.end(), block.begin(), block.end());
        output.blockBytes.push_back(gst_buffer_get_size(pBuffer));
        output.pts.push_back(GST_BUFFER_PTS(pBuffer));
        output.durations.push_back(GST_BUFFER_DURATION(pBuffer));
        gst_buffer_unref(pBuffer);
    }
    return output;
}

double ToneAmplitude(const Samples& samples, std::size_t nFirst, std::size_t nCount, double dHz,
                     double dRate)
{
    constexpr double a[] = {0.35875, 0.48829, 0.14128, 0.01168};
    std::complex<double> sum;
    double dWindowSum = 0;
    for (std::size_t n = 0; n < nCount; ++n) {
        const double x = 2 * std::numbers::pi * n / (nCount - 1);
        const double w =
            a[0] - a[1] * std::cos(x) + a[2] * std::cos(2 * x) - a[3] * std::cos(3 * x);
        const double dPhase = -2 * std::numbers::pi * dHz * n / dRate;
        sum += w * samples[nFirst + n] * std::polar(1.0, dPhase);
        dWindowSum += w;
    }
    return 2 * std::abs(sum) / dWindowSum;
}

#if defined(__SANITIZE_ADDRESS__)
// Third-party libraries here are built without frame pointers, so the fast
// unwinder stops inside them and leak suppressions (tests/lsan.supp) could
// only match on the library, hiding leaks of ours that pass through it.
// Full unwinding lets them name the real origin.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
#endif
