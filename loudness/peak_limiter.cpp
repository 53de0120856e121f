#include "peak_limiter.h"

#include <gst/audio/gstaudiofilter.h>
#include <gst/gst.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace loudness {
namespace {

constexpr double kDefaultCeilingDb = -1.0;
constexpr double kDefaultReleaseMs = 150.0;

enum { PROP_0, PROP_CEILING, PROP_RELEASE, PROP_ACTIVE };

struct PeakLimiter {
    GstAudioFilter parent;
    // Properties, guarded by the object lock; read once per buffer.
    double dCeilingDb;
    double dReleaseMs;
    gboolean bActive;
    // The streaming thread's alone.
    float fGain;
};
struct PeakLimiterClass {
    GstAudioFilterClass parent_class;
};

G_DEFINE_TYPE(PeakLimiter, peak_limiter, GST_TYPE_AUDIO_FILTER)

GstFlowReturn TransformInPlace(GstBaseTransform* pTransform, GstBuffer* pBuffer)
{
    auto* pSelf = reinterpret_cast<PeakLimiter*>(pTransform);
    const GstAudioInfo& info = *GST_AUDIO_FILTER_INFO(pTransform);
    GST_OBJECT_LOCK(pSelf);
    const double dCeilingDb = pSelf->dCeilingDb;
    const double dReleaseMs = pSelf->dReleaseMs;
    const bool bActive = pSelf->bActive != FALSE;
    GST_OBJECT_UNLOCK(pSelf);
    if (!bActive || info.channels <= 0 || info.rate <= 0)
        return GST_FLOW_OK;

    GstMapInfo map;
    if (!gst_buffer_map(pBuffer, &map, GST_MAP_READWRITE))
        return GST_FLOW_ERROR;
    const auto fCeiling = static_cast<float>(std::pow(10.0, dCeilingDb / 20.0));
    // Per frame, the gain closes this share of its distance to unity.
    const auto fRecovery =
        static_cast<float>(1.0 - std::exp(-1000.0 / (std::max(dReleaseMs, 1.0) * info.rate)));
    const auto nChannels = static_cast<std::size_t>(info.channels);
    auto* pSamples = reinterpret_cast<float*>(map.data);
    const std::size_t nFrames = map.size / sizeof(float) / nChannels;
    float fGain = pSelf->fGain;
    for (std::size_t n = 0; n < nFrames; ++n) {
        float* pFrame = pSamples + n * nChannels;
        float fPeak = 0.0f;
        for (std::size_t c = 0; c < nChannels; ++c)
            fPeak = std::max(fPeak, std::fabs(pFrame[c]));
        fGain += (1.0f - fGain) * fRecovery;
        if (fPeak * fGain > fCeiling)
            fGain = fCeiling / fPeak;
        for (std::size_t c = 0; c < nChannels; ++c)
            pFrame[c] *= fGain;
    }
    pSelf->fGain = fGain;
    gst_buffer_unmap(pBuffer, &map);
    return GST_FLOW_OK;
}

gboolean Start(GstBaseTransform* pTransform)
{
    reinterpret_cast<PeakLimiter*>(pTransform)->fGain = 1.0f;
    return TRUE;
}

void SetProperty(GObject* pObject, guint nId, const GValue* pValue, GParamSpec* pSpec)
{
    auto* pSelf = reinterpret_cast<PeakLimiter*>(pObject);
    GST_OBJECT_LOCK(pSelf);
    switch (nId) {
    case PROP_CEILING:
        pSelf->dCeilingDb = g_value_get_double(pValue);
        break;
    case PROP_RELEASE:
        pSelf->dReleaseMs = g_value_get_double(pValue);
        break;
    case PROP_ACTIVE:
        pSelf->bActive = g_value_get_boolean(pValue);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(pObject, nId, pSpec);
    }
    GST_OBJECT_UNLOCK(pSelf);
}

void GetProperty(GObject* pObject, guint nId, GValue* pValue, GParamSpec* pSpec)
{
    auto* pSelf = reinterpret_cast<PeakLimiter*>(pObject);
    GST_OBJECT_LOCK(pSelf);
    switch (nId) {
    case PROP_CEILING:
        g_value_set_double(pValue, pSelf->dCeilingDb);
        break;
    case PROP_RELEASE:
        g_value_set_double(pValue, pSelf->dReleaseMs);
        break;
    case PROP_ACTIVE:
        g_value_set_boolean(pValue, pSelf->bActive);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(pObject, nId, pSpec);
    }
    GST_OBJECT_UNLOCK(pSelf);
}

void peak_limiter_class_init(PeakLimiterClass* pClass)
{
    GObjectClass* pObjectClass = G_OBJECT_CLASS(pClass);
    pObjectClass->set_property = SetProperty;
    pObjectClass->get_property = GetProperty;
    const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(pObjectClass, PROP_CEILING,
                                    g_param_spec_double("ceiling", "Ceiling",
                                                        "Highest sample level (dBFS)", -60.0, 0.0,
                                                        kDefaultCeilingDb, flags));
    g_object_class_install_property(pObjectClass, PROP_RELEASE,
                                    g_param_spec_double("release-ms", "Release",
                                                        "Recovery time constant (ms)", 1.0, 10000.0,
                                                        kDefaultReleaseMs, flags));
    g_object_class_install_property(
        pObjectClass, PROP_ACTIVE,
        g_param_spec_boolean("active", "Active", "Limit (or pass through untouched)", TRUE, flags));

    GstElementClass* pElementClass = GST_ELEMENT_CLASS(pClass);
    gst_element_class_set_static_metadata(pElementClass, "Peak limiter", "Filter/Effect/Audio",
                                          "Keeps samples at or below a ceiling", "Voxreel");
    GstCaps* pCaps = gst_caps_from_string("audio/x-raw,format=" GST_AUDIO_NE(
        F32) ",layout=interleaved,rate=[1,MAX],channels=[1,MAX]");
    gst_audio_filter_class_add_pad_templates(GST_AUDIO_FILTER_CLASS(pClass), pCaps);
    gst_caps_unref(pCaps);

    GstBaseTransformClass* pTransformClass = GST_BASE_TRANSFORM_CLASS(pClass);
    pTransformClass->transform_ip = TransformInPlace;
    pTransformClass->start = Start;
}

void peak_limiter_init(PeakLimiter* pSelf)
{
    pSelf->dCeilingDb = kDefaultCeilingDb;
    pSelf->dReleaseMs = kDefaultReleaseMs;
    pSelf->bActive = TRUE;
    pSelf->fGain = 1.0f;
    gst_base_transform_set_in_place(GST_BASE_TRANSFORM(pSelf), TRUE);
}

} // namespace

bool RegisterPeakLimiter()
{
    static const bool bRegistered =
        gst_element_register(nullptr, kPeakLimiterFactory, GST_RANK_NONE,
                             peak_limiter_get_type()) != FALSE;
    return bRegistered;
}

} // namespace loudness
