#include "audio_setup.h"

#include <QMetaObject>

#include <cstdlib>

#include "log_categories.h"
#include "rules/settings_keys.h"
#include "rules/status_text.h"
#include "undo_journal.h"

namespace {

bool EnvironmentSets(const char* pszName)
{
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr && *pszValue != '\0';
}

} // namespace

CAudioSetup::CAudioSetup(ISettingsStore& settings, QObject* pContext, ListenersFn onListeners)
    : m_settings(settings), m_pContext(pContext), m_onListeners(std::move(onListeners))
{
}

CAudioSetup::~CAudioSetup()
{
    // The owner is going too: the answers that come while the devices go
    // have nobody to tell.
    m_onListeners = [](const std::string&, const std::vector<std::string>&) {};
    Shutdown();
}

bool CAudioSetup::CaptureFromEnvironment()
{
    return EnvironmentSets("VOXREEL_CAPTURE_SOURCE");
}

bool CAudioSetup::SinkFromEnvironment()
{
    return EnvironmentSets("VOXREEL_AUDIO_SINK");
}

bool CAudioSetup::VirtualMicrophoneWanted() const
{
    const char* pszEnv = std::getenv("VOXREEL_VIRTUAL_MIC");
    if (pszEnv != nullptr && std::string(pszEnv) == "0")
        return false;
    return m_settings.GetProfileInt(kSettingVirtualMicrophone, 1) != 0;
}

CAudioSetup::Choice CAudioSetup::Stored() const
{
    return {m_settings.GetProfileString(kSettingCaptureSource, ""),
            m_settings.GetProfileString(kSettingAudioSink, ""),
            m_settings.GetProfileInt(kSettingVirtualMicrophone, 1) != 0};
}

std::string CAudioSetup::WantedCapture() const
{
    return CaptureFromEnvironment() ? std::getenv("VOXREEL_CAPTURE_SOURCE")
                                    : Stored().strCaptureSource;
}

CVirtualMicrophone& CAudioSetup::Microphone()
{
    if (!m_pMicrophone) {
        m_pMicrophone = std::make_unique<CVirtualMicrophone>(
            [this](const std::vector<std::string>& listeners, const std::string& strText) {
                m_listeners = listeners;
                m_onListeners(strText, m_listeners);
            });
    }
    return *m_pMicrophone;
}

// The capture (strCapture) is asked about with the making, since the
// sound server's default microphone may be the one being made.
void CAudioSetup::StartMicrophone(const std::string& strCapture, bool bRestart, std::string strNote)
{
    const std::uint64_t nGeneration = ++m_nGeneration;
    m_bMicrophoneAsked = true;
    Microphone().Create(strCapture, [=, this](const CVirtualMicrophone::Made& made) {
        for (std::uint32_t nModule : made.modules)
            UndoJournal().ModuleLoaded(nModule);
        // Removed or started again since: the removal queued after this
        // making takes its devices away.
        if (nGeneration == m_nGeneration)
            OnMade(made, strCapture, bRestart, strNote);
    });
}

void CAudioSetup::OnMade(const CVirtualMicrophone::Made& made, const std::string& strWanted,
                         bool bRestart, const std::string& strNote)
{
    std::string strStatus = strNote, strCapture = strWanted;
    if (!made.strError.empty()) {
        qCWarning(lcAudio) << "Voxreel microphone not available:" << made.strError.c_str();
        strStatus = "The Voxreel microphone is not available: " + made.strError;
    } else {
        m_bMicrophoneUp = true;
        qCInfo(lcAudio) << "Voxreel microphone up, mix output:" << CVirtualMicrophone::kMixOutput;
    }
    if (m_bMicrophoneUp && !made.strCaptureInstead.empty()) {
        strCapture = made.strCaptureInstead;
        strStatus =
            "The Voxreel microphone cannot hear itself: recording from " + strCapture + " instead";
        qCInfo(lcAudio) << "capture" << strWanted.c_str() << "is the Voxreel microphone; using"
                        << strCapture.c_str();
        if (CaptureFromEnvironment()) // the renderer reads the variable before its own setting
            setenv("VOXREEL_CAPTURE_SOURCE", strCapture.c_str(), 1);
    }
    const std::string strMix = m_bMicrophoneUp ? CVirtualMicrophone::kMixOutput : "";
    if (!m_pPlayer->HasRenderer()) { // it takes both at its start
        m_pPlayer->SetCaptureSource(strCapture);
        m_pPlayer->SetMixOutput(strMix);
    } else if (bRestart || strCapture != strWanted) {
        Restart(strCapture, strMix, strStatus);
        return;
    } else { // a running transmission starts feeding it at once
        InTurn(m_pPlayer->MixOutputChange(strMix));
    }
    Say(strStatus);
}

void CAudioSetup::InTurn(std::function<void()> job)
{
    Microphone().RunInTurn([job = std::move(job)] {
        job();
        return CVirtualMicrophone::Answer{};
    });
}

// The restart waits for the capture's start, which waits for the sound
// server: it runs in turn with the microphone's requests, and strStatus (or
// the failure) shows once it is done.
void CAudioSetup::Restart(const std::string& strCapture, const std::string& strMix,
                          std::string strStatus)
{
    Microphone().RunInTurn([this, restart = m_pPlayer->TransmissionRestart(strCapture, strMix),
                            strCapture, strStatus = std::move(strStatus)] {
        const HRESULT hr = restart();
        qCInfo(lcAudio) << "transmission restarted with capture"
                        << (strCapture.empty() ? "(default)" : strCapture.c_str()) << "result"
                        << Qt::hex << static_cast<std::uint32_t>(hr);
        return [this, hr, strStatus] {
            Say(FAILED(hr) ? FormatStatus("Cannot record audio: %08X", {hr}) : strStatus);
        };
    });
}

void CAudioSetup::Say(const std::string& strText)
{
    if (strText.empty())
        return;
    QMetaObject::invokeMethod(
        m_pContext, [this, strText] { m_onListeners(strText, m_listeners); }, Qt::QueuedConnection);
}

std::string CAudioSetup::PrepareStart(CDSPlayer& player)
{
    m_pPlayer = &player;
    player.SetMixOutput({});
    const std::string strCapture = WantedCapture();
    qCInfo(lcAudio) << "capture source:" << (strCapture.empty() ? "(default)" : strCapture.c_str());
    player.SetCaptureSource(strCapture);
    if (VirtualMicrophoneWanted())
        StartMicrophone(strCapture, false, {});
    else
        qCDebug(lcAudio) << "Voxreel microphone not wanted";
    return {};
}

std::string CAudioSetup::Apply(CDSPlayer& player, const Choice& choice)
{
    m_pPlayer = &player;
    const Choice before = Stored();
    m_settings.WriteProfileString(kSettingCaptureSource, choice.strCaptureSource);
    m_settings.WriteProfileString(kSettingAudioSink, choice.strAudioSink);
    m_settings.WriteProfileInt(kSettingVirtualMicrophone, choice.bVirtualMicrophone ? 1 : 0);
    const bool bMicrophoneChanged = before.bVirtualMicrophone != choice.bVirtualMicrophone;
    const bool bCaptureChanged =
        before.strCaptureSource != choice.strCaptureSource && !CaptureFromEnvironment();
    const bool bSinkChanged = before.strAudioSink != choice.strAudioSink && !SinkFromEnvironment();
    const std::string strSinkNote =
        bSinkChanged ? "The new output is used from the next start of Voxreel" : "";
    if (!bMicrophoneChanged && !bCaptureChanged)
        return strSinkNote;
    RemoveMicrophone(false);
    const std::string strCapture = WantedCapture();
    if (VirtualMicrophoneWanted()) {
        StartMicrophone(strCapture, true, strSinkNote); // the restart waits for the devices
        return {};
    }
    Restart(strCapture, "", strSinkNote);
    return {};
}

void CAudioSetup::Shutdown()
{
    RemoveMicrophone(true);
}

// The feed stops before its sink goes: the sound server would move it to
// the user's speakers, and PipeWire may hold a stream that is starting for
// libpulse's whole time-out.
void CAudioSetup::RemoveMicrophone(bool bClosing)
{
    ++m_nGeneration;
    if (m_bMicrophoneAsked) {
        if (m_pPlayer != nullptr)
            InTurn(m_pPlayer->MixOutputChange({}));
        qCInfo(lcAudio) << "removing the Voxreel microphone";
    }
    const auto onRemoved = [](const std::vector<std::uint32_t>& modules) {
        for (std::uint32_t nModule : modules)
            UndoJournal().ModuleUnloaded(nModule);
    };
    if (bClosing && m_pMicrophone)
        m_pMicrophone->Close(onRemoved); // also settles what an earlier removal left
    else if (m_bMicrophoneAsked)
        m_pMicrophone->Remove(onRemoved);
    m_bMicrophoneAsked = m_bMicrophoneUp = false;
    m_listeners.clear();
}
