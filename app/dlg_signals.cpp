// What the main window tells the rest of the program: its Qt signals, for
// the desktop's media interface and any other view that follows playback.
#include <QSlider>

#include <utility>

#include "voxreel_dlg.h"

CVoxreelDlg::PlaybackState CVoxreelDlg::State()
{
    // While a file opens to play, nothing has changed yet for those who
    // listen; a stop cancels that opening, and stopped is what they hear.
    if (m_transport.IsOpening())
        return m_announcedState;
    if (m_player.IsRunning())
        return PlaybackState::Playing;
    return m_player.IsPaused() ? PlaybackState::Paused : PlaybackState::Stopped;
}

void CVoxreelDlg::ConnectWindowSignals()
{
    m_nAnnouncedEntry = m_playlist.GetCurrentId();
    connect(m_ui.pLocalVolume, &QSlider::valueChanged, this, &CVoxreelDlg::localVolumeChanged);
}

// The transport moves the player and the current entry directly, and the
// end of a file moves them without any command, so the window compares
// after each thing that can move them rather than at every step.
void CVoxreelDlg::AnnounceChanges()
{
    const PlaybackState state = State();
    const std::int32_t nEntry = m_playlist.GetCurrentId();
    const bool bStarted = std::exchange(m_bEntryStarted, false);
    const bool bStartedAgain = bStarted && nEntry == m_nStartedEntry;
    if (bStarted)
        m_nStartedEntry = nEntry;
    const bool bStateChanged = state != m_announcedState;
    if (bStateChanged) {
        m_announcedState = state;
        emit playbackStateChanged(state);
    }
    if (nEntry != m_nAnnouncedEntry) {
        m_nAnnouncedEntry = nEntry;
        emit currentEntryChanged(nEntry);
    } else if (bStartedAgain && !bStateChanged && state == PlaybackState::Playing) {
        // The file playing started again from its start (a one-entry list
        // going round): nothing else tells that the position went back.
        emit positionJumped(0);
    }
}
