// The resampler's GStreamer debug category, "callfeedresampler", shared by
// its parts: GST_DEBUG=callfeedresampler:5 (or callfeed*:5) shows them.
#pragma once

#include <gst/gst.h>

// The category, made on first use: the engine also runs in tests that never
// register the element.
GstDebugCategory* CallfeedResamplerDebug();

#undef GST_CAT_DEFAULT
#define GST_CAT_DEFAULT CallfeedResamplerDebug()
