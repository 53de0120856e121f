// The values kept in the "Settings" section between runs, with their
// defaults. "DefaultPlaylist" is read by the playlist itself.
#pragma once

inline constexpr const char* kSettingLocalVolume = "LocalVolume";
inline constexpr const char* kSettingRemoteVolume = "RemoteVolume";
inline constexpr const char* kSettingBalance = "Balance";
inline constexpr int kDefaultLocalVolume = 176;
inline constexpr int kDefaultRemoteVolume = 176;
inline constexpr int kDefaultBalance = 0;
