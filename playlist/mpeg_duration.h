// The playing time of an MPEG audio stream from its first frame: the frame
// count of a Xing/Info or VBRI header when there is one, otherwise the
// constant bit rate applied to the audio's length.
#pragma once

#include <cstdint>
#include <string_view>

namespace voxreel::mpeg {

// data: the bytes at the start of the audio (after any ID3v2 tag);
// audioBytes: the length of the audio in the file from that point on (without
// a trailing ID3v1 tag). Returns whole seconds, 0 when no frame is found.
std::int32_t DurationSeconds(std::string_view data, std::uint64_t audioBytes);

} // namespace voxreel::mpeg
