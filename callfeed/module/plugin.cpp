// The Callfeed plugin: registers its elements and nothing else.
#include <gst/gst.h>

#include "renderer/callfeed_renderer_register.h"
#include "resampler/callfeed_resampler_register.h"

namespace {

gboolean PluginInit(GstPlugin* plugin)
{
    // Both are attempted, so that one failing does not hide the other.
    gboolean renderer = GST_ELEMENT_REGISTER(callfeedrenderer, plugin);
    gboolean resampler = GST_ELEMENT_REGISTER(callfeedresampler, plugin);
    return renderer && resampler;
}

} // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, callfeed,
                  "Voxreel call feed: network audio renderer and resampler", PluginInit, VERSION,
                  "MIT", "Voxreel", "https://voxreel.invalid/")
