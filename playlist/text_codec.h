// Conversions of the text encodings met in playlist files and ID3 tags into
// UTF-8. Every decoder accepts any bytes: malformed input becomes U+FFFD,
// never an error, so that hostile files still give a showable text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace voxreel::text {

// Appends the UTF-8 form of one code point (U+FFFD for surrogates and values
// beyond U+10FFFF).
void AppendUtf8(std::string& out, char32_t codePoint);

// ISO-8859-1: every byte is the code point of the same value.
std::string Latin1ToUtf8(std::string_view bytes);

// UTF-16 in the given byte order; unpaired surrogates and a trailing odd byte
// become U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// UTF-8 with every malformed sequence (overlong, surrogate, truncated, stray
// continuation) replaced by U+FFFD. Valid input is returned unchanged.
std::string SanitizeUtf8(std::string_view bytes);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// Decodes well-formed or malformed UTF-8 into code points, calling sink for each.
template <typename Sink> void ForEachCodePoint(std::string_view utf8, Sink sink);

// Implementation detail of ForEachCodePoint: decodes the sequence at pos,
// advances pos past it and returns the code point (U+FFFD when malformed).
char32_t DecodeUtf8At(std::string_view utf8, std::size_t& pos);

template <typename Sink> void ForEachCodePoint(std::string_view utf8, Sink sink)
{
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        sink(DecodeUtf8At(utf8, pos));
    }
}

} // namespace voxreel::text
