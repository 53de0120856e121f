// Where the call's audio comes from and goes besides the port: the
// microphone the renderer captures (from the settings, the environment
// overriding, never the Voxreel microphone itself), and the Voxreel
// microphone that offers the same mix to every other call application.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dsplayer.h"
#include "virtual_microphone.h"
#include "voxreel/settings.h"

class CAudioSetup {
public:
    struct Choice {
        std::string strCaptureSource; // empty: the system's default
        std::string strAudioSink;     // empty: the system's default
        bool bVirtualMicrophone = true;
    };
    // Called on pContext's thread with a status text and the applications
    // listening to the Voxreel microphone now.
    using ListenersFn = std::function<void(const std::string&, const std::vector<std::string>&)>;

    CAudioSetup(ISettingsStore& settings, QObject* pContext, ListenersFn onListeners);
    ~CAudioSetup();

    // Before the player's Initialize: chooses the microphone and starts
    // making the Voxreel microphone, without waiting for the sound server.
    // Once it is made the player's mix output plays into it; a status text
    // worth showing then comes through onListeners, after the renderer's own
    // start-up texts. Returns a status text known at once, or "".
    std::string PrepareStart(CDSPlayer& player);
    // Takes a choice from the settings dialog: stores it, and applies what
    // can be applied now (a transmission that needs the Voxreel microphone
    // restarts once that is made). Returns the status text to show now.
    std::string Apply(CDSPlayer& player, const Choice& choice);
    // The devices go, at closing: waits for the sound server, each request
    // at most CVirtualMicrophone::kClosingAnswerTime.
    void Shutdown();

    Choice Stored() const;
    static bool CaptureFromEnvironment();
    static bool SinkFromEnvironment();
    bool VirtualMicrophoneWanted() const;
    const std::vector<std::string>& Listeners() const { return m_listeners; }

private:
    // The capture the environment or the settings name (empty: the default).
    std::string WantedCapture() const;
    CVirtualMicrophone& Microphone();
    // strNote: the status to show when the making has nothing to say.
    void StartMicrophone(const std::string& strCapture, bool bRestart, std::string strNote);
    void OnMade(const CVirtualMicrophone::Made& made, const std::string& strCapture, bool bRestart,
                const std::string& strNote);
    void RemoveMicrophone(bool bClosing);
    // Acts on the renderer on the microphone's sound server thread, in turn
    // with its requests: the feed stops before its sink goes, and nothing
    // here waits for the sound server.
    void InTurn(std::function<void()> job);
    void Restart(const std::string& strCapture, const std::string& strMix, std::string strStatus);
    // Shows a status text after what the window's queue already holds.
    void Say(const std::string& strText);

    ISettingsStore& m_settings;
    QObject* m_pContext;
    ListenersFn m_onListeners;
    CDSPlayer* m_pPlayer = nullptr; // the player feeding the devices; outlives this
    // Made at the first start and kept: its thread serves every later one.
    std::unique_ptr<CVirtualMicrophone> m_pMicrophone;
    bool m_bMicrophoneAsked = false; // made, or asked for, since the last removal
    bool m_bMicrophoneUp = false;    // made, and the mix plays into it
    // Counts starts and removals: the answer to an older start comes too late.
    std::uint64_t m_nGeneration = 0;
    std::vector<std::string> m_listeners;
};
