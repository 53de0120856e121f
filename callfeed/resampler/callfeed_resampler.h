// CResampleFilter, the resampler element: any 16-bit PCM in, 16 kHz mono
// 16-bit PCM out in fixed half-second blocks (or downstream's block size),
// with one always sink pad and one always source pad whose chain, events and
// queries drive a CResampleEngine.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

#define CALLFEED_TYPE_RESAMPLER (cresample_filter_get_type())
G_DECLARE_FINAL_TYPE(CResampleFilter, cresample_filter, CALLFEED, RESAMPLER, GstElement)

G_END_DECLS
