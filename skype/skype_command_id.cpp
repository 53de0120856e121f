#include "skype_command_id.h"

#include <limits>

std::optional<SkypeCommandIdPrefix> ParseCommandIdPrefix(std::string_view text)
{
    if (text.empty() || text[0] != '#')
        return std::nullopt;
    constexpr std::int64_t kMaxId = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    bool bTooLarge = false;
    std::size_t pos = 1;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > kMaxId) {
            bTooLarge = true;
            value = kMaxId; // keeps the running value bounded
        }
    }
    if (pos == 1 || pos >= text.size() || text[pos] != ' ' || bTooLarge)
        return std::nullopt;
    return SkypeCommandIdPrefix{static_cast<std::int32_t>(value), pos + 1};
}

std::string FormatCommandIdPrefix(std::int32_t id)
{
    return "#" + std::to_string(id) + " ";
}
