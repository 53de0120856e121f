// CVoxreelDlg: the main window. It owns the playlist, the player and the link
// to the call client, receives their reports, runs the 500 ms tick, and routes
// each control to the part that owns its rule. Everything here runs on the UI
// thread; the player reports from the same thread's event loop.
#pragma once

#include <QDialog>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "calls/active_call_list.h"
#include "calls/call_listener.h"
#include "calls/call_tracker.h"
#include "audio_setup.h"
#include "dlg_controls.h"
#include "dsplayer.h"
#include "file_adder.h"
#include "rules/playback_controller.h"
#include "rules/playback_view.h"
#include "skype_connection.h"
#include "voxreel/settings.h"

class CPlaylistModel;
class CTrackGains;
class QAction;
class QMenu;

class CVoxreelDlg final : public QDialog,
                          public CDSPlayerCallback,
                          private IPlaybackView,
                          private ICallListener {
    Q_OBJECT
public:
    enum class PlaybackState { Stopped, Playing, Paused };
    Q_ENUM(PlaybackState)

    // What the window runs on; all must outlive it.
    struct Services {
        ISettingsStore& settings;
        ISkypeChannel& channel;   // also the window's tick count
        SkypeWindow ownWindow;    // the link's own window on the channel
        std::string strAudioSink; // empty: VOXREEL_AUDIO_SINK, else the default output
        int nPort = 0;            // 0: the renderer's default port
    };
    // Chooses files to add; empty when cancelled.
    using FileChooser = std::function<std::vector<std::filesystem::path>(QWidget* pOwner)>;

    explicit CVoxreelDlg(Services services);
    ~CVoxreelDlg() override;

    void SetFileChooser(FileChooser chooser) { m_chooseFiles = std::move(chooser); }
    // Queues files, folders and playlists to be added, in order; with
    // bPlayFirst the first of them plays once it is in the list.
    void AddPaths(std::vector<std::filesystem::path> paths, bool bPlayFirst = false);
    bool IsAddingFiles() const;
    bool IsTransmitting() const { return m_tracker.IsTransmitting(); }
    int StatusIconId() const { return m_nStatusIcon; }
    bool IsTicking() const { return m_timer.isActive(); }
    // Read only: the entries change through the window's playlist model.
    const CPlaylist& Playlist() const { return m_playlist; }
    PlaybackState State();
    CDSPlayer& Player() { return m_player; }
    QMenu* WindowMenu() const { return m_pMenu; }

    // CDSPlayerCallback
    void OnFileOpened(HRESULT hr) override;
    void OnPlaybackCompleted() override;
    void OnPlaybackFailed(HRESULT hr, const std::string& strReason) override;
    void OnRendererNotice(int nCode, std::uint32_t nValue) override;

    // What a tool bar button or its key does (102..106, 1010, 1011).
    void RunCommand(int nId);
    void SeekTo(int nSeconds);
    // The local volume slider's position (0 the loudest).
    int LocalVolume() const;
    void SetLocalVolume(int nPosition);

    void OnTimer();
    void OnAddFiles();
    void OnRemoveFiles();
    void ToggleAlwaysOnTop();
    void ShowAbout();
    void OnSettings();

signals:
    // The player started, paused, resumed or stopped.
    void playbackStateChanged(CVoxreelDlg::PlaybackState state);
    // The playlist's current entry is another one (-1: none).
    void currentEntryChanged(std::int32_t id);
    // The position moved other than by playing: a seek, or the file started
    // again; nSeconds is where it stands now.
    void positionJumped(std::uint32_t nSeconds);
    // The local volume slider moved (0 the loudest).
    void localVolumeChanged(int nPosition);
    // Entries were added or removed, or one shows a new title or length.
    void playlistChanged();

protected:
    void done(int nResult) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    // Start-up, tick and closing.
    void OnInitDialog();
    void BuildToolBarAndMenu();
    void BuildShortcuts();
    void ConnectSliders();
    void LoadSettings();
    void SaveSettings();
    void OnClose();
    void SetStatusIcon(int nIconId);
    void UpdateStatusIconTip();
    // Shows a failure of the player's own, which a sound server note must not
    // hide; and such a note, in the status line or else in the icon's tip.
    void ShowPlayerFailure(const std::string& strText);
    void ShowSoundServerNote(const std::string& strText);
    void ShowActiveCalls();
    std::uint32_t Now() { return m_channel.GetTickCount(); }

    // The playlist view.
    void ShowLoadedPlaylist();
    void AppendDescribed(std::vector<CFileAdder::Added>&& batch);
    void FillInDescribed(std::vector<PlaylistItem>&& described);
    void ShowAddProgress(std::size_t nDone, std::size_t nFound);
    void OnListDblClk(const QModelIndex& index);
    void ScheduleSave();

    // What the window tells others (its signals).
    void ConnectWindowSignals();
    // The call's mix beyond the law: talk-over's check button, the
    // limiter's setting and the meters (dlg_call_mix.cpp).
    void ConnectCallMix();
    bool CallLimiterSetting() const;
    void ApplyCallLimiter(bool bOn);
    // Emits what changed since the last call: the playback state, the
    // current entry, a file started again. Called after each thing that can
    // change them.
    void AnnounceChanges();

    // Sliders and volume keys.
    void OnSliderAction(QSlider* pSlider, int nAction);
    void OnSliderReleased(QSlider* pSlider);
    void ApplySlider(QSlider* pSlider, int nPosition);
    void StepVolume(QSlider* pSlider, int nDelta);

    // IPlaybackView
    void SetStatus(const std::string& strText) override;
    void ClearPlayingMarks() override;
    void MarkPlayingRow(std::int32_t id) override;
    void ShowEntryChanged(std::int32_t id) override;
    void SetNowPlaying(const std::string& strTitle) override;
    void ResetPositionSlider(std::uint32_t nDuration) override;
    void ShowTime(std::uint32_t nPosition, std::uint32_t nDuration) override;
    int LocalVolumePosition() const override;
    int RemoteVolumePosition() const override;
    int BalancePosition() const override;

    // ICallListener
    void OnCallsChanged() override { ShowActiveCalls(); }
    void OnCallStatus(const std::string& strText) override { SetStatus(strText); }
    void OnTransmittingChanged(bool bTransmitting) override;
    void OnCallEnded() override;
    void OnCallDuration(const std::string& strText) override;

    CDlgControls m_ui;                  // widgets, owned by the window
    CPlaylistModel* m_pModel = nullptr; // the view's, over m_playlist
    QMenu* m_pMenu = nullptr;
    QAction* m_pAlwaysOnTop = nullptr;
    ISettingsStore& m_settings;
    ISkypeChannel& m_channel;
    CPlaylist m_playlist;
    std::unique_ptr<CDSPlayer> m_pPlayer; // left behind, not destroyed, while a file stalls it
    CDSPlayer& m_player;
    CSkypeConnection m_skype;
    CPlaybackController m_transport{m_playlist, m_player, *this};
    CCallTracker m_tracker;
    CAudioSetup m_audio{m_settings, this,
                        [this](const std::string& strText, const std::vector<std::string>&) {
                            ShowSoundServerNote(strText);
                        }};
    int m_nPort;
    std::uint32_t m_dwStatusTime = 0;
    std::string m_strPlayerFailure; // the last failure of the player's own the status showed
    std::string m_strHeldNote;      // a sound server note that failure kept out of the status
    int m_nStatusIcon = 0;
    bool m_bClosing = false;
    QTimer m_timer;
    QTimer m_saveTimer;
    std::unique_ptr<CFileAdder> m_pAdder;
    std::unique_ptr<CTrackGains> m_pGains; // the entries' loudness, over m_pModel
    std::uint64_t m_nPlayRequest = 0;      // the add whose first file plays when it arrives
    FileChooser m_chooseFiles;
    // As last announced, for AnnounceChanges.
    PlaybackState m_announcedState = PlaybackState::Stopped;
    std::int32_t m_nAnnouncedEntry = -1;
    bool m_bEntryStarted = false;      // a file started since the last announcement
    std::int32_t m_nStartedEntry = -1; // the entry whose file started last
};
