// The microphones and outputs GStreamer's device monitor lists, each with the
// gst-launch description that opens it (kept in the settings).
#pragma once

#include <string>
#include <vector>

struct AudioDevice {
    std::string strName;        // what the user sees
    std::string strDescription; // e.g. pulsesrc device="alsa_input.usb-..."
};

// Audio sources (bSources) or sinks, in the monitor's order.
std::vector<AudioDevice> ListAudioDevices(bool bSources);
