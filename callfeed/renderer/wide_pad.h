// The renderer's "wide" sink pad: the same playback at full band (48 kHz
// stereo), queued for the wide mix. It passes nothing on and never waits:
// each buffer goes into the engine's wide queue, a flush empties that
// queue, the end of stream marks it ended. Unlinked, it is harmless: the
// wide outputs then carry the microphone alone.
#pragma once

#include <gst/gst.h>

class CCallfeedEngine;

// The template to register with the element's class.
GstStaticPadTemplate* WidePadTemplate();
// Makes the pad, wired to the engine, and adds it to the element.
GstPad* AddWidePad(GstElement* pElement, CCallfeedEngine* pEngine);
