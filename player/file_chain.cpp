// Building the file-dependent part of the pipeline up to 16-bit PCM: the
// source, automatic decoding and the conversion. AddBranches takes it on.
#include <gst/gst.h>

#include "chain_elements.h"
#include "dsplayer.h"
#include "voxreel/element_factory.h"
#include "voxreel/gst_hresult.h"

namespace {

constexpr const char* kPcmCaps = "audio/x-raw,format=S16LE,layout=interleaved";

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

    if (!gst_element_link(pConvert.get(), pCaps.get()))
        return VFW_E_CANNOT_CONNECT;
    return AddBranches(pCaps.get());
}
