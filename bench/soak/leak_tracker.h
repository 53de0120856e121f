// GStreamer's leaks tracer as a counter. The tracer lists every object
// (GstObject or mini object) still alive when GStreamer shuts down, on its
// debug category at the TRACE level; this counts those lines. GST_TRACERS
// must name "leaks" before gst_init.
#pragma once

#include <cstddef>
#include <map>
#include <string>

class CLeakTracker {
public:
    // Installs the counting log function; call after gst_init.
    CLeakTracker();

    // Whether the leaks tracer runs in this process.
    bool Active() const { return m_bActive; }
    // Shuts GStreamer down (nothing of it may be used afterwards) and
    // returns the objects the tracer found alive, by type name.
    std::map<std::string, std::size_t> AliveAtShutdown();

private:
    bool m_bActive = false;
};
