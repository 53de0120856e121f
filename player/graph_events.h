// The pipeline bus as the player sees it: a sync handler that runs on
// GStreamer's threads queues completion, errors and the renderer's
// notifications in the order they were posted, wakes whoever delivers them
// when the queue was empty, and records the end of a preroll for Open. An
// error's text is its reason in the user's words; a missing decoder reported
// before it is named there. Everything else is dropped, so the bus never
// fills up.
#pragma once

#include <gst/gst.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "failure_reason.h"
#include "voxreel/hresult.h"

struct CGraphEvent {
    enum class Kind { Complete, ErrorAbort, RendererNotice, Opened };
    Kind m_kind = Kind::Complete;
    HRESULT m_hr = S_OK;
    std::string m_strText;       // for errors, why the file failed (FailureReason)
    std::uint64_t m_nSerial = 0; // order of arrival
    // An error that names no cause ("general stream error", a failed state
    // change): a bin's echo of an error its element reports, possibly later.
    bool m_bGeneric = false;
    int m_nCode = 0; // for notices, the renderer's code and value
    std::uint32_t m_nValue = 0;
    std::uint64_t m_nOpening = 0; // for an opening's end, which opening it was
};

class CGraphEvents : public std::enable_shared_from_this<CGraphEvents> {
public:
    // Installs the handler on the pipeline's bus; Detach removes it. The
    // handler keeps this object alive while it may still run.
    void Attach(GstElement* pPipeline);
    static void Detach(GstElement* pPipeline);
    // Called, under the queue's lock, whenever an event arrives; may come
    // from any thread. Empty: nobody is woken.
    void SetWake(std::function<void()> wake);

    // The first queued event; with bHoldPlayback, the first notice or end of
    // an opening, and completions and errors stay queued (an opening under
    // way takes its own errors, and whatever else waits for it to end).
    std::optional<CGraphEvent> PopEvent(bool bHoldPlayback = false);
    // The end of an opening that ran on another thread: hr, and its reason
    // in the user's words when it failed.
    void QueueOpened(std::uint64_t nOpening, HRESULT hr, std::string strReason);
    // Serial that the next queued event will get.
    std::uint64_t NextSerial();
    // Removes every completion and error queued at or after nSerial (they
    // belong to an operation that failed; the renderer's notices stay) and
    // returns the first error among them that names a cause, else the first
    // error.
    std::optional<CGraphEvent> TakeErrorsSince(std::uint64_t nSerial);
    // Forgets an earlier preroll, so that WaitPreroll waits for a new one,
    // and the decoders found missing so far; errors from now on name
    // strFileName.
    void ResetForFile(std::string strFileName);
    // Waits until the pipeline prerolled (S_OK), an error was queued at or
    // after nSerial (its code; the errors are taken out of the queue and the
    // one TakeErrorsSince picks is stored in *pError) or the time is up
    // (VFW_E_TIMEOUT).
    HRESULT WaitPreroll(std::uint64_t nSerial, std::chrono::milliseconds timeout,
                        std::optional<CGraphEvent>* pError);

private:
    static GstBusSyncReply OnSyncMessage(GstBus* pBus, GstMessage* pMessage, gpointer pData);
    void Handle(GstMessage* pMessage);
    void Queue(CGraphEvent event);
    std::string ReasonFor(const GError* pError);

    std::mutex m_mutex;
    std::condition_variable m_changed;       // signalled on a queued event or preroll
    std::deque<CGraphEvent> m_events;        // guarded by m_mutex
    std::uint64_t m_nNextSerial = 0;         // guarded by m_mutex
    bool m_bPrerolled = false;               // guarded by m_mutex
    std::string m_strFileName;               // guarded by m_mutex
    std::optional<MissingDecoder> m_missing; // guarded by m_mutex; the last one reported
    std::function<void()> m_wake;            // guarded by m_mutex
};
