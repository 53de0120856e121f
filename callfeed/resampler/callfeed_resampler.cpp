#include "callfeed_resampler.h"

#include "callfeed_resampler_register.h"
#include "resample_engine.h"
#include "resampler_debug.h"

struct _CResampleFilter {
    GstElement m_parent;
    GstPad* m_pSinkPad;
    GstPad* m_pSrcPad;
    CResampleEngine* m_pEngine; // owned; lives from instance init to finalize
};

G_DEFINE_TYPE(CResampleFilter, cresample_filter, GST_TYPE_ELEMENT)

GST_ELEMENT_REGISTER_DEFINE(callfeedresampler, "callfeedresampler", GST_RANK_NONE,
                            CALLFEED_TYPE_RESAMPLER)

namespace {

// The converter's ratio limits (1/256 to 256 against 16 kHz) bound the input
// rate; negotiation refuses the rest.
GstStaticPadTemplate g_sinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format=(string)S16LE, layout=(string)interleaved, "
                    "rate=(int)[ 63, 4096000 ], channels=(int)[ 1, 32767 ]"));
GstStaticPadTemplate g_srcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                            GST_STATIC_CAPS("audio/x-raw, format=(string)S16LE, "
                                            "layout=(string)interleaved, rate=(int)16000, "
                                            "channels=(int)1"));

CResampleEngine& Engine(gpointer pObject)
{
    return *CALLFEED_RESAMPLER(pObject)->m_pEngine;
}

GstFlowReturn Chain(GstPad*, GstObject* pParent, GstBuffer* pBuffer)
{
    return Engine(pParent).Receive(pBuffer);
}

gboolean SinkEvent(GstPad* pPad, GstObject* pParent, GstEvent* pEvent)
{
    CResampleEngine& engine = Engine(pParent);
    switch (GST_EVENT_TYPE(pEvent)) {
    case GST_EVENT_CAPS: {
        GstCaps* pCaps = nullptr;
        gst_event_parse_caps(pEvent, &pCaps);
        const HRESULT hr = engine.SetInputCaps(pCaps);
        if (hr == S_OK)
            GST_INFO_OBJECT(pParent, "input %" GST_PTR_FORMAT, static_cast<void*>(pCaps));
        else
            GST_WARNING_OBJECT(pParent, "input refused (0x%08X): %" GST_PTR_FORMAT,
                               static_cast<unsigned>(hr), static_cast<void*>(pCaps));
        gst_event_unref(pEvent);
        return hr == S_OK;
    }
    case GST_EVENT_SEGMENT: {
        const GstSegment* pSegment = nullptr;
        gst_event_parse_segment(pEvent, &pSegment);
        engine.SetSegment(*pSegment);
        break;
    }
    case GST_EVENT_FLUSH_START:
        engine.BeginFlush();
        break;
    case GST_EVENT_FLUSH_STOP:
        engine.EndFlush();
        break;
    case GST_EVENT_EOS:
        GST_DEBUG_OBJECT(pParent, "end of stream: the last block goes out");
        engine.EndOfStream();
        break;
    default:
        break;
    }
    return gst_pad_event_default(pPad, pParent, pEvent);
}

gboolean SinkQuery(GstPad* pPad, GstObject* pParent, GstQuery* pQuery)
{
    // Upstream's buffers are read and let go; they need nothing from the
    // output pool downstream would describe.
    if (GST_QUERY_TYPE(pQuery) == GST_QUERY_ALLOCATION)
        return FALSE;
    return gst_pad_query_default(pPad, pParent, pQuery);
}

gboolean SrcQuery(GstPad* pPad, GstObject* pParent, GstQuery* pQuery)
{
    if (GST_QUERY_TYPE(pQuery) != GST_QUERY_CAPS)
        return gst_pad_query_default(pPad, pParent, pQuery);
    GstCaps* pFilter = nullptr;
    gst_query_parse_caps(pQuery, &pFilter);
    GstCaps* pCaps = CResampleEngine::QueryOutputCaps(pFilter);
    gst_query_set_caps_result(pQuery, pCaps);
    gst_caps_unref(pCaps);
    return TRUE;
}

GstStateChangeReturn ChangeState(GstElement* pElement, GstStateChange transition)
{
    CResampleEngine& engine = Engine(pElement);
    if (transition == GST_STATE_CHANGE_NULL_TO_READY && FAILED(engine.GetCreationResult())) {
        GST_ERROR_OBJECT(pElement, "no sample rate converter: 0x%08X",
                         static_cast<unsigned>(engine.GetCreationResult()));
        GST_ELEMENT_ERROR(pElement, LIBRARY, INIT, ("Failed to create the sample rate converter."),
                          (nullptr));
        return GST_STATE_CHANGE_FAILURE;
    }
    // A streaming thread waiting for a free block must wake before the pads
    // stop, or stopping would wait for it forever.
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY)
        engine.BeginFlush();
    const GstStateChangeReturn ret =
        GST_ELEMENT_CLASS(cresample_filter_parent_class)->change_state(pElement, transition);
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY)
        engine.StopStreaming();
    return ret;
}

void Finalize(GObject* pObject)
{
    CResampleFilter* pSelf = CALLFEED_RESAMPLER(pObject);
    delete pSelf->m_pEngine;
    pSelf->m_pEngine = nullptr;
    G_OBJECT_CLASS(cresample_filter_parent_class)->finalize(pObject);
}

} // namespace

static void cresample_filter_class_init(CResampleFilterClass* pClass)
{
    (void)CallfeedResamplerDebug(); // so that --gst-debug-help lists it once the plugin loads
    G_OBJECT_CLASS(pClass)->finalize = Finalize;

    GstElementClass* pElementClass = GST_ELEMENT_CLASS(pClass);
    pElementClass->change_state = ChangeState;
    gst_element_class_set_static_metadata(
        pElementClass, "Audio Resampler", "Filter/Converter/Audio",
        "Converts 16-bit PCM of any rate and channel count to 16 kHz mono in half-second blocks",
        "Voxreel");
    gst_element_class_add_static_pad_template(pElementClass, &g_sinkTemplate);
    gst_element_class_add_static_pad_template(pElementClass, &g_srcTemplate);
}

static void cresample_filter_init(CResampleFilter* pSelf)
{
    pSelf->m_pSinkPad = gst_pad_new_from_static_template(&g_sinkTemplate, "sink");
    gst_pad_set_chain_function(pSelf->m_pSinkPad, Chain);
    gst_pad_set_event_function(pSelf->m_pSinkPad, SinkEvent);
    gst_pad_set_query_function(pSelf->m_pSinkPad, SinkQuery);
    pSelf->m_pSrcPad = gst_pad_new_from_static_template(&g_srcTemplate, "src");
    gst_pad_set_query_function(pSelf->m_pSrcPad, SrcQuery);
    gst_pad_use_fixed_caps(pSelf->m_pSrcPad);
    gst_element_add_pad(GST_ELEMENT(pSelf), pSelf->m_pSinkPad);
    gst_element_add_pad(GST_ELEMENT(pSelf), pSelf->m_pSrcPad);
    pSelf->m_pEngine = new CResampleEngine(GST_ELEMENT(pSelf), pSelf->m_pSinkPad, pSelf->m_pSrcPad);
}
