// Reads arbitrary bytes as a playlist file, then checks that what is written
// back reads back to the same playlist.
#include "playlist/m3u.h"
#include "playlist/playlist.h"

#include <cstdint>
#include <cstdlib>

namespace {

std::vector<PlaylistItem> Parse(std::string_view bytes)
{
    std::vector<PlaylistItem> items;
    voxreel::m3u::ParseM3U(bytes,
                           [&](std::string&& title, std::int32_t duration, std::string_view path) {
                               items.push_back({static_cast<std::int32_t>(items.size()), path,
                                                std::move(title), duration});
                           });
    return items;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string written = voxreel::m3u::FormatM3U(Parse(bytes));
    const std::string rewritten = voxreel::m3u::FormatM3U(Parse(written));
    if (written != rewritten) {
        std::abort();
    }
    return 0;
}
