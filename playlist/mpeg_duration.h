// The playing time of an MPEG audio stream: the frame count of a Xing/Info or
// VBRI header in its first frame when there is one; otherwise the bit rate
// applied to the audio's length when the first frames share one bit rate;
// otherwise (variable bit rate without a header) the frames counted one by one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace voxreel::mpeg {

// Up to length bytes of the audio from offset (counted from the audio's
// start); fewer at its end or on a read error.
using AudioReader = std::function<std::string(std::uint64_t offset, std::size_t length)>;

// data: the bytes at the start of the audio (after any ID3v2 tag);
// audioBytes: the length of the audio in the file from that point on (without
// a trailing ID3v1 tag); read: the audio beyond data, for counting frames.
// Returns whole seconds, 0 when no frame is found.
std::int32_t DurationSeconds(std::string_view data, std::uint64_t audioBytes,
                             const AudioReader& read);

} // namespace voxreel::mpeg
