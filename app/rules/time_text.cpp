#include "time_text.h"

#include <cstdio>

std::string FormatMinutesSeconds(std::uint32_t nSeconds)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02u:%02u", nSeconds / 60, nSeconds % 60);
    return buffer;
}

std::string FormatTimeDisplay(std::uint32_t nPosition, std::uint32_t nDuration)
{
    return FormatMinutesSeconds(nPosition) + "/" + FormatMinutesSeconds(nDuration);
}
