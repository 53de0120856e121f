#include "resampler_debug.h"

GstDebugCategory* CallfeedResamplerDebug()
{
    static GstDebugCategory* const pCategory = [] {
        GstDebugCategory* pMade = nullptr;
        GST_DEBUG_CATEGORY_INIT(pMade, "callfeedresampler", 0,
                                "Voxreel call feed resampler: any PCM to 16 kHz mono");
        return pMade;
    }();
    return pCategory;
}
