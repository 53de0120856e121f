// Keeps each playlist entry's track gain: asks the loudness service about
// entries as they come, turns what it learns into the gain for the loudness
// target, and shows progress and failures in the status line. The player
// takes an entry's gain when the entry next opens, never in the middle of a
// file. UI thread only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "loudness_service.h"
#include "playlist/playlist.h"
#include "track_loudness.h"

class CPlaylistModel;
class ISettingsStore;

// The target as stored ("Off", a number of LUFS; anything else: the
// default), or as VOXREEL_LOUDNESS_TARGET sets it. Nothing: no normalisation.
std::optional<double> ParseLoudnessTarget(const std::string& strText);
std::string LoudnessTargetText(std::optional<double> target);
std::optional<double> LoudnessTargetSetting(const ISettingsStore& settings);
class CTrackGains;
// Keeps the target chosen in the settings dialog and applies it.
void ApplyLoudnessTarget(ISettingsStore& settings, CTrackGains& gains, const std::string& strText);
// The cache of measurements under the user's XDG cache folder.
std::filesystem::path LoudnessCacheFolder();

class CTrackGains {
public:
    using StatusFn = std::function<void(const std::string& strText)>;

    // The playlist and its model must outlive this.
    CTrackGains(CPlaylist& playlist, CPlaylistModel& model, std::optional<double> target,
                std::filesystem::path cacheFolder, StatusFn showStatus);

    // New entries, in the order added; and every entry (the list read at start).
    void Measure(const std::vector<std::int32_t>& ids);
    void MeasureAll();
    void SetTarget(std::optional<double> target);
    std::optional<double> Target() const { return m_target; }
    bool Busy() const { return m_service.Busy(); }

private:
    void OnResult(CLoudnessService::Result&& result);
    void OnProgress(std::size_t nDone, std::size_t nAsked);
    void SetGain(std::int32_t id, TrackGain gain);

    CPlaylist& m_playlist;
    CPlaylistModel& m_model;
    std::optional<double> m_target;
    StatusFn m_showStatus;
    std::unordered_map<std::int32_t, loudness::TrackLoudness> m_known; // by entry id
    CLoudnessService m_service; // last: its results reach the members above
};
