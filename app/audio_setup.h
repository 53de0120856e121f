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

    // Before the player's Initialize: makes the Voxreel microphone, chooses
    // the microphone. Returns a status text worth showing, or "".
    std::string PrepareStart(CDSPlayer& player);
    // Takes a choice from the settings dialog: stores it, and applies what
    // can be applied now. Returns the status text to show.
    std::string Apply(CDSPlayer& player, const Choice& choice);
    // The devices go, at closing.
    void Shutdown();

    Choice Stored() const;
    static bool CaptureFromEnvironment();
    static bool SinkFromEnvironment();
    bool VirtualMicrophoneWanted() const;
    const std::vector<std::string>& Listeners() const { return m_listeners; }

private:
    std::string StartMicrophone(CDSPlayer& player);
    std::string ChooseCapture(std::string* pStatus);

    ISettingsStore& m_settings;
    QObject* m_pContext;
    ListenersFn m_onListeners;
    CDSPlayer* m_pPlayer = nullptr; // the player feeding the devices; outlives this
    std::unique_ptr<CVirtualMicrophone> m_pMicrophone; // while the devices exist
    std::vector<std::string> m_listeners;
};
