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

// True when an entry lacks a title or a length (0; -1 is a stream's, which
// has none to find).
bool NeedsDescribing(const PlaylistItem& item);

// Fills what an entry read from a playlist lacks, from its file as
// DescribeFile reads it: an empty title from the file's tags, a duration of 0
// from its audio. A file without tags leaves the title empty, so that no
// made-up title is saved; ShownTitle puts its name in its place.
void DescribeMissing(PlaylistItem& item);

// The file-name part of the path without its extension, as valid UTF-8.
std::string NameTitle(const std::filesystem::path& path);

// What the window, "Now playing" and the desktop show for an entry: its title,
// or the name of its file when it has none.
std::string ShownTitle(const PlaylistItem& item);

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
