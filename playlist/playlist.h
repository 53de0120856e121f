// The playlist: the files the user has added, each with a unique id, and the
// current entry. It is kept between runs in the default playlist file.
#pragma once

#include "voxreel/hresult.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class ISettingsStore;

// The gain a file plays with to bring it to the loudness target, as far as
// it is known. Not kept in the playlist file: it comes from the loudness cache.
struct TrackGain {
    enum class State { None, Measuring, Known, Failed };
    State state = State::None; // None: not asked for, or normalisation is off
    double dDb = 0.0;          // what the file plays with; 0 unless Known
};

struct PlaylistItem {
    std::int32_t id = -1;
    std::filesystem::path path; // exactly as added, never resolved
    std::string title;          // UTF-8
    std::int32_t duration = 0;  // whole seconds; 0 until a length is known
    TrackGain gain{};
};

class CPlaylist {
public:
    // A playlist that is not kept anywhere.
    CPlaylist() = default;
    // A playlist kept in the default playlist file named by the store's
    // "DefaultPlaylist" value (see DefaultPlaylistPath): loaded now, saved on
    // destruction. The store must outlive the playlist.
    explicit CPlaylist(ISettingsStore& settings);
    ~CPlaylist();
    CPlaylist(const CPlaylist&) = delete;
    CPlaylist& operator=(const CPlaylist&) = delete;

    // Appends a file with its title and duration from DescribeFile; returns its id.
    std::int32_t AddFile(const std::filesystem::path& path);
    // Appends a file already described (title and duration set, id ignored),
    // under the same rules as AddFile; returns its id. Lets the caller describe
    // files away from the thread that owns the playlist.
    std::int32_t AddDescribed(PlaylistItem item);
    // Removes the item with that id, if any. The current id stays as it is.
    void Remove(std::int32_t id);
    // Removes nCount items from position nFirst on (as far as there are
    // any). The current id stays as it is.
    void RemoveRange(std::size_t nFirst, std::size_t nCount);
    // Takes what a description of an entry learnt (described.id names it): its
    // title when the entry has none, its duration when the entry's is 0.
    // True when the entry changed; false also when it is gone.
    bool FillIn(const PlaylistItem& described);
    PlaylistItem* Find(std::int32_t id);
    const PlaylistItem* Find(std::int32_t id) const;
    // The position of the item with that id in GetItems(), or -1.
    std::ptrdiff_t IndexOf(std::int32_t id) const;

    // Moves to the next item, wrapping from the last to the first.
    std::int32_t Next();
    // Moves to the previous item, staying at the first.
    std::int32_t Previous();

    std::int32_t GetCurrentId() const { return m_nCurrentId; }
    void SetCurrentId(std::int32_t id) { m_nCurrentId = id; }
    // In the order added. Items are only ever appended or removed, and each
    // new one takes the next id, so the ids grow down the list.
    const std::vector<PlaylistItem>& GetItems() const { return m_vecItems; }

    // Appends the entries of an M3U file; false when the file cannot be read.
    bool LoadM3U(const std::filesystem::path& path);
    // Writes all items as an M3U file, replacing it only once it is complete.
    HRESULT SaveM3U(const std::filesystem::path& path) const;

    // Writes the default playlist file now (also done on destruction).
    HRESULT SaveDefault() const;

private:
    std::int32_t AppendItem(std::filesystem::path path, std::string title, std::int32_t duration);
    std::vector<PlaylistItem>::iterator FindPosition(std::int32_t id);

    std::vector<PlaylistItem> m_vecItems;
    std::int32_t m_nNextId = 0;
    std::int32_t m_nCurrentId = -1;

    ISettingsStore* m_pSettings = nullptr; // null: not kept between runs
    // The default file existed but could not be read at start; saving over it
    // would replace the user's list with what this run happened to hold.
    std::filesystem::path m_pathUnreadableDefault;
};

// The file that keeps the playlist between runs: the "DefaultPlaylist" value
// when set, otherwise playlist.m3u in $XDG_DATA_HOME/Kelmora/Voxreel (by default
// ~/.local/share/Kelmora/Voxreel). Empty when neither can be found.
std::filesystem::path DefaultPlaylistPath(const ISettingsStore& settings);
