// The Voxreel microphone: a null sink of the user's sound server that the
// renderer plays every mixed block into, and a source remapped from its
// monitor that any call application can choose as its microphone. Created
// when transmission starts, removed when it stops and at every exit; devices
// left by a Voxreel that was killed are found by their names and removed
// before new ones are made.
//
// Its methods are called on the thread that made it (the UI thread) and
// return at once: the sound server is asked on a thread of the microphone's
// own, in the order things were asked for, and the answers come back on the
// owner's thread in that order. Only Close waits.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pulse_client.h"
#include "sound_server_thread.h"

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
    using ListenersFn = std::function<void(const std::vector<std::string>&, const std::string&)>;
    struct Made {
        std::string strError;               // empty when the devices are up
        std::vector<std::uint32_t> modules; // the modules made, kept until removed
        std::string strCaptureInstead;      // as FindRealMicrophoneFor answers
    };
    using MadeFn = std::function<void(const Made&)>;
    using RemovedFn = std::function<void(const std::vector<std::uint32_t>& modules)>;
    using FoundFn = std::function<void(const std::string& strCaptureInstead)>;

    explicit CVirtualMicrophone(ListenersFn onListeners);
    // Closes.
    ~CVirtualMicrophone();
    CVirtualMicrophone(const CVirtualMicrophone&) = delete;
    CVirtualMicrophone& operator=(const CVirtualMicrophone&) = delete;

    // Connects to the sound server and makes the devices, then answers what
    // to capture instead of strCapture.
    void Create(std::string strCapture, MadeFn onMade);
    // Moves the recordings on the Voxreel microphone to the user's
    // microphone, then takes the devices away; answers with the modules
    // removed.
    void Remove(RemovedFn onRemoved = {});
    // Removes as Remove does, each request waiting for the server no longer
    // than kClosingAnswerTime, and waits until that and everything asked
    // before it is done, running the answers before it returns.
    void Close(RemovedFn onRemoved = {});

    // The microphone to capture from instead of strCapture (a gst-launch
    // description, empty for the default) when that is the Voxreel
    // microphone or the default is; empty when strCapture is fine.
    void FindRealMicrophoneFor(std::string strCapture, FoundFn onFound);

    // Runs job on the microphone's sound server thread, in turn with the
    // requests above, then the answer it returns (if any) on the owner's
    // thread. What starts or stops the feed into the devices then keeps its
    // order with their making and removal, and waits for the sound server
    // there rather than on the owner's thread.
    using Answer = std::function<void()>;
    void RunInTurn(std::function<Answer()> job);

    static constexpr std::chrono::milliseconds kClosingAnswerTime{3000};

private:
    static constexpr std::uint32_t kNoModule = PA_INVALID_INDEX;

    // On the sound server thread.
    std::string CreateNow();
    std::vector<std::uint32_t> RemoveNow();
    std::string RealMicrophoneNow(const std::string& strCapture);
    bool IsUp() const { return m_nSourceModule != kNoModule && m_nSinkModule != kNoModule; }
    void RemoveLeftovers();
    void MoveRecordingsAway();
    void OnRecordingsChanged();
    void RefreshListeners();
    std::vector<CPulseClient::Playback> PlaybacksIntoOurs();
    std::optional<std::vector<CPulseClient::Recording>> RecordingsOnOurs();
    void WakeSinkOnceFed(int nTriesLeft);

    ListenersFn m_onListeners; // called on the owner's thread
    // The sound server thread only.
    std::unique_ptr<CPulseClient> m_pClient;
    std::uint32_t m_nSinkModule = kNoModule, m_nSourceModule = kNoModule;
    std::vector<std::string> m_listeners;
    std::chrono::milliseconds m_answerTime = CPulseClient::kAnswerTime;
    // Last: its jobs use the fields above, so it stops before they go.
    CSoundServerThread m_thread;
};
