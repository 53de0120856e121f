#include "renderer_debug.h"

GstDebugCategory* CallfeedRendererDebug()
{
    static GstDebugCategory* const pCategory = [] {
        GstDebugCategory* pMade = nullptr;
        GST_DEBUG_CATEGORY_INIT(pMade, "callfeedrenderer", 0,
                                "Voxreel call feed renderer: port, capture, mixes, outputs");
        return pMade;
    }();
    return pCategory;
}
