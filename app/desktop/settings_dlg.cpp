#include "settings_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <QPointer>

#include <thread>

#include "loudness_choice.h"

namespace {

QString Tr(const char* pszText)
{
    return QCoreApplication::translate("CSettingsDlg", pszText);
}

// Fills a device list: "System default", the devices, and the one chosen
// (its description as the name until it is listed, and marked when the
// listing does not have it: a device that is not plugged in stays chosen).
void FillDeviceChoice(QComboBox* pCombo, const std::vector<AudioDevice>& devices,
                      const QString& chosen, bool bListed)
{
    pCombo->clear();
    pCombo->addItem(Tr(QT_TRANSLATE_NOOP("CSettingsDlg", "System default")), QString());
    for (const AudioDevice& device : devices)
        pCombo->addItem(QString::fromStdString(device.strName),
                        QString::fromStdString(device.strDescription));
    int nIndex = pCombo->findData(chosen);
    if (nIndex < 0) {
        //: A device chosen before that is not plugged in now; %1 is its name
        pCombo->addItem(bListed
                            ? Tr(QT_TRANSLATE_NOOP("CSettingsDlg", "%1 (not present)")).arg(chosen)
                            : chosen,
                        chosen);
        nIndex = pCombo->count() - 1;
    }
    pCombo->setCurrentIndex(nIndex);
}

QComboBox* DeviceChoice(const std::string& strCurrent, bool bFixed)
{
    auto* pCombo = new QComboBox;
    FillDeviceChoice(pCombo, {}, QString::fromStdString(strCurrent), false);
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
    : QDialog(pParent), m_pMicrophones(DeviceChoice(current.strCaptureSource, bCaptureFixed)),
      m_pOutputs(DeviceChoice(current.strAudioSink, bSinkFixed)),
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
    ListDevices();
}

// The thread is left to finish alone: a dialog closed meanwhile only drops
// the answer.
void CSettingsDlg::ListDevices()
{
    std::thread([pDialog = QPointer<CSettingsDlg>(this)] {
        std::vector<AudioDevice> sources = ListAudioDevices(true);
        std::vector<AudioDevice> sinks = ListAudioDevices(false);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [pDialog, sources = std::move(sources), sinks = std::move(sinks)] {
                if (pDialog)
                    pDialog->OnDevicesListed(sources, sinks);
            },
            Qt::QueuedConnection);
    }).detach();
}

void CSettingsDlg::OnDevicesListed(const std::vector<AudioDevice>& sources,
                                   const std::vector<AudioDevice>& sinks)
{
    FillDeviceChoice(m_pMicrophones, sources, m_pMicrophones->currentData().toString(), true);
    FillDeviceChoice(m_pOutputs, sinks, m_pOutputs->currentData().toString(), true);
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
