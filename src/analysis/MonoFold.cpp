#include "analysis/MonoFold.h"

#include "dsp/dspSimd.h"

#include <bit>

#if VIREON_SSE2
#include <emmintrin.h>
#endif

namespace vireon {

namespace {

// The mono sample of one pair: (L + R) / 2, truncated toward zero.
float FoldPair(const unsigned char* Pair) {
    return static_cast<float>((ReadSample(Pair) + ReadSample(Pair + 2)) / 2);
}

bool PairClips(const unsigned char* Pair) {
    return ReadSample(Pair) > LeftClipThreshold || ReadSample(Pair + 2) > RightClipThreshold;
}

} // namespace

std::int32_t ReadSample(const unsigned char* Bytes) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(Bytes[0] | (Bytes[1] << 8)));
}

// With SSE2, four pairs at a time: the pairs' sums in 32 bits, halved toward
// zero by adding 1 to the negative ones before the shift, as FoldPair does;
// the samples are little-endian, as the processor reads them. The last few
// pairs, and every pair without SSE2, go one by one.
bool FoldToMono(const unsigned char* Pairs, std::uint32_t Count, float* Mono) {
    std::uint32_t P = 0;
    bool Clipped = false;
#if VIREON_SSE2
    static_assert(std::endian::native == std::endian::little);
    const __m128i Ones = _mm_set1_epi16(1);
    const __m128i Thresholds = _mm_setr_epi16(
        LeftClipThreshold, RightClipThreshold, LeftClipThreshold, RightClipThreshold,
        LeftClipThreshold, RightClipThreshold, LeftClipThreshold, RightClipThreshold);
    __m128i Over = _mm_setzero_si128();
    for (; P + 4 <= Count; P += 4) {
        const __m128i Samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Pairs + 4 * P));
        const __m128i Sums = _mm_madd_epi16(Samples, Ones);
        const __m128i Halves = _mm_srai_epi32(_mm_add_epi32(Sums, _mm_srli_epi32(Sums, 31)), 1);
        _mm_storeu_ps(Mono + P, _mm_cvtepi32_ps(Halves));
        Over = _mm_or_si128(Over, _mm_cmpgt_epi16(Samples, Thresholds));
    }
    Clipped = _mm_movemask_epi8(Over) != 0;
#endif
    for (; P < Count; ++P) {
        Mono[P] = FoldPair(Pairs + 4 * P);
        Clipped |= PairClips(Pairs + 4 * P);
    }
    return Clipped;
}

} // namespace vireon
