// Everything the renderer element does besides being an element: the
// playback queues, the TCP server, the capture, the pacing and the mixing,
// the local outputs, and the control operations that start and stop them.
//
// The path of the file's audio to the call, with the thread of each step:
// 1. Queue (GStreamer's streaming threads): the element's transform pushes
//    a reference to each 16 kHz buffer into the playback queue and passes
//    the buffer on unchanged (to a sink that does not pace it); the "wide"
//    pad's chain pushes each 48 kHz stereo buffer into the wide queue. A
//    flush empties a queue; the element holds both while it is not
//    PLAYING. The pace comes from the call: the resampler's bounded pool
//    runs dry while its buffers wait here, until the mixer uses them.
// 2. Tick (the pacing thread, "callfeed-pacing", every 100 ms): the capture
//    reader takes what the capture pipeline's own thread has written into
//    the capture ring since the previous tick, in up to two regions. A
//    capture that failed is replaced by silence until it runs again
//    (capture_keeper.h).
// 3. Mixer (pacing thread): each region goes into the current transmit
//    block, mixed with queued playback when the queue covers it (or holds
//    the stream's last samples) and is not held, otherwise as the
//    microphone alone.
// 4. Ring (pacing thread): a full block is marked not free, the ring moves
//    on to the next of its four blocks, and the block goes to the server.
// 5. Write (the server thread, "callfeed-server"): blocks are written to
//    the client one at a time; when a write ends, or there is no client, the
//    block is released and the pacing thread may fill it again.
// 6. Wide mix (pacing thread, same tick, after step 3): the wide mixer takes
//    what the 48 kHz capture ring got since the previous tick, mixes the
//    wide queue into it by the same law, and the tick's mix goes to the mix
//    output (the Voxreel microphone), the playback it used to the local
//    output. Both drop what they cannot take at once, and keep a short lead
//    against late ticks (audio_output.h). Without outputs no
//    48 kHz capture runs, and the wide queue is used up in step unheard.
// 7. End (streaming thread): the end of the stream waits on the sink pad
//    until the mixer has taken every queued sample (and the wide queue's,
//    when that pad is linked); the tick wakes it. A flush, a state change
//    down or the end of transmission lets it go at once.
// The control operations run on the application's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "audio_output.h"
#include "call_options.h"
#include "call_stage.h"
#include "capture_keeper.h"
#include "capture_pipeline.h"
#include "capture_reader.h"
#include "capture_ring.h"
#include "heard_position.h"
#include "heard_wait.h"
#include "level_board.h"
#include "mix_levels.h"
#include "mixer.h"
#include "pacing_thread.h"
#include "playback_queue.h"
#include "send_ring.h"
#include "tcp_server.h"
#include "wide_mixer.h"

class CCallfeedEngine {
public:
    static constexpr const char* kDefaultCaptureSource = "autoaudiosrc";
    static constexpr const char* kCaptureSourceVariable = "VOXREEL_CAPTURE_SOURCE";
    static constexpr const char* kWideCaps =
        "audio/x-raw,format=S16LE,rate=48000,channels=2,layout=interleaved";

    // notify posts each notification (the element turns it into a message).
    explicit CCallfeedEngine(NotifyFn notify);
    ~CCallfeedEngine();
    CCallfeedEngine(const CCallfeedEngine&) = delete;
    CCallfeedEngine& operator=(const CCallfeedEngine&) = delete;

    // Control operations, from the application's thread.
    HRESULT SetPort(int nPort);
    void StorePort(int nPort) { m_nPort.store(nPort, std::memory_order_relaxed); }
    int GetPort() const { return m_nPort.load(std::memory_order_relaxed); }
    HRESULT StartTransmission();
    HRESULT StopTransmission();
    CMixLevels& Levels() { return m_levels; }
    CCallOptions& CallOptions() { return m_callOptions; }
    // The meters' levels since the previous take (one reader).
    CallLevels TakeLevels() { return m_levelBoard.Take(); }
    void SetCaptureSource(std::string strSource);
    std::string GetCaptureSource() const;
    // Local outputs (gst-launch descriptions of sinks; empty: none), used
    // from the next start: the mix output gets the wide mix (the Voxreel
    // microphone), the local output the playback alone. A new mix output
    // also starts at once while transmitting with the wide mix; none stops
    // the running one at once.
    void SetMixOutput(std::string strOutput);
    std::string GetMixOutput() const;
    void SetLocalOutput(std::string strOutput);
    std::string GetLocalOutput() const;
    // A linear factor for the local output, applied at once.
    void SetLocalVolume(double dVolume);
    double GetLocalVolume() const { return m_dLocalVolume.load(std::memory_order_relaxed); }
    // Stops server and capture as destruction does: code 2 when a server
    // thread was running, never code 7. Idempotent.
    void Shutdown();

    // From the streaming threads.
    CPlaybackQueue& Queue() { return m_queue; }
    CPlaybackQueue& WideQueue() { return m_wideQueue; }
    // The sink pad's end of stream: marks the queue ended and returns once
    // the mixer has taken it all (and the wide queue's, ended too, when
    // bWideLinked), or a flush, a state change down or the end of
    // transmission ends the wait; at once while nothing transmits.
    void WaitUntilHeard(bool bWideLinked);
    void EndWide();
    // The sink pad's segment, and how far into it the call has heard.
    void SetSegment(const GstSegment& segment) { m_position.SetSegment(segment); }
    std::int64_t HeardPosition() const { return m_position.StreamTime(); }
    // A flush starts on either pad: ends the waits in progress.
    void AbortWaits() { m_heardWait.Abort(); }
    // From the element's state changes: false from PAUSED to READY on, when
    // no wait may hold the streaming thread any more.
    void SetStreaming(bool bStreaming);

private:
    HRESULT StartCapture();
    void StopCapture();
    void StopOutputs();
    void OnTick();
    std::string EffectiveCaptureSource() const;
    void Notify(int nCode, std::uint32_t nValue) const { m_notify(nCode, nValue); }

    const NotifyFn m_notify; // set at construction, called from any thread
    std::atomic<int> m_nPort;
    CMixLevels m_levels;
    CCallOptions m_callOptions;
    CLevelBoard m_levelBoard;
    CCallStage m_callStage{16000, 1, m_callOptions, &m_levelBoard}; // pacing thread only
    CCallStage m_wideStage{CWideMixer::kRate, CWideMixer::kChannels,
                           m_callOptions}; // pacing thread only
    CPlaybackQueue m_queue;
    CPlaybackQueue m_wideQueue{CWideMixer::kRate, CWideMixer::kChannels};
    CSendRing m_sendRing; // pacing thread, and send ends through the blocks
    CCaptureRing m_captureRing;
    CCaptureRing m_wideCaptureRing{kWideCaptureBytes};
    CTcpServer m_server;
    CMixer m_mixer;                // pacing thread only
    CCaptureReader m_reader;       // pacing thread only
    CWideMixer m_wideMixer;        // pacing thread only
    CCaptureReader m_wideReader;   // pacing thread only
    std::uint32_t m_cbCallFed = 0; // pacing thread only: capture fed to the call this tick
    // Started and stopped by the control operations while no pacing thread
    // runs, and restarted by the pacing thread while it runs (its start and
    // join order the accesses).
    CCapturePipeline m_capture;
    CCaptureKeeper m_captureKeeper; // pacing thread only, but Reset
    CAudioOutput m_mixOutput;       // started and stopped with the capture
    CAudioOutput m_localOutput;     // started and stopped with the capture
    CPacingThread m_pacing;
    CHeardWait m_heardWait;
    CHeardPosition m_position{m_queue};

    // Serialises the control operations against each other.
    std::mutex m_controlMutex;
    bool m_bCapturing = false; // guarded by m_controlMutex
    // Written under m_controlMutex only while no pacing thread runs; read
    // by the pacing thread (its start and join order the accesses).
    bool m_bWideCapture = false;
    // Read by the end-of-stream wait; each change is followed by a wake.
    std::atomic<bool> m_bTransmitting{false}; // written under m_controlMutex
    std::atomic<bool> m_bStreaming{true};     // written by the element's state changes
    std::atomic<double> m_dLocalVolume{1.0};  // written under m_sourceMutex
    mutable std::mutex m_sourceMutex;
    std::string m_strCaptureSource; // guarded by m_sourceMutex
    std::string m_strMixOutput;     // guarded by m_sourceMutex
    std::string m_strLocalOutput;   // guarded by m_sourceMutex
};
