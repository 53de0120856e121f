#include "resample_element.h"

#include "resample_filter.h"
#include "resample_filter_register.h"

namespace {

struct CResampleElement {
    GstElement parent;
    GstPad* pSinkPad;
    GstPad* pSrcPad;
    CResampleFilter* pFilter; // owned; lives from instance init to finalize
};

struct CResampleElementClass {
    GstElementClass parent_class;
};

GstElementClass* g_pParentClass = nullptr;

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

CResampleFilter* FilterOf(GstObject* pParent)
{
    return reinterpret_cast<CResampleElement*>(pParent)->pFilter;
}

GstFlowReturn OnChain(GstPad*, GstObject* pParent, GstBuffer* pBuffer)
{
    return FilterOf(pParent)->Receive(pBuffer);
}

gboolean OnSinkEvent(GstPad* pPad, GstObject* pParent, GstEvent* pEvent)
{
    CResampleFilter* pFilter = FilterOf(pParent);
    switch (GST_EVENT_TYPE(pEvent)) {
    case GST_EVENT_CAPS: {
        GstCaps* pCaps = nullptr;
        gst_event_parse_caps(pEvent, &pCaps);
        const HRESULT hr = pFilter->SetInputCaps(pCaps);
        gst_event_unref(pEvent);
        return hr == S_OK;
    }
    case GST_EVENT_SEGMENT: {
        const GstSegment* pSegment = nullptr;
        gst_event_parse_segment(pEvent, &pSegment);
        pFilter->SetSegment(*pSegment);
        break;
    }
    case GST_EVENT_FLUSH_START:
        pFilter->BeginFlush();
        break;
    case GST_EVENT_FLUSH_STOP:
        pFilter->EndFlush();
        break;
    case GST_EVENT_EOS:
        pFilter->EndOfStream();
        break;
    default:
        break;
    }
    return gst_pad_event_default(pPad, pParent, pEvent);
}

gboolean OnSinkQuery(GstPad* pPad, GstObject* pParent, GstQuery* pQuery)
{
    // Upstream's buffers are read and let go; they need nothing from the
    // output pool downstream would describe.
    if (GST_QUERY_TYPE(pQuery) == GST_QUERY_ALLOCATION)
        return FALSE;
    return gst_pad_query_default(pPad, pParent, pQuery);
}

gboolean OnSrcQuery(GstPad* pPad, GstObject* pParent, GstQuery* pQuery)
{
    if (GST_QUERY_TYPE(pQuery) != GST_QUERY_CAPS)
        return gst_pad_query_default(pPad, pParent, pQuery);
    GstCaps* pFilterCaps = nullptr;
    gst_query_parse_caps(pQuery, &pFilterCaps);
    GstCaps* pCaps = FilterOf(pParent)->QueryOutputCaps(pFilterCaps);
    gst_query_set_caps_result(pQuery, pCaps);
    gst_caps_unref(pCaps);
    return TRUE;
}

GstStateChangeReturn OnChangeState(GstElement* pElement, GstStateChange transition)
{
    CResampleFilter* pFilter = FilterOf(GST_OBJECT(pElement));
    if (transition == GST_STATE_CHANGE_NULL_TO_READY && FAILED(pFilter->GetCreationResult())) {
        GST_ELEMENT_ERROR(pElement, LIBRARY, INIT, ("Failed to create the sample rate converter."),
                          (nullptr));
        return GST_STATE_CHANGE_FAILURE;
    }
    // A streaming thread waiting for a free block must wake before the pads
    // stop, or stopping would wait for it forever.
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY)
        pFilter->BeginFlush();
    const GstStateChangeReturn ret = g_pParentClass->change_state(pElement, transition);
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY)
        pFilter->StopStreaming();
    return ret;
}

void OnFinalize(GObject* pObject)
{
    auto* pSelf = reinterpret_cast<CResampleElement*>(pObject);
    delete pSelf->pFilter;
    pSelf->pFilter = nullptr;
    G_OBJECT_CLASS(g_pParentClass)->finalize(pObject);
}

void InitInstance(GTypeInstance* pInstance, gpointer)
{
    auto* pSelf = reinterpret_cast<CResampleElement*>(pInstance);
    pSelf->pSinkPad = gst_pad_new_from_static_template(&g_sinkTemplate, "sink");
    gst_pad_set_chain_function(pSelf->pSinkPad, OnChain);
    gst_pad_set_event_function(pSelf->pSinkPad, OnSinkEvent);
    gst_pad_set_query_function(pSelf->pSinkPad, OnSinkQuery);
    pSelf->pSrcPad = gst_pad_new_from_static_template(&g_srcTemplate, "src");
    gst_pad_set_query_function(pSelf->pSrcPad, OnSrcQuery);
    gst_pad_use_fixed_caps(pSelf->pSrcPad);
    gst_element_add_pad(GST_ELEMENT(pInstance), pSelf->pSinkPad);
    gst_element_add_pad(GST_ELEMENT(pInstance), pSelf->pSrcPad);
    pSelf->pFilter = new CResampleFilter(GST_ELEMENT(pInstance), pSelf->pSinkPad, pSelf->pSrcPad);
}

void InitClass(gpointer pClass, gpointer)
{
    g_pParentClass = GST_ELEMENT_CLASS(g_type_class_peek_parent(pClass));
    G_OBJECT_CLASS(pClass)->finalize = OnFinalize;
    GstElementClass* pElementClass = GST_ELEMENT_CLASS(pClass);
    pElementClass->change_state = OnChangeState;
    gst_element_class_add_static_pad_template(pElementClass, &g_sinkTemplate);
    gst_element_class_add_static_pad_template(pElementClass, &g_srcTemplate);
    gst_element_class_set_static_metadata(
        pElementClass, "Audio Resampler", "Filter/Converter/Audio",
        "Converts 16-bit PCM of any rate and channel count to 16 kHz mono in half-second blocks",
        "Voxreel");
}

} // namespace

GType ResampleElementGetType(void)
{
    static gsize s_type = 0;
    if (g_once_init_enter(&s_type)) {
        const GType type = g_type_register_static_simple(
            GST_TYPE_ELEMENT, g_intern_static_string("CResampleFilter"),
            sizeof(CResampleElementClass), InitClass, sizeof(CResampleElement), InitInstance,
            static_cast<GTypeFlags>(0));
        g_once_init_leave(&s_type, type);
    }
    return s_type;
}

GST_ELEMENT_REGISTER_DEFINE(callfeedresampler, "callfeedresampler", GST_RANK_NONE,
                            ResampleElementGetType())
