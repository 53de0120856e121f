// CCallfeed, the network audio renderer element: an in-place transform that
// passes every 16 kHz mono 16-bit buffer on unchanged and queues a reference
// to it for the mix sent to the call, with an always sink pad "wide" taking
// the same playback at 48 kHz stereo for the full-band outputs. The end of
// stream is passed on once the call has heard the file.
//
// Properties: port, volume, balance, capture-source, mix-output,
// local-output, local-volume, position (read-only). Action signals
// returning an HRESULT as int: set-port(int), start-transmission(),
// stop-transmission(). Notifications are element messages "callfeed-notify"
// with a code and a value (voxreel/callfeed_control.h reads them).
#pragma once

#include <gst/base/gstbasetransform.h>

G_BEGIN_DECLS

#define CALLFEED_TYPE_RENDERER (ccallfeed_get_type())
G_DECLARE_FINAL_TYPE(CCallfeed, ccallfeed, CALLFEED, RENDERER, GstBaseTransform)

G_END_DECLS
