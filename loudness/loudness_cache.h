// What files have been found to measure, kept between runs so that a file is
// measured once: one line per result in a text file, keyed by the file's
// path, size and modification time, so a file that changes is measured again.
// Later lines win; the file is rewritten without stale lines when it has
// gathered too many. Not thread-safe: one thread owns a cache.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>

#include "track_loudness.h"

namespace loudness {

class CLoudnessCache {
public:
    // Loads folder/loudness-v1.tsv, if any. An empty folder: a cache kept in
    // memory only.
    explicit CLoudnessCache(std::filesystem::path folder);

    // The file's loudness as last stored, if the file has not changed since.
    std::optional<TrackLoudness> Find(const std::filesystem::path& path) const;
    // Keeps the file's loudness against its size and time as they are now.
    void Store(const std::filesystem::path& path, const TrackLoudness& loudness);

    const std::filesystem::path& File() const { return m_file; }

private:
    struct Stamp {
        std::uintmax_t nSize = 0;
        std::int64_t nModified = 0; // nanoseconds since the file clock's epoch
        bool operator==(const Stamp&) const = default;
    };
    struct Entry {
        Stamp stamp;
        TrackLoudness loudness;
    };
    static std::optional<Stamp> StampOf(const std::filesystem::path& path);
    static std::string Line(const std::string& strPath, const Entry& entry);
    void Load();
    void Compact();

    std::filesystem::path m_file;
    std::unordered_map<std::string, Entry> m_entries; // by path, byte for byte
    std::size_t m_nLines = 0;                         // in the file, stale ones too
};

} // namespace loudness
