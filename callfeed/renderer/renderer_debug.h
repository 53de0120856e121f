// The renderer's GStreamer debug category, "callfeedrenderer", shared by all
// its parts: GST_DEBUG=callfeedrenderer:5 (or callfeed*:5) shows them.
#pragma once

#include <gst/gst.h>

// The category, made on first use: the parts also run in tests that never
// register the element.
GstDebugCategory* CallfeedRendererDebug();

#undef GST_CAT_DEFAULT
#define GST_CAT_DEFAULT CallfeedRendererDebug()
