// Registration of the resampler element with a plugin (or statically).
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS
GST_ELEMENT_REGISTER_DECLARE(callfeedresampler);
G_END_DECLS
