// G.711 block encoders with AVX2: 16 samples per vector. Built with AVX2 code generation;
// called only when CpuHasAvx2() says the processor has it.
#include "engine/g711.h"
#include "engine/g711_vector.h"

#ifdef SONARIX_G711_VECTOR
#include <immintrin.h>

namespace {

// 256-bit unpack and pack work within each 128-bit half; the pairs below undo each other, and
// StoreBytes puts the halves back in order.
struct Avx2 {
    using V = __m256i;
    static constexpr size_t kSamples = 16;
    static V Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
    static void StoreBytes(uint8_t* p, V a, V b) {
        const V packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<V*>(p), packed);
    }
    static V Zero() { return _mm256_setzero_si256(); }
    static V Set16(int v) { return _mm256_set1_epi16(static_cast<short>(v)); }
    static V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
    static V Sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
    static V SubSat16(V a, V b) { return _mm256_subs_epi16(a, b); }
    static V Max16(V a, V b) { return _mm256_max_epi16(a, b); }
    static V Min16(V a, V b) { return _mm256_min_epi16(a, b); }
    static V Equal16(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
    static V Less16(V a, V b) { return _mm256_cmpgt_epi16(b, a); }
    static V SignMask16(V a) { return _mm256_srai_epi16(a, 15); }
    static V ShiftRight16(V a, int n) { return _mm256_srli_epi16(a, n); }
    static V And(V a, V b) { return _mm256_and_si256(a, b); }
    static V Or(V a, V b) { return _mm256_or_si256(a, b); }
    static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
    static V Select(V mask, V a, V b) { return _mm256_blendv_epi8(b, a, mask); }
    static V FloatExponentAndStep(V m) {
        const V lo = _mm256_castps_si256(_mm256_cvtepi32_ps(_mm256_unpacklo_epi16(m, Zero())));
        const V hi = _mm256_castps_si256(_mm256_cvtepi32_ps(_mm256_unpackhi_epi16(m, Zero())));
        return _mm256_packs_epi32(_mm256_srli_epi32(lo, 19), _mm256_srli_epi32(hi, 19));
    }
};

#include "engine/g711_lanes.h"

} // namespace

size_t EncodeMuLawAvx2(const uint8_t* samples, uint8_t* codes, size_t count) {
    return EncodeLanes<Avx2, MuLawLanes<Avx2>>(samples, codes, count);
}

size_t EncodeALawAvx2(const uint8_t* samples, uint8_t* codes, size_t count) {
    return EncodeLanes<Avx2, ALawLanes<Avx2>>(samples, codes, count);
}

#endif
