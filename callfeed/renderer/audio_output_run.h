// One start of an audio output: its pipeline, and a thread of its own that
// changes the pipeline's state.
//
// A sink's state change may block for as long as its sound server likes: a
// server that takes the connection and never answers holds a pulsesink in
// its start for libpulse's 30 s time-out, and PipeWire without its session
// manager never starts the stream, so the sink's streaming thread waits and
// the pipeline cannot go down either. So nobody else waits on it: the run's
// thread plays the pipeline, waits until it is asked to stop, and takes the
// pipeline to NULL. An owner that cannot wait any longer for a stop abandons
// the run: its thread finishes on its own whenever the sink lets go (or the
// program ends first), and the run posts nothing from then on.
#pragma once

#include <gst/app/gstappsrc.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "renderer_callbacks.h"
#include "voxreel/gst_handle.h"
#include "voxreel/hresult.h"

class CAudioOutputRun : public std::enable_shared_from_this<CAudioOutputRun> {
public:
    using Clock = std::chrono::steady_clock;

    // pPipeline: built and in NULL, its appsrc named outputsource and its
    // volume outputvolume. Starts the thread; nullptr (after posting the
    // failure) when the pipeline lacks those elements or no thread starts.
    static std::shared_ptr<CAudioOutputRun> Launch(CElementPtr pPipeline, double dVolume,
                                                   NotifyFn notify);
    ~CAudioOutputRun();
    CAudioOutputRun(const CAudioOutputRun&) = delete;
    CAudioOutputRun& operator=(const CAudioOutputRun&) = delete;

    // From the pacing thread. Pushes go to Source() only once TakesPushes().
    bool TakesPushes() const { return m_bTakesPushes.load(std::memory_order_acquire); }
    GstAppSrc* Source() const { return m_pSource; }
    // On each push of audio, taken or not: posts NOTIFY_OUTPUT_NOT_STARTING
    // once when the pipeline has had audio to play for tLimit and has
    // neither reached PLAYING nor failed. (A sink with nothing to play never
    // reaches PLAYING, so the time counts from the first audio.)
    void WatchStart(Clock::time_point now, Clock::duration tLimit);

    // From the owner's thread.
    void SetVolume(double dVolume);
    // The thread takes the pipeline down as soon as its state change in
    // progress, if any, returns; tLimit is what WaitStopped grants it.
    void RequestStop(Clock::duration tLimit);
    // True once the pipeline is in NULL; false when the time granted by
    // RequestStop ran out first.
    bool WaitStopped();
    // Nothing is posted any more; returns once a post in progress is done.
    void Abandon();

private:
    CAudioOutputRun(CElementPtr pPipeline, CElementPtr pSource, CElementPtr pVolume,
                    NotifyFn notify);
    static GstBusSyncReply OnBusMessage(GstBus* pBus, GstMessage* pMessage, gpointer pSelf);
    void Run();
    void Fail(HRESULT hr);
    void Post(int nCode, std::uint32_t nValue);

    // Set before the thread starts; the elements live as long as the run.
    const CElementPtr m_pPipeline;
    const CElementPtr m_pSourceElement;
    const CElementPtr m_pVolume;
    GstAppSrc* const m_pSource;

    std::atomic<bool> m_bTakesPushes{false}; // written by the run's thread
    std::atomic<bool> m_bPlaying{false};     // written from the pipeline's bus
    std::atomic<bool> m_bFailed{false};      // the first failure was posted
    Clock::time_point m_tFirstAudio{};       // pacing thread only
    bool m_bLateReported = false;            // pacing thread only

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bStopWanted = false;     // guarded by m_mutex
    bool m_bStopped = false;        // guarded by m_mutex
    Clock::time_point m_tStopLimit; // guarded by m_mutex

    // Held while posting, so that Abandon waits out a post in progress.
    std::mutex m_notifyMutex;
    NotifyFn m_notify; // guarded by m_notifyMutex; empty once abandoned
};
