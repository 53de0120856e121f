// The tag reading of id3lib, fed only with input it handles safely: an ID3v2.3
// tag rebuilt from the frames that id3v2_scan extracted, and the 128 bytes of
// an ID3v1 tag. Texts are read from the fields' raw bytes, never through
// id3lib's string getters (they overflow on UTF-16 text and drop the high
// byte of each character).
#pragma once

#include "playlist/id3v2_scan.h"

#include <string>
#include <string_view>

namespace voxreel::id3 {

// A minimal ID3v2.3 tag holding the given texts as TPE1 and TIT2 frames
// (ISO-8859-1 where that suffices, UTF-16 otherwise); empty when there is none.
std::string BuildCleanTag(const TagTexts& texts);

// Reads the artist and title with id3lib from a clean ID3v2.3 tag and an
// ID3v1 tag (either may be empty). ID3v2 frames take precedence over ID3v1
// fields. Never throws.
TagTexts ReadTagsWithId3lib(std::string_view cleanTag, std::string_view id3v1);

// True when bytes are a complete ID3v1 tag.
bool IsId3v1Tag(std::string_view bytes);

} // namespace voxreel::id3
