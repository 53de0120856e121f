// The settings dialog: which microphone the call hears and which output plays
// the files locally, from the devices GStreamer lists, "System default" first.
// The devices are listed on a thread of their own (a sound server that stands
// still holds that thread, not the window); until they come the lists offer
// the default and what is chosen now.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "audio_devices.h"

class QCheckBox;
class QComboBox;

class CSettingsDlg final : public QDialog {
public:
    struct Choice {
        std::string strCaptureSource; // empty: the system's default
        std::string strAudioSink;     // empty: the system's default
        bool bVirtualMicrophone = true;
        std::string strLoudnessTarget = "-18"; // "Off" or LUFS
    };
    // bCaptureFixed / bSinkFixed: an environment variable decides instead.
    CSettingsDlg(QWidget* pParent, const Choice& current, bool bCaptureFixed, bool bSinkFixed);
    Choice Chosen() const;
    // The call limiter's check box (off unless set).
    void SetCallLimiter(bool bOn);
    bool CallLimiter() const;

private:
    void ListDevices();
    void OnDevicesListed(const std::vector<AudioDevice>& sources,
                         const std::vector<AudioDevice>& sinks);

    QComboBox* m_pMicrophones;
    QComboBox* m_pOutputs;
    QCheckBox* m_pVirtualMicrophone;
    QComboBox* m_pLoudness;
    QCheckBox* m_pCallLimiter;
};
