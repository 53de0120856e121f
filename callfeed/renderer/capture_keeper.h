// Keeps the microphone's pace when its capture fails while it runs (the
// sound server gone or restarted, the device unplugged). The pace of the
// port comes from what is captured: without this the port would stop, the
// call would hear nothing more, and the file would stall. The failure is
// reported, the rings get silence at the capture's rate in its place, and
// the capture is started again until it runs and delivers: after 1 s, then
// twice as long after each failed start, up to 30 s. A start that fails
// before it delivers is a failed start: the user is told of the failure
// once, and of the capture running again once it delivers. (Each failed
// start of a capture from a sound server that is not there costs a thread
// that libpulse never ends, so the tries must stay few in a long outage.)
// The pacing thread only, while it runs; Reset while none runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "capture_pipeline.h"
#include "capture_ring.h"
#include "renderer_callbacks.h"

class CCaptureKeeper {
public:
    // restart starts the capture again into the same rings.
    CCaptureKeeper(CCapturePipeline& capture, std::function<HRESULT()> restart, NotifyFn notify);

    void Reset() { m_bWarming = false; }
    // Before the tick reads the rings; pWideRing may be null.
    void OnTick(CCaptureRing& ring, CCaptureRing* pWideRing);

    static constexpr int kFirstStartTicks = 10;
    static constexpr int kLongestStartTicks = 300;

private:
    void OnFailure(HRESULT hr);
    void KeepWarming(CCaptureRing& ring, CCaptureRing* pWideRing);
    void WaitLonger();
    void FillWithSilence(CCaptureRing& ring, CCaptureRing* pWideRing);
    bool HasWritten(CCaptureRing& ring) const;

    CCapturePipeline& m_capture;
    const std::function<HRESULT()> m_restart;
    const NotifyFn m_notify;
    std::chrono::steady_clock::time_point m_down; // when the failure was seen
    std::uint64_t m_nSilentSamples = 0;           // 16 kHz samples of silence written since
    int m_nTicksToStart = 0;                      // until the next start
    int m_nStartTicks = 0;                        // between the last two starts
    bool m_bWarming = false;                      // started again, nothing captured yet
    std::uint32_t m_nSilenceEnd = 0; // the call ring's write position after the last silence
    std::vector<std::uint8_t> m_zeros;
};
