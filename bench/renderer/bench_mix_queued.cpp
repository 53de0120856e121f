// Cost of MixQueued per output sample: the queue is filled with 16000-byte
// buffers as the resampler delivers them, then mixed empty block by block.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "mixer.h"

int main()
{
    gst_init(nullptr, nullptr);
    constexpr std::size_t kSamplesPerBuffer = 8000;
    constexpr int kBuffersPerRound = 256;
    GstBuffer* pBuffer = gst_buffer_new_allocate(nullptr, kSamplesPerBuffer * 2, nullptr);
    gst_buffer_memset(pBuffer, 0, 0x35, kSamplesPerBuffer * 2);
    std::vector<std::int16_t> mic(kBlockSamples, 1234);

    CPlaybackQueue queue;
    CSendRing ring;
    CMixLevels levels;
    levels.SetBalance(17);
    levels.SetVolume(200);
    CMixer mixer(
        queue, ring, levels, [](SendBlock& block) { block.Release(); }, [](int, std::uint32_t) {});
    SendBlock& block = ring.Block(0);
    std::vector<double> rounds;
    std::int64_t checksum = 0;
    for (int round = 0; round < 40; ++round) {
        for (int i = 0; i < kBuffersPerRound; ++i)
            queue.Push(CBufferPtr(gst_buffer_ref(pBuffer)));
        std::uint64_t nSamples = 0;
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            block.m_nFilled = 0;
            std::uint32_t cbProduced = 0;
            const int result = mixer.MixQueued(block, mic.data(), kBlockBytes, &cbProduced);
            nSamples += cbProduced / 2;
            checksum += block.m_aData[cbProduced / 4];
            if (result != 0)
                break;
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        rounds.push_back(std::chrono::duration<double, std::nano>(elapsed).count() /
                         static_cast<double>(nSamples));
    }
    gst_buffer_unref(pBuffer);
    std::sort(rounds.begin(), rounds.end());
    std::fprintf(stderr, "(checksum %lld)\n", static_cast<long long>(checksum));
    std::printf("mix_queued_ns_per_sample: %.3f ns\n", rounds[rounds.size() / 2]);
    return 0;
}
