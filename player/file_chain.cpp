// Building the file-dependent part of the pipeline up to 16-bit PCM: the
// source, automatic decoding, the conversion and the file's gain.
// AddBranches takes it on.
//
//   ... ! audioconvert name=PcmConvert ! capsfilter name=PcmFloat (F32)
//       ! volume name=TrackGain ! voxreelpeaklimiter name=TrackLimiter
//       ! audioconvert name=PcmQuantize ! capsfilter name=PcmFormat (S16)
//
// The gain works in float so that a boost has room above full scale for the
// limiter to take back. At 0 dB the volume passes the buffers through, the
// limiter is inactive and the quantizer does not dither, so 16-bit samples
// come out exactly as they went in.
#include <gst/gst.h>

#include <algorithm>
#include <cmath>

#include "chain_elements.h"
#include "dsplayer.h"
#include "peak_limiter.h"
#include "voxreel/element_factory.h"
#include "voxreel/gst_hresult.h"

namespace {

constexpr const char* kPcmCaps = "audio/x-raw,format=S16LE,layout=interleaved";
constexpr const char* kFloatCaps = "audio/x-raw,format=F32LE,layout=interleaved";
constexpr double kLimiterCeilingDb = -2.0;

// Links the first raw audio pad a decoder exposes to the PCM conversion.
void OnPadAdded(GstElement*, GstPad* pPad, gpointer pConvert)
{
    CCapsPtr pCaps(gst_pad_get_current_caps(pPad));
    if (!pCaps)
        pCaps.reset(gst_pad_query_caps(pPad, nullptr));
    const GstStructure* pStructure = gst_caps_get_structure(pCaps.get(), 0);
    if (pStructure == nullptr || !gst_structure_has_name(pStructure, "audio/x-raw"))
        return;
    CGstObjectPtr<GstPad> pSink(gst_element_get_static_pad(GST_ELEMENT(pConvert), "sink"));
    if (!gst_pad_is_linked(pSink.get()))
        gst_pad_link(pPad, pSink.get());
}

// A decoder that exposed all its streams without one we could link has no
// audio for us: say so, otherwise the preroll would just never finish. It is
// a failure to connect the file to the resampler (VFW_E_CANNOT_CONNECT), not
// a missing decoder: the streams it has were decoded.
void OnNoMorePads(GstElement* pDecoder, gpointer pConvert)
{
    CGstObjectPtr<GstPad> pSink(gst_element_get_static_pad(GST_ELEMENT(pConvert), "sink"));
    if (!gst_pad_is_linked(pSink.get()))
        GST_ELEMENT_ERROR(pDecoder, CORE, NEGOTIATION, ("The file has no audio stream."),
                          (nullptr));
}

void WatchDecoder(GstElement* pDecoder, GstElement* pConvert)
{
    auto unref = [](gpointer p, GClosure*) { gst_object_unref(p); };
    g_signal_connect_data(pDecoder, "pad-added", G_CALLBACK(OnPadAdded), gst_object_ref(pConvert),
                          unref, GConnectFlags{});
    g_signal_connect_data(pDecoder, "no-more-pads", G_CALLBACK(OnNoMorePads),
                          gst_object_ref(pConvert), unref, GConnectFlags{});
}

std::string FileUri(const std::filesystem::path& path)
{
    GError* pError = nullptr;
    gchar* pszUri = gst_filename_to_uri(path.c_str(), &pError);
    g_clear_error(&pError);
    std::string strUri = pszUri != nullptr ? pszUri : "";
    g_free(pszUri);
    return strUri;
}

// PcmConvert ! PcmFloat ! TrackGain ! TrackLimiter ! PcmQuantize ! PcmFormat;
// false when an element is missing or will not link.
bool AddGainStage(GstElement* pGraph, GstElement* pConvert, GstElement* pFormat, double dGainDb)
{
    loudness::RegisterPeakLimiter();
    CElementPtr pFloat = MakeElement("capsfilter", "PcmFloat");
    CElementPtr pGain = MakeElement("volume", "TrackGain");
    CElementPtr pLimiter = MakeElement(loudness::kPeakLimiterFactory, "TrackLimiter");
    CElementPtr pQuantize = MakeElement("audioconvert", "PcmQuantize");
    if (!AddToBin(pGraph, pFloat) || !AddToBin(pGraph, pGain) || !AddToBin(pGraph, pLimiter) ||
        !AddToBin(pGraph, pQuantize))
        return false;
    SetCaps(pFloat.get(), kFloatCaps);
    // volume's own range ends at +20 dB.
    g_object_set(pGain.get(), "volume", std::min(std::pow(10.0, dGainDb / 20.0), 10.0), nullptr);
    // Only a boost can take a sample over full scale. The limiter sees
    // samples, not the peaks between them: its ceiling sits a decibel
    // under the -1 dBTP a boost may reach.
    g_object_set(pLimiter.get(), "active", dGainDb > 0.0 ? TRUE : FALSE, "ceiling",
                 kLimiterCeilingDb, nullptr);
    gst_util_set_object_arg(G_OBJECT(pQuantize.get()), "dithering", "none");
    gst_util_set_object_arg(G_OBJECT(pQuantize.get()), "noise-shaping", "none");
    return gst_element_link_many(pConvert, pFloat.get(), pGain.get(), pLimiter.get(),
                                 pQuantize.get(), pFormat, nullptr) != FALSE;
}

} // namespace

HRESULT CDSPlayer::BuildFileChain(const std::filesystem::path& path, FileSource source)
{
    GstElement* pGraph = m_pGraph.get();
    CElementPtr pConvert = MakeElement("audioconvert", "PcmConvert");
    CElementPtr pCaps = MakeElement("capsfilter", "PcmFormat");
    if (!AddToBin(pGraph, pConvert) || !AddToBin(pGraph, pCaps))
        return E_FAIL;
    SetCaps(pCaps.get(), kPcmCaps);

    if (source == FileSource::SelfDecoding) {
        CElementPtr pSource = MakeElement("uridecodebin", "Source");
        if (!AddToBin(pGraph, pSource))
            return REGDB_E_CLASSNOTREG;
        const std::string strUri = FileUri(path);
        if (strUri.empty())
            return HResultFromWin32(ERROR_FILE_NOT_FOUND);
        g_object_set(pSource.get(), "uri", strUri.c_str(), nullptr);
        WatchDecoder(pSource.get(), pConvert.get());
    } else {
        CElementPtr pSource = MakeElement("filesrc", "Source");
        CElementPtr pDecoder = MakeElement("decodebin", "Decoder");
        if (!AddToBin(pGraph, pSource) || !AddToBin(pGraph, pDecoder))
            return REGDB_E_CLASSNOTREG;
        g_object_set(pSource.get(), "location", path.c_str(), nullptr);
        if (!gst_element_link(pSource.get(), pDecoder.get()))
            return VFW_E_CANNOT_CONNECT;
        WatchDecoder(pDecoder.get(), pConvert.get());
    }

    if (!AddGainStage(pGraph, pConvert.get(), pCaps.get(), m_dChainGainDb))
        return VFW_E_CANNOT_CONNECT;
    return AddBranches(pCaps.get());
}
