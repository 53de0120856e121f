#include "audio_files.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "playlist/file_io.h"
#include "playlist/m3u.h"

namespace {

// The first three are the formats the program was made for; the rest are the
// other audio formats GStreamer's usual decoders read.
constexpr std::array<std::string_view, 18> kAudioExtensions = {
    "mp3", "wav",  "wma", "ogg", "oga", "opus", "flac", "m4a", "aac",
    "mp2", "aiff", "aif", "ape", "wv",  "mka",  "spx",  "au",  "asf"};

// Larger files are not playlists a person made.
constexpr std::uint64_t kMaxPlaylistBytes = 64ull << 20;

std::string LowerExtension(const std::filesystem::path& path)
{
    std::string ext = path.extension().string();
    if (!ext.empty())
        ext.erase(0, 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::string Patterns(std::size_t nFirst, std::size_t nCount)
{
    std::string out;
    for (std::size_t i = nFirst; i < nFirst + nCount; ++i)
        out += (out.empty() ? "*." : " *.") + std::string(kAudioExtensions[i]);
    return out;
}

void CollectAudioFiles(const std::filesystem::path& folder, std::vector<PlaylistItem>& out)
{
    std::error_code ec;
    std::vector<std::filesystem::directory_entry> entries;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec))
        entries.push_back(*it);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a.path().filename() < b.path().filename();
    });
    for (const auto& entry : entries) {
        if (entry.is_directory(ec) && !entry.is_symlink(ec))
            CollectAudioFiles(entry.path(), out);
        else if (entry.is_regular_file(ec) && IsAudioFileName(entry.path()))
            out.push_back({-1, entry.path(), {}, 0});
    }
}

} // namespace

bool IsAudioFileName(const std::filesystem::path& path)
{
    const std::string ext = LowerExtension(path);
    return std::find(kAudioExtensions.begin(), kAudioExtensions.end(), ext) !=
           kAudioExtensions.end();
}

std::vector<std::string> AudioFileDialogFilters()
{
    return {"Audio Files (" + Patterns(0, kAudioExtensions.size()) + ")", "MP3 Files (*.mp3)",
            "WAV Files (*.wav)", "WMA Files (*.wma)", "All files (*)"};
}

// True for the extensions of M3U playlists.
static bool IsPlaylistFileName(const std::filesystem::path& path)
{
    const std::string ext = LowerExtension(path);
    return ext == "m3u" || ext == "m3u8";
}

static void ReadPlaylistEntries(const std::filesystem::path& playlist,
                                std::vector<PlaylistItem>& out)
{
    std::string bytes;
    if (FAILED(voxreel::io::ReadRegularFile(playlist, kMaxPlaylistBytes, bytes)))
        return;
    const std::filesystem::path folder = playlist.parent_path();
    voxreel::m3u::ParseM3U(
        bytes, [&](std::string&& title, std::int32_t duration, std::string_view entry) {
            std::filesystem::path path(entry);
            if (path.is_relative() && entry.find("://") == std::string_view::npos)
                path = folder / path;
            out.push_back({-1, std::move(path), std::move(title), std::max(duration, 0)});
        });
}

std::vector<PlaylistItem> ExpandAddedPath(const std::filesystem::path& path)
{
    std::vector<PlaylistItem> items;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        CollectAudioFiles(path, items);
    else if (IsPlaylistFileName(path) && std::filesystem::is_regular_file(path, ec))
        ReadPlaylistEntries(path, items);
    else
        items.push_back({-1, path, {}, 0});
    return items;
}
