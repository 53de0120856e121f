// The Voxreel microphone: a null sink of the user's sound server that the
// renderer plays every mixed block into, and a source remapped from its
// monitor that any call application can choose as its microphone. Created
// when transmission starts, removed when it stops and at every exit; devices
// left by a Voxreel that was killed are found by their names and removed
// before new ones are made. Used from the UI thread.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pulse_client.h"

class CVirtualMicrophone {
public:
    static constexpr const char* kSinkName = "voxreel_mic_sink";
    static constexpr const char* kSourceName = "voxreel_mic";
    static constexpr const char* kSourceDescription = "Voxreel microphone";
    // What the renderer plays the mix into.
    static constexpr const char* kMixOutput =
        "pulsesink device=voxreel_mic_sink sync=false buffer-time=160000 latency-time=80000 "
        "client-name=\"Voxreel microphone feed\"";

    // onListeners(apps, text): the applications recording from the Voxreel
    // microphone now, and a status text saying who started or stopped.
    // Called on pContext's thread.
    using ListenersFn = std::function<void(const std::vector<std::string>&, const std::string&)>;

    CVirtualMicrophone(QObject* pContext, ListenersFn onListeners);
    ~CVirtualMicrophone();

    // Connects to the sound server and makes the devices; an error text, or
    // empty on success.
    std::string Create();
    // Moves the recordings on the Voxreel microphone to the user's
    // microphone, then takes the devices away.
    void Remove();
    bool IsUp() const { return m_nSourceModule != kNoModule && m_nSinkModule != kNoModule; }
    // The module indices of the devices this instance made; empty when none.
    std::vector<std::uint32_t> ModuleIndices() const;

    // The microphone to capture from instead of strCapture (a gst-launch
    // description, empty for the default) when that is the Voxreel
    // microphone or the default is; empty when strCapture is fine.
    std::string RealMicrophoneFor(const std::string& strCapture);

private:
    static constexpr std::uint32_t kNoModule = PA_INVALID_INDEX;

    void RemoveLeftovers();
    void MoveRecordingsAway();
    void RefreshListeners();
    std::vector<CPulseClient::Playback> PlaybacksIntoOurs();
    std::optional<std::vector<CPulseClient::Recording>> RecordingsOnOurs();
    void WakeSinkOnceFed(int nTriesLeft);

    QObject* m_pContext;
    ListenersFn m_onListeners;
    std::unique_ptr<CPulseClient> m_pClient;
    std::uint32_t m_nSinkModule = kNoModule, m_nSourceModule = kNoModule;
    std::vector<std::string> m_listeners;
};
