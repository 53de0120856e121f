#include "audio_setup.h"

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

// The microphone to capture from: the environment's or the stored one, unless
// that is the Voxreel microphone (or leaves it to a default that is).
std::string CAudioSetup::ChooseCapture(std::string* pStatus)
{
    const bool bFromEnvironment = CaptureFromEnvironment();
    const std::string strWanted =
        bFromEnvironment ? std::getenv("VOXREEL_CAPTURE_SOURCE") : Stored().strCaptureSource;
    if (!m_pMicrophone)
        return strWanted;
    const std::string strReal = m_pMicrophone->RealMicrophoneFor(strWanted);
    if (strReal.empty())
        return strWanted;
    *pStatus = "The Voxreel microphone cannot hear itself: recording from " + strReal + " instead";
    qCInfo(lcAudio) << "capture" << strWanted.c_str() << "is the Voxreel microphone; using"
                    << strReal.c_str();
    if (bFromEnvironment) // the renderer reads the variable before its own setting
        setenv("VOXREEL_CAPTURE_SOURCE", strReal.c_str(), 1);
    return strReal;
}

std::string CAudioSetup::StartMicrophone(CDSPlayer& player)
{
    m_pPlayer = &player;
    player.SetMixOutput({});
    if (!VirtualMicrophoneWanted()) {
        qCDebug(lcAudio) << "Voxreel microphone not wanted";
        return {};
    }
    m_pMicrophone = std::make_unique<CVirtualMicrophone>(
        m_pContext, [this](const std::vector<std::string>& listeners, const std::string& strText) {
            m_listeners = listeners;
            m_onListeners(strText, m_listeners);
        });
    const std::string strError = m_pMicrophone->Create();
    if (!strError.empty()) {
        qCWarning(lcAudio) << "Voxreel microphone not available:" << strError.c_str();
        m_pMicrophone.reset();
        return "The Voxreel microphone is not available: " + strError;
    }
    for (std::uint32_t nModule : m_pMicrophone->ModuleIndices())
        UndoJournal().ModuleLoaded(nModule);
    player.SetMixOutput(CVirtualMicrophone::kMixOutput);
    qCInfo(lcAudio) << "Voxreel microphone up, mix output:" << CVirtualMicrophone::kMixOutput;
    return {};
}

std::string CAudioSetup::PrepareStart(CDSPlayer& player)
{
    std::string strStatus = StartMicrophone(player);
    const std::string strCapture = ChooseCapture(&strStatus);
    qCInfo(lcAudio) << "capture source:" << (strCapture.empty() ? "(default)" : strCapture.c_str());
    player.SetCaptureSource(strCapture);
    return strStatus;
}

std::string CAudioSetup::Apply(CDSPlayer& player, const Choice& choice)
{
    const Choice before = Stored();
    m_settings.WriteProfileString(kSettingCaptureSource, choice.strCaptureSource);
    m_settings.WriteProfileString(kSettingAudioSink, choice.strAudioSink);
    m_settings.WriteProfileInt(kSettingVirtualMicrophone, choice.bVirtualMicrophone ? 1 : 0);
    std::string strStatus;
    const bool bMicrophoneChanged = before.bVirtualMicrophone != choice.bVirtualMicrophone;
    const bool bCaptureChanged =
        before.strCaptureSource != choice.strCaptureSource && !CaptureFromEnvironment();
    if (bMicrophoneChanged || bCaptureChanged) {
        Shutdown();
        strStatus = StartMicrophone(player);
        const std::string strCapture = ChooseCapture(&strStatus);
        const HRESULT hr = player.RestartTransmission(
            strCapture, m_pMicrophone ? CVirtualMicrophone::kMixOutput : "");
        qCInfo(lcAudio) << "transmission restarted with capture"
                        << (strCapture.empty() ? "(default)" : strCapture.c_str()) << "result"
                        << Qt::hex << static_cast<std::uint32_t>(hr);
        if (FAILED(hr))
            strStatus = FormatStatus("Cannot record audio: %08X", {hr});
    }
    if (before.strAudioSink != choice.strAudioSink && !SinkFromEnvironment() && strStatus.empty())
        strStatus = "The new output is used from the next start of Voxreel";
    return strStatus;
}

void CAudioSetup::Shutdown()
{
    // The feed stops before its sink goes: the sound server would move it to
    // the user's speakers, and PipeWire may hold a stream that is starting
    // for libpulse's whole time-out.
    if (m_pMicrophone && m_pPlayer != nullptr)
        m_pPlayer->SetMixOutput({});
    const std::vector<std::uint32_t> modules =
        m_pMicrophone ? m_pMicrophone->ModuleIndices() : std::vector<std::uint32_t>{};
    if (m_pMicrophone)
        qCInfo(lcAudio) << "removing the Voxreel microphone";
    m_pMicrophone.reset(); // removes the devices
    for (std::uint32_t nModule : modules)
        UndoJournal().ModuleUnloaded(nModule);
    m_listeners.clear();
}
