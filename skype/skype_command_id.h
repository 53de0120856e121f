// The "#id " prefix that ties a command to its reply: the player puts it in
// front of every command, the call client in front of the reply, and both
// read it back with the one parser here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct SkypeCommandIdPrefix {
    std::int32_t id;
    std::size_t textOffset; // where the text after the blank starts
};

// Parses "#<decimal digits><blank>". Only plain digits count: no sign, no
// leading blanks, and an id beyond the 32-bit range matches no command.
std::optional<SkypeCommandIdPrefix> ParseCommandIdPrefix(std::string_view text);

// "#<id> ": the prefix for a command or its reply.
std::string FormatCommandIdPrefix(std::int32_t id);
