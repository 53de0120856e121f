// Balance and volume of the transmitted mix: written by the control thread,
// read once per mixing call by the pacing thread. A value one tick stale is
// fine, so relaxed ordering is enough.
#pragma once

#include <algorithm>
#include <atomic>

#include "mix_law.h"

class CMixLevels {
public:
    void SetBalance(int b)
    {
        m_nBalance.store(std::clamp(b, kMinBalance, kMaxBalance), std::memory_order_relaxed);
    }
    void SetVolume(int v)
    {
        m_nVolume.store(std::clamp(v, kMinVolume, kMaxVolume), std::memory_order_relaxed);
    }
    int Balance() const { return m_nBalance.load(std::memory_order_relaxed); }
    int Volume() const { return m_nVolume.load(std::memory_order_relaxed); }

private:
    std::atomic<int> m_nBalance{0};
    std::atomic<int> m_nVolume{kMaxVolume};
};
