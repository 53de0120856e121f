#include "voxreel_dlg.h"

#include <QAbstractEventDispatcher>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QSlider>
#include <QTreeView>

#include "accessible_controls.h"
#include "app_icons.h"
#include "file_adder.h"
#include "file_chooser.h"
#include "i18n/shown_texts.h"
#include "log_categories.h"
#include "playlist_model.h"
#include "track_gains.h"
#include "meters/meter_panel.h"
#include "rules/renderer_notice.h"
#include "rules/settings_keys.h"
#include "rules/slider_rules.h"
#include "rules/status_text.h"
#include "rules/time_text.h"
#include "rules/window_ids.h"

namespace {
constexpr int kTickMs = 500;
// How long closing waits for files still being added: every way of closing
// must end the program within 2 s, even with a folder on a stalled mount.
constexpr std::chrono::milliseconds kFinishAddsLimit{1000};
constexpr std::chrono::milliseconds kOpeningLetGoLimit{500};
} // namespace

CVoxreelDlg::CVoxreelDlg(Services services)
    : m_ui(BuildDlgControls(this)), m_settings(services.settings), m_channel(services.channel),
      m_playlist(services.settings),
      m_pPlayer(std::make_unique<CDSPlayer>(this, std::move(services.strAudioSink))),
      m_player(*m_pPlayer), m_skype(services.channel),
      m_tracker(m_skype, *this, services.nPort != 0 ? services.nPort : kDefaultCallfeedPort),
      m_nPort(services.nPort)
{
    if (!m_skype.IsUsable()) {
        auto* pBox = new QMessageBox(QMessageBox::Warning, tr("Initialization Error"),
                                     tr("Failed to register window messages"), QMessageBox::Ok);
        pBox->setAttribute(Qt::WA_DeleteOnClose);
        pBox->show(); // never blocks: the program goes on without the link
    }
    m_skype.SetOwnWindow(services.ownWindow);
    if (services.nPort != 0)
        m_player.SetServerPort(services.nPort);
    m_pAdder = std::make_unique<CFileAdder>(
        [this](std::vector<CFileAdder::Added>&& batch) { AppendDescribed(std::move(batch)); },
        [this](std::size_t nDone, std::size_t nFound) { ShowAddProgress(nDone, nFound); },
        [this](std::vector<PlaylistItem>&& described) { FillInDescribed(std::move(described)); });
    m_chooseFiles = [](QWidget* pOwner) { return ChooseAudioFiles(pOwner); };
    OnInitDialog();
}

CVoxreelDlg::~CVoxreelDlg()
{
    // Nothing the player reports from now on reaches the window.
    m_player.SetCallback(nullptr);
    // A file whose source stalls holds the opening thread, and the player
    // cannot go while it does; the program is ending, so it is left behind
    // rather than waited for.
    if (!m_player.WaitOpeningIdle(kOpeningLetGoLimit)) {
        qCWarning(lcPlayer) << "a file's source still holds its opening; the player is left";
        (void)m_pPlayer.release();
    }
    m_timer.stop();
    m_pAdder.reset();
    m_pGains.reset();
    // The view, a child widget, goes after the playlist it shows and is laid
    // out once more as the window hides: it must not read the playlist then.
    delete m_pModel;
}

void CVoxreelDlg::OnInitDialog()
{
    setWindowTitle(QStringLiteral("Voxreel"));
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);
    BuildToolBarAndMenu();
    BuildShortcuts();

    m_pModel = new CPlaylistModel(m_playlist, PlayingMarkIcon(), this);
    m_ui.pFiles->setModel(m_pModel);
    m_ui.pFiles->header()->resizeSection(0, 300);
    m_ui.pFiles->header()->resizeSection(1, 100);
    m_ui.pFiles->installEventFilter(this);
    m_pGains = std::make_unique<CTrackGains>(
        m_playlist, *m_pModel, LoudnessTargetSetting(m_settings), LoudnessCacheFolder(),
        [this](const std::string& strText) { SetStatus(strText); });
    connect(m_ui.pFiles, &QTreeView::doubleClicked, this, &CVoxreelDlg::OnListDblClk);
    ShowLoadedPlaylist();
    connect(m_ui.pCalls, &QComboBox::activated, this,
            [this](int nIndex) { m_tracker.Calls().Select(nIndex); });

    // The player reports from GLib's main loop, which Qt runs only with its
    // GLib event dispatcher (QT_NO_GLIB turns that off).
    if (!QAbstractEventDispatcher::instance()->inherits("QEventDispatcherGlib"))
        qCWarning(lcPlayer) << "Qt does not run GLib's main loop: no file will advance";
    SetStatusIcon(IDI_NOT_TRANSMITTING);
    UpdateStatusIconTip();

    connect(&m_timer, &QTimer::timeout, this, &CVoxreelDlg::OnTimer);
    const std::string strAudioNote = m_audio.PrepareStart(m_player);
    const HRESULT hr = m_player.Initialize();
    if (FAILED(hr))
        ShowPlayerFailure(FormatStatus("Failed to initialize network port: %08X", {hr}));
    else
        m_timer.start(kTickMs);
    if (!strAudioNote.empty()) // after the renderer's own start-up texts
        QMetaObject::invokeMethod(
            this, [this, strAudioNote] { ShowSoundServerNote(strAudioNote); },
            Qt::QueuedConnection);

    m_saveTimer.setSingleShot(true);
    connect(&m_saveTimer, &QTimer::timeout, this, [this] { (void)m_playlist.SaveDefault(); });
    ConnectSliders();
    ConnectWindowSignals();
    ConnectCallMix();
    for (int nId : {IDC_COMBO_CALLS, IDC_POSITION, IDC_LOCAL_VOLUME, IDC_CALL_DURATION})
        FindControl(this, nId)->setToolTip(ShownToolTip(nId, false));
    LoadSettings();

    QWidget* const tabOrder[] = {m_ui.pCalls,        m_ui.pFiles,  m_ui.pNowPlaying,
                                 m_ui.pPosition,     m_ui.pStatus, m_ui.pLocalVolume,
                                 m_ui.pRemoteVolume, m_ui.pBalance};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    m_ui.pCalls->setFocus();
}

void CVoxreelDlg::LoadSettings()
{
    // A slider clamps a stored value outside its range.
    m_ui.pLocalVolume->setValue(m_settings.GetProfileInt(kSettingLocalVolume, kDefaultLocalVolume));
    m_ui.pRemoteVolume->setValue(
        m_settings.GetProfileInt(kSettingRemoteVolume, kDefaultRemoteVolume));
    m_ui.pBalance->setValue(m_settings.GetProfileInt(kSettingBalance, kDefaultBalance));
}

void CVoxreelDlg::SaveSettings()
{
    m_settings.WriteProfileInt(kSettingLocalVolume, m_ui.pLocalVolume->value());
    m_settings.WriteProfileInt(kSettingRemoteVolume, m_ui.pRemoteVolume->value());
    m_settings.WriteProfileInt(kSettingBalance, m_ui.pBalance->value());
}

void CVoxreelDlg::OnTimer()
{
    m_skype.Tick();
    m_tracker.OnTick(Now(), m_player.HasRenderer());
    m_transport.OnTick();
    if (IsStatusExpired(Now(), m_dwStatusTime))
        SetStatus({});
}

// Every way of closing the window (its close button, the Quit command, the
// desktop's requests) comes here, so the call's input is switched back and
// the settings are written whichever way the user leaves.
void CVoxreelDlg::done(int nResult)
{
    if (!m_bClosing) {
        m_bClosing = true;
        OnClose();
    }
    QDialog::done(nResult);
}

// The window is the whole program: Escape, which a dialog takes for
// "cancel", must not end it (and the call's feed with it) by accident.
void CVoxreelDlg::keyPressEvent(QKeyEvent* pEvent)
{
    if (pEvent->matches(QKeySequence::Cancel)) {
        pEvent->accept();
        return;
    }
    QDialog::keyPressEvent(pEvent);
}

void CVoxreelDlg::OnClose()
{
    if (m_tracker.IsInputSwitchedToUs()) {
        m_player.StopTransmission();
        m_tracker.SwitchBack(); // waits for its delivery, not for its reply
    }
    m_ui.pMeters->Stop();
    SaveSettings();
    m_audio.Shutdown();
    if (!m_pAdder->FinishAdds(kFinishAddsLimit))
        qCWarning(lcPlayer) << "closing before every added file was described";
    m_saveTimer.stop();
    (void)m_playlist.SaveDefault();
}

void CVoxreelDlg::OnPlaybackFailed(HRESULT hr, const std::string& strReason)
{
    m_transport.OnPlaybackFailed(hr);
    qCWarning(lcPlayer) << PlaybackErrorStatus(static_cast<std::uint32_t>(hr), strReason).c_str();
    UpdateStatusIconTip();
    AnnounceChanges();
}

void CVoxreelDlg::OnFileOpened(HRESULT hr)
{
    m_transport.OnFileOpened(hr);
    if (FAILED(hr))
        UpdateStatusIconTip();
    AnnounceChanges();
}

void CVoxreelDlg::OnPlaybackCompleted()
{
    m_transport.OnPlaybackCompleted();
    AnnounceChanges();
}

void CVoxreelDlg::OnRendererNotice(int nCode, std::uint32_t nValue)
{
    // A negative code is no code the renderer sends: it changes nothing.
    if (nCode < 0)
        return;
    const RendererNotice notice = DescribeRendererNotify(static_cast<std::uint64_t>(nCode), nValue);
    const bool bFailure = nCode == NOTIFY_ERROR || nCode == NOTIFY_CAPTURE_ERROR ||
                          nCode == NOTIFY_NETWORK_ERROR || nCode == NOTIFY_GRAPH_ERROR;
    if (notice.strStatus && bFailure)
        ShowPlayerFailure(*notice.strStatus);
    else if (notice.strStatus)
        SetStatus(*notice.strStatus);
    if (notice.icon == StatusIcon::Connected)
        SetStatusIcon(IDI_CLIENT_CONNECTED);
    else if (notice.icon == StatusIcon::NotConnected)
        SetStatusIcon(IDI_NOT_TRANSMITTING);
    if (notice.bTransmissionLost)
        m_tracker.OnTransmissionLost();
}

void CVoxreelDlg::ShowActiveCalls()
{
    const QSignalBlocker block(m_ui.pCalls);
    m_ui.pCalls->clear();
    const CActiveCallList& calls = m_tracker.Calls();
    for (const CActiveCallList::Item& item : calls.Items())
        m_ui.pCalls->addItem(ShownCallName(item.strText, item.nCallId), item.nCallId);
    m_ui.pCalls->setCurrentIndex(calls.Selection());
}

void CVoxreelDlg::OnCallEnded()
{
    ClearPlayingMarks();
    m_player.Stop();
    AnnounceChanges();
}

void CVoxreelDlg::OnCallDuration(const std::string& strText)
{
    m_ui.pCallDuration->setText(QString::fromStdString(strText));
}

void CVoxreelDlg::SetStatusIcon(int nIconId)
{
    m_nStatusIcon = nIconId;
    m_ui.pStatusIcon->setPixmap(StatusIconPixmap(nIconId));
    m_ui.pStatusIcon->setAccessibleName(StatusIconName(nIconId));
}

void CVoxreelDlg::OnTransmittingChanged(bool bTransmitting)
{
    if (!bTransmitting)
        SetStatusIcon(IDI_NOT_TRANSMITTING);
    UpdateStatusIconTip();
}

// Whether the call takes our input, who listens to the Voxreel microphone
// and, since the last file that opened, why the player failed.
void CVoxreelDlg::UpdateStatusIconTip()
{
    QString tip = ShownToolTip(IDC_STATUS_ICON, m_tracker.IsTransmitting());
    QStringList listeners;
    for (const std::string& app : m_audio.Listeners())
        listeners << QString::fromStdString(app);
    if (!listeners.isEmpty())
        tip += QStringLiteral("\n") +
               tr("Listening to the Voxreel microphone: %1").arg(listeners.join(", "));
    if (FAILED(m_player.LastError()))
        tip += QStringLiteral("\n") +
               ShownStatus(PlaybackErrorStatus(static_cast<std::uint32_t>(m_player.LastError()),
                                               m_player.LastErrorText()));
    if (!m_strHeldNote.empty())
        tip += QStringLiteral("\n") + ShownStatus(m_strHeldNote);
    m_ui.pStatusIcon->setToolTip(tip);
    m_ui.pStatusIcon->setAccessibleDescription(tip);
}

void CVoxreelDlg::ShowPlayerFailure(const std::string& strText)
{
    SetStatus(strText);
    m_strPlayerFailure = strText;
}

// Without a sound server the player fails too, and its failure says why
// nothing reaches the call: the microphone's note goes to the tip then.
void CVoxreelDlg::ShowSoundServerNote(const std::string& strText)
{
    const bool bFailureShown =
        !m_strPlayerFailure.empty() &&
        m_ui.pStatus->text() == ShownStatus(StatusLineText(m_strPlayerFailure));
    m_strHeldNote = bFailureShown ? strText : std::string();
    if (!bFailureShown)
        SetStatus(strText);
    UpdateStatusIconTip();
}

void CVoxreelDlg::SetStatus(const std::string& strText)
{
    SetAnnouncedText(m_ui.pStatus, ShownStatus(StatusLineText(strText)));
    m_dwStatusTime = Now();
}

void CVoxreelDlg::ClearPlayingMarks()
{
    m_pModel->SetPlayingId(-1);
}

// The transport marks the entry whose file it has just started.
void CVoxreelDlg::MarkPlayingRow(std::int32_t id)
{
    m_bEntryStarted = true;
    const int nRow = m_pModel->RowOf(id);
    if (nRow == -1)
        return;
    m_pModel->SetPlayingId(id);
    m_ui.pFiles->scrollTo(m_pModel->index(nRow, 0));
}

void CVoxreelDlg::SetNowPlaying(const std::string& strTitle)
{
    m_ui.pNowPlaying->setText(QString::fromStdString(strTitle));
}

void CVoxreelDlg::ResetPositionSlider(std::uint32_t nDuration)
{
    m_ui.pPosition->setRange(0, static_cast<int>(nDuration));
    m_ui.pPosition->setValue(0);
    m_ui.pPosition->setPageStep(kPositionPageSize);
    m_ui.pPosition->setTickInterval(kPositionTickInterval);
}

void CVoxreelDlg::ShowTime(std::uint32_t nPosition, std::uint32_t nDuration)
{
    m_ui.pTime->setText(QString::fromStdString(FormatTimeDisplay(nPosition, nDuration)));
    m_ui.pPosition->setValue(static_cast<int>(nPosition));
}

int CVoxreelDlg::LocalVolumePosition() const
{
    return m_ui.pLocalVolume->value();
}

int CVoxreelDlg::RemoteVolumePosition() const
{
    return m_ui.pRemoteVolume->value();
}

int CVoxreelDlg::BalancePosition() const
{
    return m_ui.pBalance->value();
}
