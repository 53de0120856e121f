#include "accessible_controls.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <cstdint>

#include "dlg_controls.h"
#include "i18n/shown_texts.h"
#include "rules/slider_rules.h"
#include "rules/time_text.h"
#include "rules/window_ids.h"

namespace {

QString Tr(const char* pszText)
{
    return QCoreApplication::translate("Accessibility", pszText);
}

int Percent(int nPart, int nWhole)
{
    return nWhole == 0 ? 0 : (nPart * 100 + nWhole / 2) / nWhole;
}

QString TimeText(int nSeconds)
{
    return QString::fromStdString(FormatMinutesSeconds(static_cast<std::uint32_t>(nSeconds)));
}

// The slider's description follows its value.
template <typename Words> void DescribeValue(QSlider* pSlider, Words inWords)
{
    const auto describe = [pSlider, inWords] {
        pSlider->setAccessibleDescription(inWords(pSlider->value()));
    };
    describe();
    QObject::connect(pSlider, &QSlider::valueChanged, pSlider, describe);
    QObject::connect(pSlider, &QSlider::rangeChanged, pSlider, describe);
}

QString ToolButtonName(int nId)
{
    switch (nId) {
    case ID_PREV_FILE:
        return Tr(QT_TRANSLATE_NOOP("Accessibility", "Previous file"));
    case ID_PLAY:
        return Tr(QT_TRANSLATE_NOOP("Accessibility", "Play"));
    case ID_PAUSE:
        return Tr(QT_TRANSLATE_NOOP("Accessibility", "Pause or resume"));
    case ID_STOP:
        return Tr(QT_TRANSLATE_NOOP("Accessibility", "Stop"));
    case ID_NEXT_FILE:
        return Tr(QT_TRANSLATE_NOOP("Accessibility", "Next file"));
    case ID_ADD_FILES:
        return Tr(QT_TRANSLATE_NOOP("Accessibility", "Add files"));
    default:
        return Tr(QT_TRANSLATE_NOOP("Accessibility", "Menu"));
    }
}

} // namespace

QString LocalVolumeInWords(int nPosition)
{
    const double dDecibels = VolumeToAttenuation(nPosition) / 100.0;
    //: The local volume: how far up the slider stands, and the level in decibels
    return Tr(QT_TRANSLATE_NOOP("Accessibility", "%1 %, %2 dB"))
        .arg(Percent(kVolumeMax - nPosition, kVolumeMax - kVolumeMin))
        .arg(QLocale().toString(dDecibels, 'f', 1));
}

QString RemoteVolumeInWords(int nPosition)
{
    return Tr(QT_TRANSLATE_NOOP("Accessibility", "%1 %"))
        .arg(Percent(RemoteLevelFromPosition(nPosition), kVolumeMax - kVolumeMin));
}

QString BalanceInWords(int nPosition)
{
    if (nPosition == 0)
        return Tr(QT_TRANSLATE_NOOP("Accessibility", "Voice and playback even"));
    if (nPosition < 0)
        return Tr(QT_TRANSLATE_NOOP("Accessibility", "%1 % towards the voice"))
            .arg(Percent(-nPosition, -kBalanceMin));
    return Tr(QT_TRANSLATE_NOOP("Accessibility", "%1 % towards the playback"))
        .arg(Percent(nPosition, kBalanceMax));
}

QString PositionInWords(int nSeconds, int nDuration)
{
    //: The position in the file playing, of its length, both as minutes:seconds
    return Tr(QT_TRANSLATE_NOOP("Accessibility", "%1 of %2"))
        .arg(TimeText(nSeconds), TimeText(nDuration));
}

QString StatusIconName(int nIconId)
{
    return nIconId == IDI_CLIENT_CONNECTED
               ? Tr(QT_TRANSLATE_NOOP("Accessibility", "Call client connected"))
               : Tr(QT_TRANSLATE_NOOP("Accessibility", "Call client not connected"));
}

void DescribeControls(const CDlgControls& c)
{
    c.pCalls->setAccessibleName(Tr(QT_TRANSLATE_NOOP("Accessibility", "Active calls")));
    c.pCalls->setAccessibleDescription(ShownToolTip(IDC_COMBO_CALLS, false));
    c.pCallDuration->setAccessibleDescription(ShownWindowString(IDS_CALL_DURATION));
    c.pToolBar->setAccessibleName(Tr(QT_TRANSLATE_NOOP("Accessibility", "Playback commands")));
    c.pStatusIcon->setAccessibleName(StatusIconName(IDI_NOT_TRANSMITTING));
    c.pPosition->setAccessibleName(ShownWindowString(IDS_CURRENT_POSITION));
    DescribeValue(c.pPosition, [pSlider = c.pPosition](int nValue) {
        return PositionInWords(nValue, pSlider->maximum());
    });
    c.pTime->setAccessibleDescription(
        Tr(QT_TRANSLATE_NOOP("Accessibility", "Position and length of the file playing")));
    c.pNowPlaying->setAccessibleName(Tr(QT_TRANSLATE_NOOP("Accessibility", "Now playing")));
    c.pBalance->setAccessibleName(Tr(QT_TRANSLATE_NOOP("Accessibility", "Balance")));
    DescribeValue(c.pBalance, BalanceInWords);
    c.pFiles->setAccessibleName(Tr(QT_TRANSLATE_NOOP("Accessibility", "Playlist")));
    c.pFiles->setAccessibleDescription(Tr(QT_TRANSLATE_NOOP(
        "Accessibility", "Title and duration of each file. Enter plays a file, Delete removes "
                         "the selected files, Insert adds files.")));
    c.pLocalVolume->setAccessibleName(ShownWindowString(IDS_LOCAL_VOLUME));
    DescribeValue(c.pLocalVolume, LocalVolumeInWords);
    c.pRemoteVolume->setAccessibleName(Tr(QT_TRANSLATE_NOOP("Accessibility", "Remote volume")));
    DescribeValue(c.pRemoteVolume, RemoteVolumeInWords);
    c.pStatus->setAccessibleName(Tr(QT_TRANSLATE_NOOP("Accessibility", "Status")));
}

void DescribeToolButtons(QToolBar* pToolBar)
{
    for (QAction* pAction : pToolBar->actions()) {
        QWidget* pButton = pToolBar->widgetForAction(pAction);
        if (pAction->isSeparator() || pButton == nullptr)
            continue;
        const int nId = pAction->property("commandId").toInt();
        pButton->setAccessibleName(ToolButtonName(nId));
        QString description = pButton->toolTip();
        const QKeySequence key = pAction->shortcut();
        if (!key.isEmpty())
            description += QStringLiteral(" (%1)").arg(key.toString(QKeySequence::NativeText));
        pButton->setAccessibleDescription(description);
    }
}

void SetAnnouncedText(QLineEdit* pField, const QString& text)
{
    const QString old = pField->text();
    pField->setText(text);
    if (text == old)
        return;
    // A line edit's own update event does not reach every bridge: the old
    // text goes and the new one comes as two events that do.
    if (!old.isEmpty()) {
        QAccessibleTextRemoveEvent removed(pField, 0, old);
        QAccessible::updateAccessibility(&removed);
    }
    if (!text.isEmpty()) {
        QAccessibleTextInsertEvent inserted(pField, 0, text);
        QAccessible::updateAccessibility(&inserted);
    }
}
