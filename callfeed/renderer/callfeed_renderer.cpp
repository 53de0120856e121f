#include "callfeed_renderer.h"

#include <string>

#include "callfeed_engine.h"
#include "callfeed_renderer_register.h"
#include "renderer_debug.h"
#include "voxreel/callfeed_control.h"
#include "voxreel/ids.h"
#include "wide_pad.h"

struct _CCallfeed {
    GstBaseTransform m_parent;
    CCallfeedEngine* m_pEngine;
    GstPad* m_pWidePad; // owned by the element, like its other pads
};

G_DEFINE_TYPE(CCallfeed, ccallfeed, GST_TYPE_BASE_TRANSFORM)

GST_ELEMENT_REGISTER_DEFINE(callfeedrenderer, "callfeedrenderer", GST_RANK_NONE,
                            CALLFEED_TYPE_RENDERER)

namespace {

enum {
    PROP_0,
    PROP_PORT,
    PROP_VOLUME,
    PROP_BALANCE,
    PROP_CAPTURE_SOURCE,
    PROP_MIX_OUTPUT,
    PROP_LOCAL_OUTPUT,
    PROP_LOCAL_VOLUME,
    PROP_POSITION,
    PROP_CALL_LIMITER,
    PROP_TALK_OVER,
    PROP_TALK_OVER_DEPTH
};

constexpr double kMaxLocalVolume = 10.0;

constexpr const char* kCaps = "audio/x-raw, format=(string)S16LE, rate=(int)16000, "
                              "channels=(int)1, layout=(string)interleaved";

GstStaticPadTemplate g_sinkTemplate =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(kCaps));
GstStaticPadTemplate g_srcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(kCaps));

CCallfeedEngine& Engine(gpointer pObject)
{
    return *CALLFEED_RENDERER(pObject)->m_pEngine;
}

// Every notification goes on the bus: they are few, and an element without a
// bus drops them. The message names no source, so it holds no reference to
// the element: posted from one of the engine's threads, a message dropped
// there (by a flushing bus, or with no bus left) would otherwise drop the
// last reference on that thread, whose disposal joins that very thread.
void PostNotification(CCallfeed* pSelf, int nCode, std::uint32_t nValue)
{
    GST_DEBUG("notification code %d value 0x%08X", nCode, static_cast<unsigned>(nValue));
    gst_element_post_message(GST_ELEMENT(pSelf), NewCallfeedNotification(nCode, nValue));
}

GstFlowReturn TransformInPlace(GstBaseTransform* pTransform, GstBuffer* pBuffer)
{
    Engine(pTransform).Queue().Push(CBufferPtr(gst_buffer_ref(pBuffer)));
    return GST_FLOW_OK;
}

gboolean SinkEvent(GstBaseTransform* pTransform, GstEvent* pEvent)
{
    CCallfeedEngine& engine = Engine(pTransform);
    switch (GST_EVENT_TYPE(pEvent)) {
    case GST_EVENT_FLUSH_START:
        engine.Queue().Flush();
        engine.AbortWaits();
        break;
    case GST_EVENT_SEGMENT: {
        const GstSegment* pSegment = nullptr;
        gst_event_parse_segment(pEvent, &pSegment);
        engine.SetSegment(*pSegment);
        break;
    }
    case GST_EVENT_EOS:
        // Passed on once the call has heard the file: what follows (the
        // player's next file, its flush) must not cut the last second.
        GST_DEBUG_OBJECT(pTransform, "end of stream held until the call has heard the file");
        engine.WaitUntilHeard(gst_pad_is_linked(CALLFEED_RENDERER(pTransform)->m_pWidePad));
        GST_DEBUG_OBJECT(pTransform, "end of stream released");
        break;
    default:
        break;
    }
    return GST_BASE_TRANSFORM_CLASS(ccallfeed_parent_class)->sink_event(pTransform, pEvent);
}

void SetHeld(CCallfeedEngine& engine, bool bHeld)
{
    engine.Queue().SetHeld(bHeld);
    engine.WideQueue().SetHeld(bHeld);
}

// The call hears the file only while it plays: the queues are held from the
// moment the element leaves PLAYING (what the mixer has taken stays where it
// stopped) and released once it is PLAYING again. A flush still empties
// them. From PAUSED down no end of stream may wait any longer: the pads'
// deactivation needs the streaming thread.
GstStateChangeReturn ChangeState(GstElement* pElement, GstStateChange transition)
{
    CCallfeedEngine& engine = Engine(pElement);
    if (transition == GST_STATE_CHANGE_PLAYING_TO_PAUSED)
        SetHeld(engine, true);
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED)
        engine.SetStreaming(true);
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY)
        engine.SetStreaming(false);
    const GstStateChangeReturn result =
        GST_ELEMENT_CLASS(ccallfeed_parent_class)->change_state(pElement, transition);
    if (transition == GST_STATE_CHANGE_PAUSED_TO_PLAYING && result != GST_STATE_CHANGE_FAILURE)
        SetHeld(engine, false);
    return result;
}

void SetProperty(GObject* pObject, guint nId, const GValue* pValue, GParamSpec* pSpec)
{
    CCallfeedEngine& engine = Engine(pObject);
    switch (nId) {
    case PROP_PORT:
        engine.StorePort(g_value_get_int(pValue));
        break;
    case PROP_VOLUME:
        engine.Levels().SetVolume(g_value_get_int(pValue));
        break;
    case PROP_BALANCE:
        engine.Levels().SetBalance(g_value_get_int(pValue));
        break;
    case PROP_CAPTURE_SOURCE: {
        const gchar* pszSource = g_value_get_string(pValue);
        engine.SetCaptureSource(pszSource != nullptr ? pszSource
                                                     : CCallfeedEngine::kDefaultCaptureSource);
        break;
    }
    case PROP_MIX_OUTPUT: {
        const gchar* pszOutput = g_value_get_string(pValue);
        engine.SetMixOutput(pszOutput != nullptr ? pszOutput : "");
        break;
    }
    case PROP_LOCAL_OUTPUT: {
        const gchar* pszOutput = g_value_get_string(pValue);
        engine.SetLocalOutput(pszOutput != nullptr ? pszOutput : "");
        break;
    }
    case PROP_LOCAL_VOLUME:
        engine.SetLocalVolume(g_value_get_double(pValue));
        break;
    case PROP_CALL_LIMITER:
        engine.CallOptions().SetLimiter(g_value_get_boolean(pValue) != FALSE);
        break;
    case PROP_TALK_OVER:
        engine.CallOptions().SetTalkOver(g_value_get_boolean(pValue) != FALSE);
        break;
    case PROP_TALK_OVER_DEPTH:
        engine.CallOptions().SetTalkOverDepthDb(g_value_get_double(pValue));
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(pObject, nId, pSpec);
        break;
    }
}

void GetProperty(GObject* pObject, guint nId, GValue* pValue, GParamSpec* pSpec)
{
    CCallfeedEngine& engine = Engine(pObject);
    switch (nId) {
    case PROP_PORT:
        g_value_set_int(pValue, engine.GetPort());
        break;
    case PROP_VOLUME:
        g_value_set_int(pValue, engine.Levels().Volume());
        break;
    case PROP_BALANCE:
        g_value_set_int(pValue, engine.Levels().Balance());
        break;
    case PROP_CAPTURE_SOURCE:
        g_value_set_string(pValue, engine.GetCaptureSource().c_str());
        break;
    case PROP_MIX_OUTPUT:
        g_value_set_string(pValue, engine.GetMixOutput().c_str());
        break;
    case PROP_LOCAL_OUTPUT:
        g_value_set_string(pValue, engine.GetLocalOutput().c_str());
        break;
    case PROP_LOCAL_VOLUME:
        g_value_set_double(pValue, engine.GetLocalVolume());
        break;
    case PROP_POSITION:
        g_value_set_int64(pValue, engine.HeardPosition());
        break;
    case PROP_CALL_LIMITER:
        g_value_set_boolean(pValue, engine.CallOptions().Limiter());
        break;
    case PROP_TALK_OVER:
        g_value_set_boolean(pValue, engine.CallOptions().TalkOver());
        break;
    case PROP_TALK_OVER_DEPTH:
        g_value_set_double(pValue, engine.CallOptions().TalkOverDepthDb());
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(pObject, nId, pSpec);
        break;
    }
}

gint OnSetPort(CCallfeed* pSelf, gint nPort)
{
    return pSelf->m_pEngine->SetPort(nPort);
}

gint OnStartTransmission(CCallfeed* pSelf)
{
    const HRESULT hr = pSelf->m_pEngine->StartTransmission();
    if (FAILED(hr))
        GST_WARNING_OBJECT(pSelf, "transmission did not start: 0x%08X", static_cast<unsigned>(hr));
    else
        GST_INFO_OBJECT(pSelf, "transmission started");
    return hr;
}

GstStructure* OnTakeLevels(CCallfeed* pSelf)
{
    return NewCallLevelsStructure(pSelf->m_pEngine->TakeLevels());
}

gint OnStopTransmission(CCallfeed* pSelf)
{
    GST_INFO_OBJECT(pSelf, "transmission stopping");
    return pSelf->m_pEngine->StopTransmission();
}

void Dispose(GObject* pObject)
{
    CCallfeed* pSelf = CALLFEED_RENDERER(pObject);
    pSelf->m_pEngine->Shutdown();
    G_OBJECT_CLASS(ccallfeed_parent_class)->dispose(pObject);
}

void Finalize(GObject* pObject)
{
    CCallfeed* pSelf = CALLFEED_RENDERER(pObject);
    delete pSelf->m_pEngine;
    G_OBJECT_CLASS(ccallfeed_parent_class)->finalize(pObject);
}

void InstallProperties(GObjectClass* pClass)
{
    const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(
        pClass, PROP_PORT,
        g_param_spec_int("port", "Port",
                         "TCP port on 127.0.0.1 for the next server start (low 16 bits used)",
                         G_MININT, G_MAXINT, kDefaultCallfeedPort, flags));
    g_object_class_install_property(
        pClass, PROP_VOLUME,
        g_param_spec_int("volume", "Volume",
                         "Level of the transmitted mix, 0..255; other values are clamped", G_MININT,
                         G_MAXINT, kMaxVolume, flags));
    g_object_class_install_property(
        pClass, PROP_BALANCE,
        g_param_spec_int("balance", "Balance",
                         "Voice (-127) to playback (128) balance; other values are clamped",
                         G_MININT, G_MAXINT, 0, flags));
    g_object_class_install_property(
        pClass, PROP_CAPTURE_SOURCE,
        g_param_spec_string("capture-source", "Capture source",
                            "gst-launch description of the microphone source "
                            "(the environment variable VOXREEL_CAPTURE_SOURCE overrides it)",
                            CCallfeedEngine::kDefaultCaptureSource, flags));
    g_object_class_install_property(
        pClass, PROP_MIX_OUTPUT,
        g_param_spec_string("mix-output", "Mix output",
                            "gst-launch description of a local output that plays the "
                            "transmitted mix at 48 kHz stereo (empty: none); taken at the next "
                            "start",
                            "", flags));
    g_object_class_install_property(
        pClass, PROP_LOCAL_OUTPUT,
        g_param_spec_string("local-output", "Local output",
                            "gst-launch description of a sink that plays the playback alone, as "
                            "the call hears it (empty: none); taken at the next start",
                            "", flags));
    g_object_class_install_property(
        pClass, PROP_LOCAL_VOLUME,
        g_param_spec_double("local-volume", "Local volume",
                            "Linear factor of the local output, applied at once", 0.0,
                            kMaxLocalVolume, 1.0, flags));
    g_object_class_install_property(
        pClass, PROP_POSITION,
        g_param_spec_int64("position", "Position",
                           "Stream time (ns) the call has heard of the current segment; -1 "
                           "when nothing",
                           -1, G_MAXINT64, -1,
                           static_cast<GParamFlags>(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));
    g_object_class_install_property(
        pClass, PROP_CALL_LIMITER,
        g_param_spec_boolean(kCallLimiterProperty, "Call limiter",
                             "Keep the call's two mixes under full scale (-1 dBFS) with a "
                             "limiter after the mix law; off, the law's sum goes out as it is",
                             FALSE, flags));
    g_object_class_install_property(
        pClass, PROP_TALK_OVER,
        g_param_spec_boolean(kTalkOverProperty, "Talk-over",
                             "Lower the playback in the call's mixes while the microphone "
                             "carries speech (the local output is not lowered)",
                             FALSE, flags));
    g_object_class_install_property(
        pClass, PROP_TALK_OVER_DEPTH,
        g_param_spec_double(kTalkOverDepthProperty, "Talk-over depth",
                            "How far talk-over lowers the playback, in dB", 0.0,
                            CCallOptions::kMaxTalkOverDepthDb,
                            CCallOptions::kDefaultTalkOverDepthDb, flags));
}

void InstallSignals(GObjectClass* pClass)
{
    const GType type = G_OBJECT_CLASS_TYPE(pClass);
    const auto flags = static_cast<GSignalFlags>(G_SIGNAL_RUN_LAST | G_SIGNAL_ACTION);
    g_signal_new_class_handler("set-port", type, flags, G_CALLBACK(OnSetPort), nullptr, nullptr,
                               nullptr, G_TYPE_INT, 1, G_TYPE_INT);
    g_signal_new_class_handler("start-transmission", type, flags, G_CALLBACK(OnStartTransmission),
                               nullptr, nullptr, nullptr, G_TYPE_INT, 0);
    g_signal_new_class_handler("stop-transmission", type, flags, G_CALLBACK(OnStopTransmission),
                               nullptr, nullptr, nullptr, G_TYPE_INT, 0);
    g_signal_new_class_handler(kTakeLevelsSignal, type, flags, G_CALLBACK(OnTakeLevels), nullptr,
                               nullptr, nullptr, GST_TYPE_STRUCTURE, 0);
}

} // namespace

static void ccallfeed_class_init(CCallfeedClass* pClass)
{
    (void)CallfeedRendererDebug(); // so that --gst-debug-help lists it once the plugin loads
    GObjectClass* pObjectClass = G_OBJECT_CLASS(pClass);
    pObjectClass->set_property = SetProperty;
    pObjectClass->get_property = GetProperty;
    pObjectClass->dispose = Dispose;
    pObjectClass->finalize = Finalize;
    InstallProperties(pObjectClass);
    InstallSignals(pObjectClass);

    GstElementClass* pElementClass = GST_ELEMENT_CLASS(pClass);
    pElementClass->change_state = ChangeState;
    gst_element_class_set_static_metadata(
        pElementClass, "Voxreel Audio Renderer", "Filter/Audio/Network",
        "Passes 16 kHz mono audio on and mixes it with the microphone into a call's TCP feed; "
        "mixes its 48 kHz stereo twin into a local full-band output",
        "Voxreel");
    gst_element_class_add_static_pad_template(pElementClass, &g_sinkTemplate);
    gst_element_class_add_static_pad_template(pElementClass, &g_srcTemplate);
    gst_element_class_add_static_pad_template(pElementClass, WidePadTemplate());

    GstBaseTransformClass* pTransformClass = GST_BASE_TRANSFORM_CLASS(pClass);
    pTransformClass->transform_ip = TransformInPlace;
    pTransformClass->sink_event = SinkEvent;
    pTransformClass->transform_ip_on_passthrough = TRUE;
}

static void ccallfeed_init(CCallfeed* pSelf)
{
    pSelf->m_pEngine = new CCallfeedEngine(
        [pSelf](int nCode, std::uint32_t nValue) { PostNotification(pSelf, nCode, nValue); });
    pSelf->m_pEngine->Queue().SetHeld(true); // not PLAYING yet
    pSelf->m_pEngine->WideQueue().SetHeld(true);
    pSelf->m_pWidePad = AddWidePad(GST_ELEMENT(pSelf), pSelf->m_pEngine);
    gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(pSelf), TRUE);
    gst_base_transform_set_in_place(GST_BASE_TRANSFORM(pSelf), TRUE);
}
