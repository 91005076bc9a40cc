// G.711 block encoders with SSE2, which every x86-64 processor has: 8 samples per vector.
#include "engine/g711.h"
#include "engine/g711_vector.h"

#ifdef SONARIX_G711_VECTOR
#include <emmintrin.h>

namespace {

struct Sse2 {
    using V = __m128i;
    static constexpr size_t kSamples = 8;
    static V Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
    static void StoreBytes(uint8_t* p, V a, V b) {
        _mm_storeu_si128(reinterpret_cast<V*>(p), _mm_packus_epi16(a, b));
    }
    static V Zero() { return _mm_setzero_si128(); }
    static V Set16(int v) { return _mm_set1_epi16(static_cast<short>(v)); }
    static V Add16(V a, V b) { return _mm_add_epi16(a, b); }
    static V Sub16(V a, V b) { return _mm_sub_epi16(a, b); }
    static V SubSat16(V a, V b) { return _mm_subs_epi16(a, b); }
    static V Max16(V a, V b) { return _mm_max_epi16(a, b); }
    static V Min16(V a, V b) { return _mm_min_epi16(a, b); }
    static V Equal16(V a, V b) { return _mm_cmpeq_epi16(a, b); }
    static V Less16(V a, V b) { return _mm_cmplt_epi16(a, b); }
    static V SignMask16(V a) { return _mm_srai_epi16(a, 15); }
    static V ShiftRight16(V a, int n) { return _mm_srli_epi16(a, n); }
    static V And(V a, V b) { return _mm_and_si128(a, b); }
    static V Or(V a, V b) { return _mm_or_si128(a, b); }
    static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
    static V Select(V mask, V a, V b) {
        return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
    }
    static V FloatExponentAndStep(V m) {
        const V lo = _mm_castps_si128(_mm_cvtepi32_ps(_mm_unpacklo_epi16(m, Zero())));
        const V hi = _mm_castps_si128(_mm_cvtepi32_ps(_mm_unpackhi_epi16(m, Zero())));
        return _mm_packs_epi32(_mm_srli_epi32(lo, 19), _mm_srli_epi32(hi, 19));
    }
};

#include "engine/g711_lanes.h"

} // namespace

size_t EncodeMuLawSse2(const uint8_t* samples, uint8_t* codes, size_t count) {
    return EncodeLanes<Sse2, MuLawLanes<Sse2>>(samples, codes, count);
}

size_t EncodeALawSse2(const uint8_t* samples, uint8_t* codes, size_t count) {
    return EncodeLanes<Sse2, ALawLanes<Sse2>>(samples, codes, count);
}

#endif
