#include "playback_controller.h"

#include <utility>

#include "playlist/media_info.h"
#include "renderer_notice.h"
#include "slider_rules.h"
#include "status_text.h"

namespace {
constexpr const char* kPlaybackErrorText = "An error occurred during file playback: %08X";
constexpr const char* kOpeningText = "Opening ...\n";
} // namespace

void CPlaybackController::PlayEntry(std::int32_t id)
{
    const PlaylistItem* pItem = m_playlist.Find(id);
    if (pItem == nullptr)
        return;
    m_nOpeningId = id;
    m_nOpeningTicks = 0;
    m_player.SetTrackGain(pItem->gain.dDb);
    const HRESULT hr = m_player.OpenAsync(pItem->path);
    if (hr != S_FALSE)
        OnFileOpened(hr);
}

// The rest of PlayEntry, once the file is open (at once for the file that
// already was).
void CPlaybackController::OnFileOpened(HRESULT hr)
{
    const std::int32_t id = std::exchange(m_nOpeningId, -1);
    if (std::exchange(m_bOpeningShown, false))
        m_view.SetStatus({});
    if (FAILED(hr)) {
        m_view.SetStatus(
            WithReason(FormatStatus(kPlaybackErrorText, {hr}), m_player.LastErrorText()));
        return;
    }
    PlaylistItem* pItem = m_playlist.Find(id);
    if (pItem == nullptr) // removed while it opened
        return;
    // A new file is paused at 0 already; the same file opened again restarts,
    // unless it was paused, so that play resumes it.
    if (!m_player.IsPaused())
        m_player.SetPosition(0);
    const std::uint32_t nDuration = m_player.GetDuration();
    const auto nSeconds = static_cast<std::int32_t>(nDuration);
    // 0 is a player that could not tell, which teaches nothing.
    if (nSeconds > 0 && pItem->duration != nSeconds) {
        pItem->duration = nSeconds;
        m_view.ShowEntryChanged(id);
    }
    m_view.ResetPositionSlider(nDuration);
    m_view.MarkPlayingRow(id);
    UpdateTimeDisplay();
    hr = m_player.Run();
    if (FAILED(hr))
        m_view.SetStatus(
            WithReason(FormatStatus(kPlaybackErrorText, {hr}), m_player.LastErrorText()));
    ShowNowPlaying(pItem);
    ApplyLocalVolume(m_view.LocalVolumePosition());
    ApplyBalance(m_view.BalancePosition());
    ApplyRemoteVolume(m_view.RemoteVolumePosition());
}

// An opening that outlasts a tick says so; most files open well within one.
void CPlaybackController::OnTick()
{
    if (m_nOpeningId != -1 && !m_bOpeningShown && ++m_nOpeningTicks >= 2) {
        m_view.SetStatus(kOpeningText);
        m_bOpeningShown = true;
    }
    UpdateTimeDisplay();
}

void CPlaybackController::OnPrevFile()
{
    m_view.ClearPlayingMarks();
    ShowNowPlaying(nullptr);
    const std::int32_t id = m_playlist.Previous();
    if (id != -1)
        PlayEntry(id);
}

void CPlaybackController::OnNextFile()
{
    m_view.ClearPlayingMarks();
    ShowNowPlaying(nullptr);
    const std::int32_t id = m_playlist.Next();
    if (id != -1)
        PlayEntry(id);
}

void CPlaybackController::OnPlay()
{
    std::int32_t id = m_playlist.GetCurrentId();
    if (id == -1)
        id = m_playlist.Next();
    if (id == -1)
        return;
    if (m_player.IsRunning())
        m_player.Stop();
    PlayEntry(id);
}

void CPlaybackController::OnPause()
{
    if (m_player.IsRunning())
        m_player.Pause();
    else
        m_player.Run();
}

void CPlaybackController::OnStop()
{
    m_view.ClearPlayingMarks();
    m_nOpeningId = -1;
    if (std::exchange(m_bOpeningShown, false))
        m_view.SetStatus({});
    m_player.Stop();
    ShowNowPlaying(nullptr);
}

void CPlaybackController::OnRowActivated(std::int32_t id)
{
    m_view.ClearPlayingMarks();
    if (id == -1)
        return;
    if (m_playlist.Find(id) != nullptr)
        m_playlist.SetCurrentId(id);
    PlayEntry(id);
}

void CPlaybackController::ShowNowPlaying(const PlaylistItem* pItem)
{
    m_nNowPlayingId = pItem ? pItem->id : -1;
    m_view.SetNowPlaying(pItem ? ShownTitle(*pItem) : std::string());
}

void CPlaybackController::OnEntryDescribed(std::int32_t id)
{
    if (id != -1 && id == m_nNowPlayingId)
        ShowNowPlaying(m_playlist.Find(id));
}

void CPlaybackController::OnPlaybackCompleted()
{
    m_view.SetStatus("Playback completed.\n");
    OnNextFile();
}

void CPlaybackController::OnPlaybackFailed(HRESULT hr)
{
    m_view.SetStatus(PlaybackErrorStatus(static_cast<std::uint32_t>(hr), m_player.LastErrorText()));
    m_view.ClearPlayingMarks();
}

void CPlaybackController::UpdateTimeDisplay()
{
    m_view.ShowTime(m_player.GetPosition(), m_player.GetDuration());
}

void CPlaybackController::SeekTo(int nSeconds)
{
    m_player.SetPosition(nSeconds);
}

void CPlaybackController::ApplyLocalVolume(int nPosition)
{
    m_player.SetLocalVolume(VolumeToAttenuation(nPosition));
}

void CPlaybackController::ApplyRemoteVolume(int nPosition)
{
    m_player.SetRemoteVolume(RemoteLevelFromPosition(nPosition));
}

void CPlaybackController::ApplyBalance(int nPosition)
{
    m_player.SetRemoteBalance(nPosition);
}
