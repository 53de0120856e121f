// The main window's commands: the tool bar, the menu, the keyboard shortcuts
// and the sliders, each routed to the rule that owns it.
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

#include "about_dlg.h"
#include "accessible_controls.h"
#include "app_icons.h"
#include "desktop/settings_dlg.h"
#include "i18n/shown_texts.h"
#include "rules/slider_rules.h"
#include "rules/window_ids.h"
#include "track_gains.h"
#include "voxreel_dlg.h"

namespace {

struct ToolButton {
    int nId;
    const char* pszIcon;
    Qt::Key key;
};
constexpr ToolButton kToolButtons[] = {
    {ID_PREV_FILE, "media-skip-backward", Qt::Key_Z}, {ID_PLAY, "media-playback-start", Qt::Key_X},
    {ID_PAUSE, "media-playback-pause", Qt::Key_C},    {ID_STOP, "media-playback-stop", Qt::Key_V},
    {ID_NEXT_FILE, "media-skip-forward", Qt::Key_B},  {ID_ADD_FILES, "list-add", Qt::Key_Insert},
};

// A slider's action is taken as the move it names.
constexpr bool SameMove(QAbstractSlider::SliderAction action, SliderMove move)
{
    return static_cast<int>(action) == static_cast<int>(move);
}
static_assert(SameMove(QAbstractSlider::SliderNoAction, SliderMove::None) &&
              SameMove(QAbstractSlider::SliderSingleStepAdd, SliderMove::StepTowardsMax) &&
              SameMove(QAbstractSlider::SliderSingleStepSub, SliderMove::StepTowardsMin) &&
              SameMove(QAbstractSlider::SliderPageStepAdd, SliderMove::PageTowardsMax) &&
              SameMove(QAbstractSlider::SliderPageStepSub, SliderMove::PageTowardsMin) &&
              SameMove(QAbstractSlider::SliderToMinimum, SliderMove::ToMin) &&
              SameMove(QAbstractSlider::SliderToMaximum, SliderMove::ToMax) &&
              SameMove(QAbstractSlider::SliderMove, SliderMove::Drag));

// The desktop's keys for quitting; Ctrl+Q where the platform names none
// (its keyboard scheme may have no binding, as the offscreen platform's).
QList<QKeySequence> QuitKeys()
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Quit);
    if (keys.isEmpty())
        keys.append(QKeySequence(Qt::CTRL | Qt::Key_Q));
    return keys;
}

} // namespace

void CVoxreelDlg::BuildToolBarAndMenu()
{
    for (const ToolButton& button : kToolButtons) {
        if (button.nId == ID_ADD_FILES)
            m_ui.pToolBar->addSeparator();
        QAction* pAction =
            m_ui.pToolBar->addAction(ThemedIcon(button.pszIcon), ShownWindowString(button.nId));
        pAction->setProperty("commandId", button.nId);
        pAction->setToolTip(ShownToolTip(button.nId, false));
        pAction->setShortcut(QKeySequence(button.key));
        pAction->setShortcutContext(Qt::WindowShortcut);
        connect(pAction, &QAction::triggered, this, [this, nId = button.nId] { RunCommand(nId); });
    }

    m_pMenu = new QMenu(this);
    m_pAlwaysOnTop = m_pMenu->addAction(tr("Always on top\tCtrl+Shift+A"));
    m_pAlwaysOnTop->setProperty("commandId", IDM_ALWAYSONTOP);
    m_pAlwaysOnTop->setCheckable(true);
    connect(m_pAlwaysOnTop, &QAction::triggered, this, [this] { ToggleAlwaysOnTop(); });
    QAction* pSettings = m_pMenu->addAction(tr("&Settings..."));
    connect(pSettings, &QAction::triggered, this, [this] { OnSettings(); });
    QAction* pAbout = m_pMenu->addAction(ShownWindowString(IDS_ABOUTBOX));
    pAbout->setProperty("commandId", IDM_ABOUTBOX);
    connect(pAbout, &QAction::triggered, this, [this] { ShowAbout(); });
    m_pMenu->addSeparator();
    // On the window as well, so that its keys work while the menu is shut.
    QAction* pQuit = m_pMenu->addAction(tr("&Quit"));
    pQuit->setShortcuts(QuitKeys());
    pQuit->setShortcutContext(Qt::WindowShortcut);
    addAction(pQuit);
    connect(pQuit, &QAction::triggered, this, [this] { close(); });

    m_ui.pToolBar->addSeparator();
    auto* pMenuButton = new QToolButton;
    pMenuButton->setIcon(ThemedIcon("open-menu"));
    pMenuButton->setToolTip(tr("Menu"));
    pMenuButton->setMenu(m_pMenu);
    pMenuButton->setPopupMode(QToolButton::InstantPopup);
    m_ui.pToolBar->addWidget(pMenuButton);
    for (QToolButton* pButton : m_ui.pToolBar->findChildren<QToolButton*>())
        pButton->setFocusPolicy(Qt::NoFocus); // keeps the controls' tab order
    DescribeToolButtons(m_ui.pToolBar);
    pMenuButton->setAccessibleDescription(
        tr("Always on top, settings, about and quit (Shift+F10 or the menu key)"));
    // The buttons take no focus: the keyboard opens the menu with the keys
    // that open a context menu anywhere.
    auto* pOpenMenu = new QAction(this);
    pOpenMenu->setShortcuts({QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)});
    pOpenMenu->setShortcutContext(Qt::WindowShortcut);
    addAction(pOpenMenu);
    connect(pOpenMenu, &QAction::triggered, this, [this, pMenuButton] {
        m_pMenu->popup(pMenuButton->mapToGlobal(QPoint(0, pMenuButton->height())));
    });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_pMenu->popup(mapToGlobal(pos)); });
}

void CVoxreelDlg::BuildShortcuts()
{
    struct Shortcut {
        int nId;
        QKeySequence keys;
    };
    const Shortcut shortcuts[] = {
        {ID_ALWAYS_ON_TOP, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)},
        {ID_LOCAL_VOLUME_UP, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Up)},
        {ID_LOCAL_VOLUME_DOWN, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Down)},
        {ID_REMOTE_VOLUME_UP, QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_Up)},
        {ID_REMOTE_VOLUME_DOWN, QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_Down)},
        {ID_LOCAL_VOLUME_UP, QKeySequence(Qt::Key_VolumeUp)},
        {ID_LOCAL_VOLUME_DOWN, QKeySequence(Qt::Key_VolumeDown)},
        {ID_REMOTE_VOLUME_UP, QKeySequence(Qt::SHIFT | Qt::Key_VolumeUp)},
        {ID_REMOTE_VOLUME_DOWN, QKeySequence(Qt::SHIFT | Qt::Key_VolumeDown)},
    };
    for (const Shortcut& shortcut : shortcuts) {
        auto* pAction = new QAction(this);
        pAction->setShortcut(shortcut.keys);
        pAction->setShortcutContext(Qt::WindowShortcut);
        pAction->setProperty("commandId", shortcut.nId);
        addAction(pAction);
        connect(pAction, &QAction::triggered, this, [this, nId = shortcut.nId] {
            if (nId == ID_ALWAYS_ON_TOP)
                ToggleAlwaysOnTop();
            else if (nId == ID_LOCAL_VOLUME_UP || nId == ID_LOCAL_VOLUME_DOWN)
                StepVolume(m_ui.pLocalVolume, nId == ID_LOCAL_VOLUME_UP ? -1 : 1);
            else
                StepVolume(m_ui.pRemoteVolume, nId == ID_REMOTE_VOLUME_UP ? -1 : 1);
        });
    }
}

void CVoxreelDlg::RunCommand(int nId)
{
    switch (nId) {
    case ID_PREV_FILE:
        m_transport.OnPrevFile();
        break;
    case ID_PLAY:
        m_transport.OnPlay();
        break;
    case ID_PAUSE:
        m_transport.OnPause();
        break;
    case ID_STOP:
        m_transport.OnStop();
        break;
    case ID_NEXT_FILE:
        m_transport.OnNextFile();
        break;
    case ID_ADD_FILES:
        return OnAddFiles();
    case ID_REMOVE_FILES:
        return OnRemoveFiles();
    default:
        return;
    }
    AnnounceChanges();
}

void CVoxreelDlg::SeekTo(int nSeconds)
{
    m_ui.pPosition->setValue(nSeconds);
    ApplySlider(m_ui.pPosition, nSeconds);
}

int CVoxreelDlg::LocalVolume() const
{
    return m_ui.pLocalVolume->value();
}

void CVoxreelDlg::SetLocalVolume(int nPosition)
{
    m_ui.pLocalVolume->setValue(nPosition);
    ApplySlider(m_ui.pLocalVolume, m_ui.pLocalVolume->value());
}

void CVoxreelDlg::ConnectSliders()
{
    for (QSlider* pSlider :
         {m_ui.pPosition, m_ui.pBalance, m_ui.pLocalVolume, m_ui.pRemoteVolume}) {
        connect(pSlider, &QAbstractSlider::actionTriggered, this,
                [this, pSlider](int nAction) { OnSliderAction(pSlider, nAction); });
        connect(pSlider, &QAbstractSlider::sliderReleased, this,
                [this, pSlider] { OnSliderReleased(pSlider); });
    }
}

// Called before the slider takes the action's position: its value is still
// the old one, so a step moves exactly one step from there.
void CVoxreelDlg::OnSliderAction(QSlider* pSlider, int nAction)
{
    const SliderState state{pSlider->minimum(), pSlider->maximum(), pSlider->pageStep(),
                            pSlider->value()};
    const int nPosition =
        StepSlider(state, static_cast<SliderMove>(nAction), pSlider->sliderPosition());
    pSlider->setSliderPosition(nPosition);
    ApplySlider(pSlider, nPosition);
}

void CVoxreelDlg::OnSliderReleased(QSlider* pSlider)
{
    const SliderState state{pSlider->minimum(), pSlider->maximum(), pSlider->pageStep(),
                            pSlider->value()};
    const int nPosition = StepSlider(state, SliderMove::Release, pSlider->sliderPosition());
    pSlider->setValue(nPosition);
    ApplySlider(pSlider, nPosition);
}

void CVoxreelDlg::ApplySlider(QSlider* pSlider, int nPosition)
{
    if (pSlider == m_ui.pPosition) {
        m_transport.SeekTo(nPosition);
        emit positionJumped(static_cast<std::uint32_t>(std::max(nPosition, 0)));
    } else if (pSlider == m_ui.pBalance) {
        m_transport.ApplyBalance(nPosition);
    } else if (pSlider == m_ui.pLocalVolume) {
        m_transport.ApplyLocalVolume(nPosition);
    } else {
        m_transport.ApplyRemoteVolume(nPosition);
    }
}

// nDelta -1 moves towards the top, the loud end.
void CVoxreelDlg::StepVolume(QSlider* pSlider, int nDelta)
{
    int nPosition = pSlider->value();
    if ((nDelta < 0 && nPosition > pSlider->minimum()) ||
        (nDelta > 0 && nPosition < pSlider->maximum()))
        nPosition += nDelta;
    pSlider->setValue(nPosition);
    ApplySlider(pSlider, nPosition);
}

void CVoxreelDlg::ToggleAlwaysOnTop()
{
    const bool bTopmost = !windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    m_pAlwaysOnTop->setChecked(bTopmost);
    const bool bVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, bTopmost);
    if (bVisible)
        show(); // changing a window flag hides the window
}

void CVoxreelDlg::ShowAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CVoxreelDlg::OnSettings()
{
    const CAudioSetup::Choice stored = m_audio.Stored();
    CSettingsDlg dialog(this,
                        {stored.strCaptureSource, stored.strAudioSink, stored.bVirtualMicrophone,
                         LoudnessTargetText(m_pGains->Target())},
                        CAudioSetup::CaptureFromEnvironment(), CAudioSetup::SinkFromEnvironment());
    dialog.SetCallLimiter(CallLimiterSetting());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const CSettingsDlg::Choice chosen = dialog.Chosen();
    ApplyLoudnessTarget(m_settings, *m_pGains, chosen.strLoudnessTarget);
    ApplyCallLimiter(dialog.CallLimiter());
    const std::string strStatus = m_audio.Apply(
        m_player, {chosen.strCaptureSource, chosen.strAudioSink, chosen.bVirtualMicrophone});
    if (!strStatus.empty())
        SetStatus(strStatus);
    UpdateStatusIconTip();
}
