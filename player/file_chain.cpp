// Building the file-dependent part of the pipeline: source, automatic
// decoding, conversion to 16-bit PCM, the resampler in front of the renderer
// and the local output behind it.
#include <gst/gst.h>

#include <cstdlib>

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

CElementPtr MakeElement(const char* pszFactory, const char* pszName)
{
    GstElement* pElement = gst_element_factory_make(pszFactory, pszName);
    return CElementPtr(pElement != nullptr ? GST_ELEMENT(gst_object_ref_sink(pElement)) : nullptr);
}

// Adds the element to the bin (which takes its own reference).
bool Add(GstElement* pBin, const CElementPtr& pElement)
{
    return pElement && gst_bin_add(GST_BIN(pBin), pElement.get()) != FALSE;
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

HRESULT CDSPlayer::BuildFileChain(const std::filesystem::path& path, const CLSID& clsidSource)
{
    GstElement* pGraph = m_pGraph.get();
    CElementPtr pConvert = MakeElement("audioconvert", "PcmConvert");
    CElementPtr pCaps = MakeElement("capsfilter", "PcmFormat");
    if (!Add(pGraph, pConvert) || !Add(pGraph, pCaps))
        return E_FAIL;
    CCapsPtr pPcm(gst_caps_from_string(kPcmCaps));
    g_object_set(pCaps.get(), "caps", pPcm.get(), nullptr);

    if (clsidSource == CLSID_WMAsfReader) {
        CElementPtr pSource = MakeElement("uridecodebin", "Source");
        if (!Add(pGraph, pSource))
            return REGDB_E_CLASSNOTREG;
        const std::string strUri = FileUri(path);
        if (strUri.empty())
            return HResultFromWin32(ERROR_FILE_NOT_FOUND);
        g_object_set(pSource.get(), "uri", strUri.c_str(), nullptr);
        WatchDecoder(pSource.get(), pConvert.get());
    } else if (clsidSource == CLSID_AsyncReader) {
        CElementPtr pSource = MakeElement("filesrc", "Source");
        CElementPtr pDecoder = MakeElement("decodebin", "Decoder");
        if (!Add(pGraph, pSource) || !Add(pGraph, pDecoder))
            return REGDB_E_CLASSNOTREG;
        g_object_set(pSource.get(), "location", path.c_str(), nullptr);
        if (!gst_element_link(pSource.get(), pDecoder.get()))
            return VFW_E_CANNOT_CONNECT;
        WatchDecoder(pDecoder.get(), pConvert.get());
    } else {
        return REGDB_E_CLASSNOTREG;
    }

    GstElement* pResamplerRaw = nullptr;
    HRESULT hr = CreateElementByClsid(CLSID_CResampleFilter, "Resampler", &pResamplerRaw);
    CElementPtr pResampler(pResamplerRaw);
    if (FAILED(hr))
        return hr;
    if (!Add(pGraph, pResampler))
        return E_FAIL;
    if (!gst_element_link_many(pConvert.get(), pCaps.get(), pResampler.get(), m_pRenderer.get(),
                               nullptr))
        return VFW_E_CANNOT_CONNECT;
    return AddLocalOutput();
}

namespace {

// The local output plays copies: the renderer's buffers come from a small
// pool, and a sink that is slow to start (a sound server's prebuffering)
// would otherwise hold them and starve the call of the file meanwhile.
GstPadProbeReturn PlayCopies(GstPad*, GstPadProbeInfo* pInfo, gpointer)
{
    GstBuffer* pBuffer = GST_PAD_PROBE_INFO_BUFFER(pInfo);
    GST_PAD_PROBE_INFO_DATA(pInfo) = gst_buffer_copy_deep(pBuffer);
    gst_buffer_unref(pBuffer);
    return GST_PAD_PROBE_OK;
}

} // namespace

// Behind the renderer: a queue of copies, conversion, the local volume and
// the audio sink. The queue keeps the sink's own start-up and buffering from
// holding back the renderer, which would leave the call without the file.
HRESULT CDSPlayer::AddLocalOutput()
{
    std::string strSink = m_strAudioSink;
    if (strSink.empty()) {
        const char* pszEnv = std::getenv("VOXREEL_AUDIO_SINK");
        strSink = pszEnv != nullptr && *pszEnv != '\0' ? pszEnv : "autoaudiosink";
    }
    const std::string strDescription =
        "queue max-size-time=1000000000 max-size-buffers=0 max-size-bytes=0 ! "
        "audioconvert ! audioresample ! volume name=LocalVolume ! " +
        strSink;
    GError* pError = nullptr;
    GstElement* pBin = gst_parse_bin_from_description_full(strDescription.c_str(), TRUE, nullptr,
                                                           GST_PARSE_FLAG_FATAL_ERRORS, &pError);
    CElementPtr pOutput(pBin != nullptr ? GST_ELEMENT(gst_object_ref_sink(pBin)) : nullptr);
    if (pError != nullptr || !pOutput) {
        const HRESULT hr = pError != nullptr ? HResultFromGError(pError) : E_FAIL;
        if (pError != nullptr)
            m_strLastError = pError->message;
        g_clear_error(&pError);
        return FAILED(hr) ? hr : E_FAIL;
    }
    gst_object_set_name(GST_OBJECT(pOutput.get()), "LocalOutput");
    CGstObjectPtr<GstPad> pInput(gst_element_get_static_pad(pOutput.get(), "sink"));
    if (pInput)
        gst_pad_add_probe(pInput.get(), GST_PAD_PROBE_TYPE_BUFFER, PlayCopies, nullptr, nullptr);
    if (!Add(m_pGraph.get(), pOutput))
        return E_FAIL;
    return gst_element_link(m_pRenderer.get(), pOutput.get()) ? S_OK : VFW_E_CANNOT_RENDER;
}
