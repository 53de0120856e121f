#include "mix_law.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// SSE2 has no 32-bit lane multiply, so a compiler-vectorised form of the law
// spends most of its time emulating one. Both products of the law fit the
// 16 x 16 -> 32 bit multiply-add (pmaddwd): the weights are at most 255, and
// the weighted sum shifted right by 8 fits 16 bits again. Eight samples per
// step, bit-exact with MixSample.
std::uint32_t MixEight(std::int16_t* pOut, const std::int16_t* pPlayback, const std::int16_t* pMic,
                       std::uint32_t cnt, int b, int v)
{
#if defined(__SSE2__)
    const __m128i weights = _mm_set1_epi32(static_cast<int>(
        static_cast<std::uint32_t>(128 - b) << 16 | static_cast<std::uint32_t>(b + 127)));
    const __m128i volume = _mm_set1_epi32(v); // pairs (v, 0)
    const __m128i zero = _mm_setzero_si128();
    std::uint32_t i = 0;
    for (; i + 8 <= cnt; i += 8) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pPlayback + i));
        const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pMic + i));
        const __m128i low = _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(p, m), weights), 8);
        const __m128i high = _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(p, m), weights), 8);
        const __m128i mixed = _mm_packs_epi32(low, high);
        const __m128i outLow =
            _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(mixed, zero), volume), 8);
        const __m128i outHigh =
            _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(mixed, zero), volume), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut + i), _mm_packs_epi32(outLow, outHigh));
    }
    return i;
#else
    (void)pOut, (void)pPlayback, (void)pMic, (void)cnt, (void)b, (void)v;
    return 0;
#endif
}

} // namespace

void MixSamples(std::int16_t* pOut, const std::uint8_t* pPlayback, const std::int16_t* pMic,
                std::uint32_t cnt, int b, int v)
{
    std::uint32_t i = 0;
    if (reinterpret_cast<std::uintptr_t>(pPlayback) % alignof(std::int16_t) == 0)
        i = MixEight(pOut, reinterpret_cast<const std::int16_t*>(pPlayback), pMic, cnt, b, v);
    // The rest, and a buffer whose data starts at an odd address, bytewise.
    for (; i < cnt; ++i) {
        std::int16_t p;
        std::memcpy(&p, pPlayback + 2 * i, sizeof p);
        pOut[i] = MixSample(p, pMic[i], b, v);
    }
}
