#include "wide_pad.h"

#include "callfeed_engine.h"

namespace {

GstStaticPadTemplate g_wideTemplate = GST_STATIC_PAD_TEMPLATE(
    "wide", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format=(string)S16LE, rate=(int)48000, channels=(int)2, "
                    "layout=(string)interleaved"));

CCallfeedEngine& Engine(GstPad* pPad)
{
    return *static_cast<CCallfeedEngine*>(gst_pad_get_element_private(pPad));
}

GstFlowReturn Chain(GstPad* pPad, GstObject* /*pParent*/, GstBuffer* pBuffer)
{
    Engine(pPad).WideQueue().Push(CBufferPtr(pBuffer));
    return GST_FLOW_OK;
}

gboolean Event(GstPad* pPad, GstObject* /*pParent*/, GstEvent* pEvent)
{
    CCallfeedEngine& engine = Engine(pPad);
    switch (GST_EVENT_TYPE(pEvent)) {
    case GST_EVENT_FLUSH_START:
        engine.WideQueue().Flush();
        engine.AbortWaits();
        break;
    case GST_EVENT_EOS:
        engine.EndWide();
        break;
    default:
        break;
    }
    gst_event_unref(pEvent);
    return TRUE;
}

} // namespace

GstStaticPadTemplate* WidePadTemplate()
{
    return &g_wideTemplate;
}

GstPad* AddWidePad(GstElement* pElement, CCallfeedEngine* pEngine)
{
    GstPad* pPad = gst_pad_new_from_static_template(&g_wideTemplate, "wide");
    gst_pad_set_element_private(pPad, pEngine);
    gst_pad_set_chain_function(pPad, Chain);
    gst_pad_set_event_function(pPad, Event);
    GST_PAD_SET_ACCEPT_TEMPLATE(pPad);
    gst_element_add_pad(pElement, pPad);
    return pPad;
}
