#include "playlist/playlist.h"

#include "voxreel/settings.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

std::filesystem::path HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    // getpwuid is not thread-safe, but the playlist lives on the UI thread only.
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) {
        return entry->pw_dir;
    }
    return {};
}

std::filesystem::path DataHome()
{
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
        return xdg;
    }
    std::filesystem::path home = HomeFolder();
    return home.empty() ? home : home / ".local" / "share";
}

} // namespace

std::filesystem::path DefaultPlaylistPath(const ISettingsStore& settings)
{
    std::string configured = settings.GetProfileString("DefaultPlaylist", "");
    if (!configured.empty()) {
        return configured;
    }
    std::filesystem::path data = DataHome();
    return data.empty() ? data : data / "Kelmora" / "Voxreel" / "playlist.m3u";
}
