// What the call's two mixes do beyond the mix law: the limiter after it, and
// talk-over (the playback lowered while the microphone carries speech).
// Written by the control thread, read by the pacing thread as it mixes; a
// value a tick stale is fine, so relaxed ordering is enough.
#pragma once

#include <algorithm>
#include <atomic>

class CCallOptions {
public:
    static constexpr double kDefaultTalkOverDepthDb = 12.0;
    static constexpr double kMaxTalkOverDepthDb = 40.0;

    void SetLimiter(bool bOn) { m_bLimiter.store(bOn, std::memory_order_relaxed); }
    bool Limiter() const { return m_bLimiter.load(std::memory_order_relaxed); }
    void SetTalkOver(bool bOn) { m_bTalkOver.store(bOn, std::memory_order_relaxed); }
    bool TalkOver() const { return m_bTalkOver.load(std::memory_order_relaxed); }
    void SetTalkOverDepthDb(double dDepth)
    {
        m_dDepthDb.store(std::clamp(dDepth, 0.0, kMaxTalkOverDepthDb), std::memory_order_relaxed);
    }
    double TalkOverDepthDb() const { return m_dDepthDb.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> m_bLimiter{false};
    std::atomic<bool> m_bTalkOver{false};
    std::atomic<double> m_dDepthDb{kDefaultTalkOverDepthDb};
};
