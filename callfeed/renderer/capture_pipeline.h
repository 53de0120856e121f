// The microphone: a small pipeline from a capture source (a gst-launch
// description) through conversion to 16 kHz mono 16-bit samples, written
// into the capture ring as they arrive; with a wide ring, a tee feeds it
// 48 kHz mono samples of the same capture as well. Both rings are written
// by the pipeline's one streaming thread, one after the other.
#pragma once

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

private:
    HRESULT WaitUntilPlaying();

    CElementPtr m_pPipeline; // the controlling thread only
};
