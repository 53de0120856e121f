#include "settings_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "audio_devices.h"
#include "loudness_choice.h"

namespace {

QString Tr(const char* pszText)
{
    return QCoreApplication::translate("CSettingsDlg", pszText);
}

QComboBox* DeviceChoice(bool bSources, const std::string& strCurrent, bool bFixed)
{
    auto* pCombo = new QComboBox;
    pCombo->addItem(Tr(QT_TRANSLATE_NOOP("CSettingsDlg", "System default")), QString());
    for (const AudioDevice& device : ListAudioDevices(bSources))
        pCombo->addItem(QString::fromStdString(device.strName),
                        QString::fromStdString(device.strDescription));
    const QString current = QString::fromStdString(strCurrent);
    int nIndex = pCombo->findData(current);
    if (nIndex < 0) {
        // A device that is not plugged in now stays chosen.
        //: A device chosen before that is not plugged in now; %1 is its name
        pCombo->addItem(Tr(QT_TRANSLATE_NOOP("CSettingsDlg", "%1 (not present)")).arg(current),
                        current);
        nIndex = pCombo->count() - 1;
    }
    pCombo->setCurrentIndex(nIndex);
    pCombo->setEnabled(!bFixed);
    return pCombo;
}

QLabel* Note(const QString& text)
{
    auto* pLabel = new QLabel(text);
    pLabel->setWordWrap(true);
    return pLabel;
}

} // namespace

CSettingsDlg::CSettingsDlg(QWidget* pParent, const Choice& current, bool bCaptureFixed,
                           bool bSinkFixed)
    : QDialog(pParent), m_pMicrophones(DeviceChoice(true, current.strCaptureSource, bCaptureFixed)),
      m_pOutputs(DeviceChoice(false, current.strAudioSink, bSinkFixed)),
      m_pVirtualMicrophone(new QCheckBox(Tr(QT_TRANSLATE_NOOP(
          "CSettingsDlg", "Offer the mix to other call applications as \"Voxreel microphone\""))))
{
    m_pVirtualMicrophone->setObjectName(QStringLiteral("virtualMicrophone"));
    m_pVirtualMicrophone->setChecked(current.bVirtualMicrophone);
    setWindowTitle(Tr(QT_TRANSLATE_NOOP("CSettingsDlg", "Voxreel Settings")));
    m_pMicrophones->setObjectName(QStringLiteral("microphones"));
    m_pOutputs->setObjectName(QStringLiteral("outputs"));
    auto* pForm = new QFormLayout;
    pForm->addRow(Tr(QT_TRANSLATE_NOOP("CSettingsDlg", "&Microphone:")), m_pMicrophones);
    pForm->addRow(Tr(QT_TRANSLATE_NOOP("CSettingsDlg", "&Output:")), m_pOutputs);
    pForm->addRow(m_pVirtualMicrophone);
    m_pLoudness = NewLoudnessChoice(current.strLoudnessTarget);
    pForm->addRow(QCoreApplication::translate("CSettingsDlg", "&Even loudness:"), m_pLoudness);
    m_pCallLimiter = new QCheckBox(QCoreApplication::translate(
        "CSettingsDlg", "Keep the call under full scale with a &limiter"));
    m_pCallLimiter->setObjectName(QStringLiteral("callLimiter"));
    pForm->addRow(m_pCallLimiter);

    auto* pMain = new QVBoxLayout(this);
    pMain->addLayout(pForm);
    pMain->addWidget(Note(Tr(QT_TRANSLATE_NOOP(
        "CSettingsDlg", "A new microphone is used at once; the call reconnects to it. "
                        "A new output is used from the next start of Voxreel."))));
    if (bCaptureFixed || bSinkFixed)
        pMain->addWidget(Note(Tr(QT_TRANSLATE_NOOP(
            "CSettingsDlg", "VOXREEL_CAPTURE_SOURCE or VOXREEL_AUDIO_SINK is set: the "
                            "environment decides what it names."))));
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    pMain->addWidget(pButtons);
}

CSettingsDlg::Choice CSettingsDlg::Chosen() const
{
    return {m_pMicrophones->currentData().toString().toStdString(),
            m_pOutputs->currentData().toString().toStdString(), m_pVirtualMicrophone->isChecked(),
            ChosenLoudnessTarget(m_pLoudness)};
}

void CSettingsDlg::SetCallLimiter(bool bOn)
{
    m_pCallLimiter->setChecked(bOn);
}

bool CSettingsDlg::CallLimiter() const
{
    return m_pCallLimiter->isChecked();
}
