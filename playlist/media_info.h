// The title and duration of a file as the playlist shows them: the file name,
// or for MP3 files the ID3 artist and title and the MPEG playing time.
#pragma once

#include "playlist/id3v2_scan.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

struct PlaylistItem;

// Sets item.title and item.duration. Never fails and never blocks on special
// files: whatever cannot be read gives the file-name title and duration 0.
void DescribeFile(const std::filesystem::path& path, PlaylistItem& item);

namespace voxreel::media {

// Random access to a file's bytes, so that the same reading runs on files and,
// in tests and fuzzing, on memory.
class IByteSource {
public:
    virtual ~IByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Up to length bytes at offset; fewer at the end or on a read error.
    virtual std::string Read(std::uint64_t offset, std::size_t length) const = 0;
};

struct Mp3Info {
    id3::TagTexts texts;
    std::int32_t duration = 0; // whole seconds
};

// The tags and playing time of an MP3 file's bytes.
Mp3Info ReadMp3Info(const IByteSource& source);

// The title of an MP3 file from its file-name title and its tag texts:
// "Artist : Title", "Artist", "<name> : Title" or the name alone.
std::string ComposeTitle(std::string nameTitle, const id3::TagTexts& texts);

} // namespace voxreel::media
