// The status texts of the renderer's notification codes, shared by every
// program that shows them. Codes with a value carry one "%08X".
#pragma once

#include <array>

#include "voxreel/ids.h"

inline constexpr std::array<const char*, 9> kRendererNotifyTexts = {
    "An error occurred: %08X",           // NOTIFY_ERROR
    "Skype has connected!",              // NOTIFY_CLIENT_CONNECTED
    "Skype has disconnected!",           // NOTIFY_CLIENT_DISCONNECTED
    "Cannot record audio: %08X",         // NOTIFY_CAPTURE_ERROR
    "A network error occurred: %08X",    // NOTIFY_NETWORK_ERROR
    "Playback error occurred: %08X",     // NOTIFY_GRAPH_ERROR
    "Recording on a microphone started", // NOTIFY_CAPTURE_STARTED
    "Recording on a microphone stopped", // NOTIFY_CAPTURE_STOPPED
    "An audio output does not start",    // NOTIFY_OUTPUT_NOT_STARTING
};

// The format for a notification code, or nullptr for a code the renderer
// does not send (which changes nothing).
constexpr const char* RendererNotifyText(unsigned nCode)
{
    return nCode < kRendererNotifyTexts.size() ? kRendererNotifyTexts[nCode] : nullptr;
}
