// Everything the renderer element does besides being an element: the
// playback queue, the TCP server, the capture, the pacing and the mixing,
// and the control operations that start and stop them.
//
// The path of the file's audio to the call, with the thread of each step:
// 1. Queue (GStreamer's streaming thread): the element's transform pushes a
//    reference to each buffer into the playback queue and passes the buffer
//    on unchanged to the local output. A flush empties the queue; the
//    element holds it while it is not PLAYING.
// 2. Tick (the pacing thread, "callfeed-pacing", every 100 ms): the capture
//    reader takes what the capture pipeline's own thread has written into
//    the capture ring since the previous tick, in up to two regions.
// 3. Mixer (pacing thread): each region goes into the current transmit
//    block, mixed with queued playback when the queue covers it and is not
//    held, otherwise as the microphone alone.
// 4. Ring (pacing thread): a full block is marked not free, the ring moves
//    on to the next of its four blocks, and the block goes to the server.
// 5. Write (the server thread, "callfeed-server"): blocks are written to
//    the client one at a time; when a write ends, or there is no client, the
//    block is released and the pacing thread may fill it again.
// Before step 5 the pacing thread also hands a copy of each full block to
// the mix output, when one is set (the Voxreel microphone); it drops what
// that output cannot take at once.
// The control operations run on the application's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "capture_pipeline.h"
#include "capture_reader.h"
#include "capture_ring.h"
#include "mix_levels.h"
#include "mix_output.h"
#include "mixer.h"
#include "notifier.h"
#include "pacing_thread.h"
#include "playback_queue.h"
#include "send_ring.h"
#include "tcp_server.h"

class CCallfeedEngine {
public:
    static constexpr const char* kDefaultCaptureSource = "autoaudiosrc";
    static constexpr const char* kCaptureSourceVariable = "VOXREEL_CAPTURE_SOURCE";

    explicit CCallfeedEngine(PostFn post);
    ~CCallfeedEngine();
    CCallfeedEngine(const CCallfeedEngine&) = delete;
    CCallfeedEngine& operator=(const CCallfeedEngine&) = delete;

    // Control operations, from the application's thread.
    HRESULT SetPort(int nPort);
    void StorePort(int nPort) { m_nPort.store(nPort, std::memory_order_relaxed); }
    int GetPort() const { return m_nPort.load(std::memory_order_relaxed); }
    void SetNotifyWindow(std::uint64_t nWindow, std::uint32_t nMessage);
    HRESULT StartTransmission();
    HRESULT StopTransmission();
    CMixLevels& Levels() { return m_levels; }
    void SetCaptureSource(std::string strSource);
    std::string GetCaptureSource() const;
    // A local output that also gets every mixed block while transmission
    // runs (gst-launch description; empty: none). Used from the next start.
    void SetMixOutput(std::string strOutput);
    std::string GetMixOutput() const;
    // Stops server and capture as destruction does: code 2 when a server
    // thread was running, never code 7. Idempotent.
    void Shutdown();

    // From the streaming thread.
    CPlaybackQueue& Queue() { return m_queue; }

private:
    HRESULT StartCapture();
    void StopCapture();
    std::string EffectiveCaptureSource() const;
    void Notify(int nCode, std::uint32_t nValue) { m_notifier.Post(nCode, nValue); }

    CNotifier m_notifier;
    std::atomic<int> m_nPort;
    CMixLevels m_levels;
    CPlaybackQueue m_queue;
    CSendRing m_sendRing; // pacing thread, and send ends through the blocks
    CCaptureRing m_captureRing;
    CTcpServer m_server;
    CMixer m_mixer;          // pacing thread only
    CCaptureReader m_reader; // pacing thread only
    CCapturePipeline m_capture;
    CMixOutput m_mixOutput; // started and stopped with the capture
    CPacingThread m_pacing;

    // Serialises the control operations against each other.
    std::mutex m_controlMutex;
    bool m_bCapturing = false; // guarded by m_controlMutex
    mutable std::mutex m_sourceMutex;
    std::string m_strCaptureSource; // guarded by m_sourceMutex
    std::string m_strMixOutput;     // guarded by m_sourceMutex
};
