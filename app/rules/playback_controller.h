// The transport rules: which entry plays on play, pause, stop, previous,
// next, a double click and the end of a file, and what reaches the player
// from the level sliders. Runs on the UI thread.
#pragma once

#include <cstdint>

#include "dsplayer.h"
#include "playback_view.h"
#include "playlist/playlist.h"

class CPlaybackController {
public:
    CPlaybackController(CPlaylist& playlist, CDSPlayer& player, IPlaybackView& view)
        : m_playlist(playlist), m_player(player), m_view(view)
    {
    }

    // The one path by which a file starts playing: it opens, and plays once
    // the player reports it open (OnFileOpened).
    void PlayEntry(std::int32_t id);
    void OnFileOpened(HRESULT hr);
    // A file is opening to play: until it is open, playback is as it was.
    bool IsOpening() const { return m_nOpeningId != -1; }

    void OnPrevFile();
    void OnNextFile();
    void OnPlay();
    void OnPause();
    void OnStop();
    // A double click on the row of entry id (-1: on no row).
    void OnRowActivated(std::int32_t id);

    // A description of entry id filled in its title or duration.
    void OnEntryDescribed(std::int32_t id);

    void OnPlaybackCompleted();
    void OnPlaybackFailed(HRESULT hr);

    // The window's tick (every 500 ms).
    void OnTick();
    void UpdateTimeDisplay();
    void SeekTo(int nSeconds);
    void ApplyLocalVolume(int nPosition);
    void ApplyRemoteVolume(int nPosition);
    void ApplyBalance(int nPosition);

private:
    void ShowNowPlaying(const PlaylistItem* pItem);

    CPlaylist& m_playlist;
    CDSPlayer& m_player;
    IPlaybackView& m_view;
    std::int32_t m_nNowPlayingId = -1; // the entry "Now playing" names, if any
    std::int32_t m_nOpeningId = -1;    // the entry whose file is opening, if any
    int m_nOpeningTicks = 0;           // ticks since it started opening
    bool m_bOpeningShown = false;      // the status says it is opening
};
