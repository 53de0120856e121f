// A second way out for the mixed stream: every block the port gets is also
// played into a local output (the Voxreel microphone's sink), whether or not
// a client is on the port. It never blocks the pacing thread: a block the
// output cannot take at once is dropped, and an output that fails or stalls
// costs only its own blocks.
#pragma once

#include <gst/app/gstappsrc.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "voxreel/gst_handle.h"
#include "voxreel/hresult.h"

class CMixOutput {
public:
    CMixOutput() = default;
    ~CMixOutput() { Stop(); }
    CMixOutput(const CMixOutput&) = delete;
    CMixOutput& operator=(const CMixOutput&) = delete;

    // strSink: a gst-launch description of the output, e.g.
    // "pulsesink device=voxreel_mic_sink". From the control thread.
    HRESULT Start(const std::string& strSink);
    void Stop();
    // 16 kHz mono S16LE samples; from the pacing thread.
    void Push(const std::int16_t* pSamples, std::uint32_t nSamples);

private:
    // Held by Stop and Start; Push only tries it, and drops the block when
    // the control thread has it.
    std::mutex m_mutex;
    CElementPtr m_pPipeline;        // guarded by m_mutex
    GstAppSrc* m_pSource = nullptr; // guarded by m_mutex; owned by m_pPipeline
};
