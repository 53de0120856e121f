// The extended M3U text of the default playlist: decoding a file's bytes into
// entries and writing entries back as bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct PlaylistItem;

namespace voxreel::m3u {

// Receives each entry of a file in order: its title (UTF-8), its duration in
// whole seconds (-1 for unknown lengths such as streams) and its path (native
// bytes, as written).
using EntrySink =
    std::function<void(std::string&& title, std::int32_t duration, std::string_view path)>;

// Decodes a playlist file: a byte order mark selects UTF-8, UTF-16 LE or
// UTF-16 BE, UTF-8 without one. Lines end with LF or CR LF and may be of any
// length. Never fails: lines it does not know are ignored.
void ParseM3U(std::string_view bytes, const EntrySink& onEntry);

// The bytes of a playlist file: UTF-8 with byte order mark, CR LF line ends,
// "#EXTM3U", an empty line, then "#EXTINF:<duration>,<title>" and the path per
// item. Line breaks in titles are written as blanks. Items whose path cannot
// stand on one line (empty, or holding a line break) are left out; a relative
// path that would read back as a comment or lose its leading blanks is
// written with "./" in front.
std::string FormatM3U(const std::vector<PlaylistItem>& items);

} // namespace voxreel::m3u
