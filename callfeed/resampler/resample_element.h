// The GObject shell of the resampler: an element with one always sink pad and
// one always source pad whose chain, events and queries drive a
// CResampleFilter.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

GType ResampleElementGetType(void);

G_END_DECLS
