// What the window does with a renderer notification: the status text, the
// status icon and whether the call's input counts as switched any longer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class StatusIcon { Unchanged, NotConnected, Connected };

struct RendererNotice {
    std::optional<std::string> strStatus; // none: the status line is left alone
    StatusIcon icon = StatusIcon::Unchanged;
    bool bTransmissionLost = false; // the port's client is gone
};

RendererNotice DescribeRendererNotify(std::uint64_t nCode, std::uint32_t nValue);

// The text of a playback that failed: the abort's text with the code, and
// the reason appended when the player knows one.
std::string PlaybackErrorStatus(std::uint32_t nCode, std::string_view strReason);
