// The main window's controls, laid out in the arrangement of the original
// dialog: the calls row on top, the tool bar and status icon, the position
// row, "Now playing" and the balance, the playlist with the two volume
// sliders, and the status line at the bottom. Every control carries its id
// in the "controlId" property.
#pragma once

#include <QCoreApplication>

class CMeterPanel;
class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QSlider;
class QToolBar;
class QTreeView;
class QWidget;

struct CDlgControls {
    Q_DECLARE_TR_FUNCTIONS(CDlgControls)

public:
    QComboBox* pCalls = nullptr;      // 1002
    QLabel* pCallDuration = nullptr;  // 1022
    QToolBar* pToolBar = nullptr;     // in place of 1017
    QLabel* pStatusIcon = nullptr;    // 1018
    QSlider* pPosition = nullptr;     // 1015
    QLabel* pTime = nullptr;          // 1007
    QLineEdit* pNowPlaying = nullptr; // 1006
    QSlider* pBalance = nullptr;      // 1024
    QCheckBox* pTalkOver = nullptr;   // beside the balance
    QTreeView* pFiles = nullptr;      // 1000
    QSlider* pLocalVolume = nullptr;  // 1021
    QSlider* pRemoteVolume = nullptr; // 1023
    QLineEdit* pStatus = nullptr;     // 1019
    CMeterPanel* pMeters = nullptr;   // the microphone and what the call hears
};

CDlgControls BuildDlgControls(QDialog* pDialog);

// The control with that id among pParent's children, or nullptr.
QWidget* FindControl(const QWidget* pParent, int nId);
