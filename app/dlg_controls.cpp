#include "dlg_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "meters/meter_panel.h"
#include "accessible_controls.h"
#include "rules/slider_rules.h"
#include "rules/window_ids.h"

namespace {

constexpr const char* kIdProperty = "controlId";

template <typename T> T* WithId(T* pWidget, int nId)
{
    pWidget->setProperty(kIdProperty, nId);
    pWidget->setObjectName(QStringLiteral("control%1").arg(nId));
    return pWidget;
}

QLabel* Caption(const QString& text, Qt::Alignment align = Qt::AlignCenter,
                QWidget* pLabelled = nullptr)
{
    auto* pLabel = new QLabel(text);
    pLabel->setBuddy(pLabelled); // tells assistive technology what it names
    pLabel->setAlignment(align);
    return pLabel;
}

QLineEdit* ReadOnlyField(int nId)
{
    auto* pEdit = WithId(new QLineEdit, nId);
    pEdit->setReadOnly(true);
    return pEdit;
}

QSlider* LevelSlider(int nId, Qt::Orientation orientation, int nMin, int nMax)
{
    auto* pSlider = WithId(new QSlider(orientation), nId);
    pSlider->setRange(nMin, nMax);
    pSlider->setPageStep(kLevelPageSize);
    pSlider->setSingleStep(1);
    pSlider->setTickInterval(kLevelTickInterval);
    if (orientation == Qt::Vertical) {
        // 0 at the top, and Up moves towards it: the top is the loud end.
        pSlider->setInvertedAppearance(true);
        pSlider->setInvertedControls(true);
        pSlider->setTickPosition(QSlider::TicksBothSides);
        pSlider->setMinimumHeight(140);
    } else {
        pSlider->setTickPosition(QSlider::TicksBelow);
    }
    return pSlider;
}

QLayout* CallsRow(CDlgControls& c)
{
    auto* pRow = new QHBoxLayout;
    c.pCalls = WithId(new QComboBox, IDC_COMBO_CALLS);
    c.pCalls->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    c.pCallDuration = WithId(Caption(QStringLiteral("00:00")), IDC_CALL_DURATION);
    c.pCallDuration->setMinimumWidth(48);
    pRow->addWidget(
        Caption(CDlgControls::tr("Active calls"), Qt::AlignRight | Qt::AlignVCenter, c.pCalls));
    pRow->addWidget(c.pCalls, 1);
    pRow->addWidget(c.pCallDuration);
    return pRow;
}

QLayout* ToolRow(CDlgControls& c)
{
    auto* pRow = new QHBoxLayout;
    c.pToolBar = new QToolBar;
    c.pToolBar->setIconSize(QSize(22, 22));
    c.pToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    c.pStatusIcon = WithId(new QLabel, IDC_STATUS_ICON);
    c.pStatusIcon->setFixedSize(32, 32);
    c.pStatusIcon->setAlignment(Qt::AlignCenter);
    pRow->addWidget(c.pToolBar);
    pRow->addStretch(1);
    pRow->addWidget(c.pStatusIcon);
    return pRow;
}

QLayout* PositionRow(CDlgControls& c)
{
    auto* pRow = new QHBoxLayout;
    c.pPosition = WithId(new QSlider(Qt::Horizontal), IDC_POSITION);
    c.pPosition->setTickPosition(QSlider::TicksBelow);
    c.pPosition->setTickInterval(kPositionTickInterval);
    c.pTime = WithId(Caption(QStringLiteral("00:00/00:00")), IDC_TIME);
    c.pTime->setMinimumWidth(90);
    pRow->addWidget(c.pPosition, 1);
    pRow->addWidget(c.pTime);
    return pRow;
}

QLayout* BalanceBox(CDlgControls& c)
{
    auto* pBox = new QVBoxLayout;
    c.pBalance = LevelSlider(IDC_BALANCE, Qt::Horizontal, kBalanceMin, kBalanceMax);
    auto* pEnds = new QHBoxLayout;
    //: The left end of the balance slider: the user's own voice
    pEnds->addWidget(Caption(CDlgControls::tr("Voice"), Qt::AlignLeft));
    //: The right end of the balance slider: the files played
    pEnds->addWidget(Caption(CDlgControls::tr("Playback"), Qt::AlignRight));
    pBox->addWidget(Caption(CDlgControls::tr("Balance"), Qt::AlignCenter, c.pBalance));
    pBox->addWidget(c.pBalance);
    c.pTalkOver =
        new QCheckBox(QCoreApplication::translate("CDlgControls", "Lower the music while I talk"));
    c.pTalkOver->setObjectName(QStringLiteral("talkOver"));
    pBox->addLayout(pEnds);
    pBox->addWidget(c.pTalkOver);
    return pBox;
}

QLayout* VolumeColumn(QSlider* pSlider, const QString& caption)
{
    auto* pColumn = new QVBoxLayout;
    pColumn->addWidget(Caption(caption, Qt::AlignCenter, pSlider));
    pColumn->addWidget(pSlider, 1, Qt::AlignHCenter);
    return pColumn;
}

QTreeView* PlaylistView()
{
    auto* pView = WithId(new QTreeView, IDC_LIST_FILES);
    pView->setRootIsDecorated(false);
    pView->setUniformRowHeights(true);
    pView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    pView->setSelectionBehavior(QAbstractItemView::SelectRows);
    pView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pView->setAllColumnsShowFocus(true);
    pView->setMinimumSize(420, 200);
    return pView;
}

} // namespace

CDlgControls BuildDlgControls(QDialog* pDialog)
{
    CDlgControls c;
    c.pNowPlaying = ReadOnlyField(IDC_NOW_PLAYING);
    c.pFiles = PlaylistView();
    c.pLocalVolume = LevelSlider(IDC_LOCAL_VOLUME, Qt::Vertical, kVolumeMin, kVolumeMax);
    c.pRemoteVolume = LevelSlider(IDC_REMOTE_VOLUME, Qt::Vertical, kVolumeMin, kVolumeMax);
    c.pStatus = ReadOnlyField(IDC_STATUS);

    auto* pNowPlaying = new QHBoxLayout;
    pNowPlaying->addWidget(Caption(CDlgControls::tr("Now playing:"),
                                   Qt::AlignRight | Qt::AlignVCenter, c.pNowPlaying));
    pNowPlaying->addWidget(c.pNowPlaying, 1);
    auto* pVolumes = new QHBoxLayout;
    pVolumes->addLayout(VolumeColumn(c.pLocalVolume, CDlgControls::tr("Local Volume")));
    //: The volume of the files played as the call hears them
    pVolumes->addLayout(VolumeColumn(c.pRemoteVolume, CDlgControls::tr("Remote Volume")));

    auto* pMiddle = new QGridLayout;
    pMiddle->addLayout(pNowPlaying, 0, 0, Qt::AlignTop);
    pMiddle->addWidget(c.pFiles, 1, 0);
    pMiddle->addLayout(BalanceBox(c), 0, 1);
    pMiddle->addLayout(pVolumes, 1, 1);
    pMiddle->setColumnStretch(0, 1);
    pMiddle->setRowStretch(1, 1);

    auto* pMain = new QVBoxLayout(pDialog);
    pMain->addLayout(CallsRow(c));
    pMain->addLayout(ToolRow(c));
    pMain->addLayout(PositionRow(c));
    pMain->addLayout(pMiddle, 1);
    c.pMeters = new CMeterPanel;
    pMain->addWidget(c.pMeters);
    pMain->addWidget(c.pStatus);
    DescribeControls(c);
    return c;
}

QWidget* FindControl(const QWidget* pParent, int nId)
{
    for (QWidget* pChild : pParent->findChildren<QWidget*>()) {
        if (pChild->property(kIdProperty).toInt() == nId)
            return pChild;
    }
    return nullptr;
}
