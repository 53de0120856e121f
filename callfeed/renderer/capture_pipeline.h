// The microphone: a small pipeline from a capture source (a gst-launch
// description) through conversion to 16 kHz mono 16-bit samples, written
// into the capture ring as they arrive; with a wide ring, a tee feeds it
// 48 kHz mono samples of the same capture as well. Both rings are written
// by the pipeline's one streaming thread, one after the other.
#pragma once

#include <atomic>
#include <string>

#include "capture_ring.h"
#include "voxreel/gst_handle.h"
#include "voxreel/hresult.h"

class CCapturePipeline {
public:
    CCapturePipeline() = default;
    ~CCapturePipeline() { Stop(); }
    CCapturePipeline(const CCapturePipeline&) = delete;
    CCapturePipeline& operator=(const CCapturePipeline&) = delete;

    // Builds and starts the pipeline; on failure nothing is left running.
    // The rings must outlive the running pipeline; pWideRing may be null.
    HRESULT Start(const std::string& strSource, CCaptureRing& ring, CCaptureRing* pWideRing);
    // Stops and frees the pipeline; no write into the ring follows.
    void Stop();
    bool IsRunning() const { return static_cast<bool>(m_pPipeline); }
    // The first error the running pipeline reported (its sound server gone,
    // its device unplugged): from then on it writes nothing. S_OK before.
    HRESULT Failure() const { return m_hrFailure.load(); }

private:
    HRESULT WaitUntilPlaying();
    static GstBusSyncReply OnBusMessage(GstBus* pBus, GstMessage* pMessage, gpointer pSelf);

    CElementPtr m_pPipeline; // the thread that starts and stops it
    // Set by the pipeline's threads, reset by Start while none runs.
    std::atomic<HRESULT> m_hrFailure{S_OK};
};
