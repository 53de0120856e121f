// The two ways a file's PCM takes into the renderer, and the sink behind it:
//
//   PcmFormat ! tee name=Split
//   Split. ! audioconvert name=WideConvert ! audioresample name=WideResample
//          ! capsfilter name=WideFormat (48 kHz stereo) ! renderer.wide
//   Split. ! callfeedresampler name=Resampler ! renderer.sink
//   renderer.src ! fakesink name=CallPace sync=false
//
// One streaming thread runs both branches, with no queue between them. The
// renderer's wide input keeps a reference and returns at once, so the thread
// can only wait in the call branch: for the resampler's pool (which the
// renderer's mixer frees at the call's pace), for the renderer to let the end
// of the file go once the call has heard it, and in CallPace's preroll. The
// pipeline prerolls on CallPace's first buffer. The split hands buffers and
// events to its outputs in the order they were linked, so the wide branch is
// linked first: its end of stream arrives before the call branch's end waits
// for the call to hear both.
#include <gst/gst.h>

#include "chain_elements.h"
#include "dsplayer.h"
#include "voxreel/element_factory.h"
#include "voxreel/gst_hresult.h"

namespace {

// Mono stays centred (audioconvert puts it on both channels at full level).
constexpr const char* kWideCaps =
    "audio/x-raw,format=S16LE,rate=48000,channels=2,layout=interleaved";

HRESULT AddWideBranch(GstElement* pGraph, GstElement* pSplit, GstElement* pRenderer)
{
    CElementPtr pConvert = MakeElement("audioconvert", "WideConvert");
    CElementPtr pResample = MakeElement("audioresample", "WideResample");
    CElementPtr pFormat = MakeElement("capsfilter", "WideFormat");
    if (!AddToBin(pGraph, pConvert) || !AddToBin(pGraph, pResample) || !AddToBin(pGraph, pFormat))
        return E_FAIL;
    SetCaps(pFormat.get(), kWideCaps);
    if (!gst_element_link_many(pSplit, pConvert.get(), pResample.get(), pFormat.get(), nullptr) ||
        !gst_element_link_pads(pFormat.get(), "src", pRenderer, "wide"))
        return VFW_E_CANNOT_CONNECT;
    return S_OK;
}

HRESULT AddCallBranch(GstElement* pGraph, GstElement* pSplit, GstElement* pRenderer)
{
    GstElement* pResamplerRaw = nullptr;
    const HRESULT hr = CreateElementByClsid(CLSID_CResampleFilter, "Resampler", &pResamplerRaw);
    CElementPtr pResampler(pResamplerRaw);
    if (FAILED(hr))
        return hr;
    CElementPtr pPace = MakeElement("fakesink", "CallPace");
    if (!AddToBin(pGraph, pResampler) || !AddToBin(pGraph, pPace))
        return E_FAIL;
    g_object_set(pPace.get(), "sync", FALSE, nullptr);
    if (!gst_element_link(pSplit, pResampler.get()) ||
        !gst_element_link_pads(pResampler.get(), "src", pRenderer, "sink") ||
        !gst_element_link_pads(pRenderer, "src", pPace.get(), "sink"))
        return VFW_E_CANNOT_CONNECT;
    return S_OK;
}

} // namespace

HRESULT CDSPlayer::AddBranches(GstElement* pPcm)
{
    GstElement* pGraph = m_pGraph.get();
    CElementPtr pSplit = MakeElement("tee", "Split");
    if (!AddToBin(pGraph, pSplit))
        return E_FAIL;
    if (!gst_element_link(pPcm, pSplit.get()))
        return VFW_E_CANNOT_CONNECT;
    const HRESULT hr = AddWideBranch(pGraph, pSplit.get(), m_pRenderer.get());
    if (FAILED(hr))
        return hr;
    return AddCallBranch(pGraph, pSplit.get(), m_pRenderer.get());
}
