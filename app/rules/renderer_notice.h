// What the window does with a renderer notification: the status text, the
// status icon and whether the call's input counts as switched any longer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

enum class StatusIcon { Unchanged, NotConnected, Connected };

struct RendererNotice {
    std::optional<std::string> strStatus; // none: the status line is left alone
    StatusIcon icon = StatusIcon::Unchanged;
    bool bTransmissionLost = false; // the port's client is gone
};

RendererNotice DescribeRendererNotify(std::uint64_t nCode, std::uint32_t nValue);
