#include "capture_keeper.h"

#include <algorithm>
#include <utility>

#include "renderer_debug.h"
#include "voxreel/ids.h"

CCaptureKeeper::CCaptureKeeper(CCapturePipeline& capture, std::function<HRESULT()> restart,
                               NotifyFn notify)
    : m_capture(capture), m_restart(std::move(restart)), m_notify(std::move(notify))
{
}

void CCaptureKeeper::OnTick(CCaptureRing& ring, CCaptureRing* pWideRing)
{
    if (m_capture.IsRunning()) {
        const HRESULT hr = m_capture.Failure();
        if (SUCCEEDED(hr)) {
            KeepWarming(ring, pWideRing);
            return;
        }
        m_capture.Stop();
        if (m_bWarming) {
            // Failed again before it delivered anything: a failed start. The
            // user was told once, and the next try waits longer.
            GST_INFO("capture failed again before delivering (0x%08X)", static_cast<unsigned>(hr));
            m_bWarming = false;
            WaitLonger();
        } else {
            OnFailure(hr);
        }
    }
    FillWithSilence(ring, pWideRing);
    if (--m_nTicksToStart > 0)
        return;
    if (SUCCEEDED(m_restart())) {
        GST_INFO("capture started again, waiting for its first samples");
        m_bWarming = true;
        return;
    }
    WaitLonger();
}

void CCaptureKeeper::OnFailure(HRESULT hr)
{
    GST_WARNING("capture failed while running (0x%08X): silence until it starts again",
                static_cast<unsigned>(hr));
    m_notify(NOTIFY_CAPTURE_ERROR, static_cast<std::uint32_t>(hr));
    m_down = std::chrono::steady_clock::now();
    m_nSilentSamples = 0;
    m_nStartTicks = m_nTicksToStart = kFirstStartTicks;
}

// A capture started again may take a while to deliver its first samples (a
// sound server that has just started): silence until then. It counts as
// running again, and is reported so, once it delivers.
void CCaptureKeeper::KeepWarming(CCaptureRing& ring, CCaptureRing* pWideRing)
{
    if (!m_bWarming)
        return;
    if (!HasWritten(ring)) {
        FillWithSilence(ring, pWideRing);
        return;
    }
    m_bWarming = false;
    GST_INFO("capture running again");
    m_notify(NOTIFY_CAPTURE_STARTED, 0);
}

void CCaptureKeeper::WaitLonger()
{
    m_nStartTicks = m_nTicksToStart = std::min(2 * m_nStartTicks, kLongestStartTicks);
}

// True when the capture wrote into the ring since the last silence.
bool CCaptureKeeper::HasWritten(CCaptureRing& ring) const
{
    std::uint32_t nPosition = 0;
    ring.GetCurrentPosition(&nPosition);
    return nPosition != m_nSilenceEnd;
}

// Counted from the failure, so late ticks neither lose nor add time.
void CCaptureKeeper::FillWithSilence(CCaptureRing& ring, CCaptureRing* pWideRing)
{
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - m_down);
    const std::uint64_t nDue =
        static_cast<std::uint64_t>(elapsed.count()) * kCallCaptureRate / 1000000;
    const std::uint64_t nSamples = nDue - std::min(nDue, m_nSilentSamples);
    m_nSilentSamples = std::max(nDue, m_nSilentSamples);
    const auto write = [&](CCaptureRing& target, std::uint64_t cbWanted) {
        const std::size_t cb =
            static_cast<std::size_t>(std::min<std::uint64_t>(cbWanted, target.Capacity()));
        m_zeros.resize(std::max(m_zeros.size(), cb));
        target.Write(m_zeros.data(), cb);
    };
    write(ring, 2 * nSamples);
    if (pWideRing != nullptr)
        write(*pWideRing, 2 * std::uint64_t{kWideSamplesPerCallSample} * nSamples);
    ring.GetCurrentPosition(&m_nSilenceEnd);
}
