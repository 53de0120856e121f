// The transmit ring: four blocks of 2048 samples through which all audio
// leaves the renderer. The pacing thread fills the current block; a full
// block is handed to the network and comes back free when its send is over.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

constexpr std::uint32_t kBlockSamples = 2048;
constexpr std::uint32_t kBlockBytes = kBlockSamples * 2;
constexpr int kBlockCount = 4;

struct SendBlock {
    // True: the pacing thread may fill the block. False: it is with the
    // network. Set to false by the pacing thread, back to true (release)
    // by whoever ends the send; the pacing thread reads it with acquire.
    std::atomic<bool> m_bFree{true};
    // Samples in m_aData. Written by the pacing thread while free, and set
    // to 0 by the send's end before m_bFree is released.
    std::uint32_t m_nFilled = 0;
    alignas(64) std::array<std::int16_t, kBlockSamples> m_aData{};

    // Ends a send, whatever its outcome: the block may be filled again.
    void Release()
    {
        m_nFilled = 0;
        m_bFree.store(true, std::memory_order_release);
    }
    bool IsFree() const { return m_bFree.load(std::memory_order_acquire); }
};

// Touched by the pacing thread only, apart from the blocks' send ends.
class CSendRing {
public:
    // Starts filling at block 0 again. A block still with the network keeps
    // its state; its send's end frees it.
    void Reset();

    SendBlock& Current() { return m_aBlocks[static_cast<std::size_t>(m_nCurrent)]; }
    void Advance() { m_nCurrent = (m_nCurrent + 1) % kBlockCount; }
    SendBlock& Block(int i) { return m_aBlocks[static_cast<std::size_t>(i)]; }
    bool AllFree() const;

private:
    std::array<SendBlock, kBlockCount> m_aBlocks;
    int m_nCurrent = 0; // pacing thread only
};
