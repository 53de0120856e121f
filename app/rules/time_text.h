// The "mm:ss" texts of the playlist's duration column and the time display.
// Minutes are not folded into hours: 6000 s is "100:00".
#pragma once

#include <cstdint>
#include <string>

std::string FormatMinutesSeconds(std::uint32_t nSeconds);
// "position/duration", e.g. "00:00/03:05".
std::string FormatTimeDisplay(std::uint32_t nPosition, std::uint32_t nDuration);
