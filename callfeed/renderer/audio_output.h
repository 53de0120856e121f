// A local way out for audio the pacing thread produces: an appsrc pipeline
// into a sink given as a gst-launch description. The renderer has two: the
// Voxreel microphone gets the wide mix, the local output the playback alone.
//
// It never holds back the pacing thread: a push that finds the control
// thread starting or stopping the output is dropped, and the appsrc keeps
// at most cbMaxQueued bytes, dropping the oldest past that, so an output
// that stalls, fails or starts late costs only its own audio. Its first
// failure (at the start or while running) is posted once per start as
// NOTIFY_ERROR with the HRESULT.
//
// Nor does it hold back the control thread: the pipeline's state changes
// run on a thread of each start's own (audio_output_run.h). A start that
// has had audio for kStartLimit without reaching PLAYING is posted once as
// NOTIFY_OUTPUT_NOT_STARTING (the pacing thread's pushes watch for it), and
// a stop waits at most kStopLimit before it leaves a stuck pipeline behind.
//
// Pushes come in 100 ms bursts, and a busy machine delays some of them; a
// sink that plays as soon as it has data would run dry before each late
// one. So the output keeps a lead: it starts with kLead of silence, and
// again whenever the sink must have played out everything pushed (it ran
// dry, or the pushes stopped). A tick late by less than the lead is not
// heard; the lead is the delay it adds.
//
// A live sink plays in real time and never catches up, so whatever piles
// up before it while it starts (or while it stalls) would stay as delay
// for good, and the appsrc, sitting at its limit, would then drop a whole
// tick of audio at the next late tick. So once the backlog passes
// kHighWater, pushes are dropped until the sink has drained it to the lead:
// the stale audio goes at once, in one place, and the output runs with
// room to spare afterwards.
#pragma once

#include <gst/gst.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio_output_run.h"
#include "renderer_callbacks.h"
#include "voxreel/hresult.h"

class CAudioOutput {
public:
    static constexpr std::chrono::milliseconds kLead{80};
    static constexpr std::chrono::milliseconds kHighWater{280};
    static constexpr std::chrono::seconds kStartLimit{3};
    static constexpr std::chrono::milliseconds kStopLimit{500};

    // strCaps: the raw audio caps the pushes carry, nSamplesPerSecond their
    // 16-bit samples per second (all channels).
    CAudioOutput(std::string strCaps, std::uint32_t nSamplesPerSecond, std::uint32_t cbMaxQueued,
                 NotifyFn notify);
    ~CAudioOutput() { Stop(); }
    CAudioOutput(const CAudioOutput&) = delete;
    CAudioOutput& operator=(const CAudioOutput&) = delete;

    // strSink: a gst-launch description, e.g. "pulsesink device=voxreel_mic_sink".
    // From the control thread; returns once the pipeline is built, without
    // waiting for its sink. A failure is posted (and returned when the
    // description does not build).
    HRESULT Start(const std::string& strSink);
    // From the control thread: the pushes end at once and the pipeline goes
    // down on its own thread.
    void BeginStop();
    // Waits for the stops begun, each at most kStopLimit from its beginning;
    // a pipeline still stuck is abandoned to its thread, posting nothing.
    void EndStop();
    void Stop()
    {
        BeginStop();
        EndStop();
    }
    // From the pacing thread; samples as the caps say.
    void Push(const std::int16_t* pSamples, std::size_t nSamples);
    // A linear factor, applied at once and kept for the next start.
    void SetVolume(double dVolume);

private:
    void PushBuffer(GstBuffer* pBuffer);
    // Whether this push goes, by the backlog waiting in the appsrc.
    bool BacklogAllows();
    std::size_t BytesFor(std::chrono::milliseconds time) const
    {
        return std::size_t{m_nSamplesPerSecond} * 2 * static_cast<std::size_t>(time.count()) / 1000;
    }

    const std::string m_strCaps;
    const std::uint32_t m_nSamplesPerSecond;
    const std::uint32_t m_cbMaxQueued;
    NotifyFn m_notify;
    // Held by Start, Stop and SetVolume, never across a wait; Push only
    // tries it.
    std::mutex m_mutex;
    std::shared_ptr<CAudioOutputRun> m_pRun;                  // guarded by m_mutex
    std::vector<std::shared_ptr<CAudioOutputRun>> m_stopping; // guarded by m_mutex
    double m_dVolume = 1.0;                                   // guarded by m_mutex
    // When the sink will have played all that was pushed, were it playing
    // in real time from the first push; guarded by m_mutex.
    std::chrono::steady_clock::time_point m_tPlayedOut{};
    bool m_bDraining = false; // guarded by m_mutex: dropping pushes until the lead is left
};
