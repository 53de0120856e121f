// Reading the "#id " prefix of a reply from the call client.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

struct SkypeReplyPrefix {
    std::int32_t id;
    std::size_t textOffset; // where the reply text after the blank starts
};

// Parses "#<decimal digits><blank>". Only plain digits count: no sign, no
// leading blanks, and an id beyond the 32-bit range matches no command.
std::optional<SkypeReplyPrefix> ParseSkypeReplyPrefix(std::string_view text);
