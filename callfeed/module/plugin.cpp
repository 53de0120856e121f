// The Callfeed plugin: registers its elements and nothing else.
#include <gst/gst.h>

#ifdef HAVE_CALLFEED_RENDERER
#include "renderer/callfeed_renderer_register.h"
#endif
#ifdef HAVE_CALLFEED_RESAMPLER
#include "resampler/resample_filter_register.h"
#endif

namespace {

gboolean PluginInit(GstPlugin* plugin)
{
    gboolean ok = TRUE;
#ifdef HAVE_CALLFEED_RENDERER
    ok = GST_ELEMENT_REGISTER(callfeedrenderer, plugin) && ok;
#endif
#ifdef HAVE_CALLFEED_RESAMPLER
    ok = GST_ELEMENT_REGISTER(callfeedresampler, plugin) && ok;
#endif
    (void)plugin;
    return ok;
}

} // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, callfeed,
                  "Voxreel call feed: network audio renderer and resampler", PluginInit, VERSION,
                  "MIT", "Voxreel", "https://voxreel.invalid/")
