// A defensive reader of ID3v2 tag structure. id3lib trusts the frame headers
// it parses (compressed frames, v2.2 "CDM" frames and huge declared sizes
// crash it), so the tag is walked here first: only the artist and title
// frames are taken, unsynchronisation and compression are undone with bounds,
// and their text is decoded to UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace voxreel::id3 {

struct TagTexts {
    std::optional<std::string> artist; // TPE1 (TP1 in ID3v2.2), UTF-8
    std::optional<std::string> title;  // TIT2 (TT2 in ID3v2.2), UTF-8
};

struct Id3v2Header {
    int nMajor = 0; // 2, 3 or 4
    std::uint8_t nFlags = 0;
    std::size_t nBodySize = 0;  // bytes after the 10-byte header, without a footer
    std::size_t nTotalSize = 0; // header, body and footer: where the audio starts
};

// The header of an ID3v2 tag at the start of bytes, if there is a valid one.
std::optional<Id3v2Header> ParseId3v2Header(std::string_view bytes);

// The artist and title of the tag that starts bytes (possibly cut short).
// Frames that are encrypted, malformed or truncated are skipped.
TagTexts ScanId3v2(std::string_view bytes);

// The text of a text frame's payload (encoding byte, then text) as UTF-8;
// none when the encoding is unknown or the text empty. With multipleValues
// (ID3v2.4) every value separated by a terminator is kept, joined by " / ";
// otherwise the first terminator ends the text.
std::optional<std::string> DecodeTextPayload(std::string_view payload, bool multipleValues);

} // namespace voxreel::id3
