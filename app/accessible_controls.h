// What a screen reader hears of the main window: each control's name and,
// where the name does not say it all, a description; the sliders' values in
// words; and the status line's new texts, sent as the line changes so that
// they are heard without moving the focus there.
#pragma once

#include <QString>

struct CDlgControls;
class QLineEdit;
class QToolBar;

// Names and describes the controls, and keeps the sliders' descriptions
// telling their values as they move.
void DescribeControls(const CDlgControls& controls);

// Names the tool bar's buttons after their commands (by "commandId"), with
// their keys in the description.
void DescribeToolButtons(QToolBar* pToolBar);

// The status icon's name for a status icon id.
QString StatusIconName(int nIconId);

// Sets the status line's text and tells assistive technology what it now
// says, as an insertion of the whole new text.
void SetAnnouncedText(QLineEdit* pField, const QString& text);

// The sliders' values in words.
QString LocalVolumeInWords(int nPosition);
QString RemoteVolumeInWords(int nPosition);
QString BalanceInWords(int nPosition);
QString PositionInWords(int nSeconds, int nDuration);
