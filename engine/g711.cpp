#include "engine/g711.h"

#include "engine/g711_vector.h"

#include <array>

#if defined(SONARIX_G711_VECTOR) && defined(_MSC_VER)
#include <immintrin.h>
#include <intrin.h>
#endif

namespace {

// Position of the highest set bit of i (0 for 0 and 1).
constexpr std::array<uint8_t, 256> MakeExponentTable() {
    std::array<uint8_t, 256> table{};
    for (int i = 2; i < 256; ++i)
        table[i] = static_cast<uint8_t>(table[i / 2] + 1);
    return table;
}
constexpr std::array<uint8_t, 256> kMuLawExponent = MakeExponentTable();

constexpr int16_t kALawSegmentEnd[8] = {0x00FF, 0x01FF, 0x03FF, 0x07FF,
                                        0x0FFF, 0x1FFF, 0x3FFF, 0x7FFF};

// Code of every 16-bit sample, indexed by the sample's bit pattern (uint16_t).
struct CodeTables {
    std::array<uint8_t, 65536> mulaw;
    std::array<uint8_t, 65536> alaw;
    CodeTables() {
        for (int i = 0; i < 65536; ++i) {
            const int sample = static_cast<int16_t>(static_cast<uint16_t>(i));
            mulaw[i] = static_cast<uint8_t>(MuLawFromLinear(sample));
            alaw[i] = static_cast<uint8_t>(ALawFromLinear(sample));
        }
    }
};

// Built during static initialisation, before any recording can start, so the audio path never
// builds or locks anything.
const CodeTables g_codeTables;

template <typename Table>
void EncodeTail(const Table& table, const uint8_t* samples, uint8_t* codes, size_t from,
                size_t count) {
    for (size_t i = from; i < count; ++i)
        codes[i] = table[samples[2 * i] | (samples[2 * i + 1] << 8)];
}

using VectorEncoder = size_t (*)(const uint8_t*, uint8_t*, size_t);

#ifdef SONARIX_G711_VECTOR
// The widest vector form this processor runs, chosen once at start-up.
const bool g_avx2 = CpuHasAvx2();
const VectorEncoder g_vectorMuLaw = g_avx2 ? EncodeMuLawAvx2 : EncodeMuLawSse2;
const VectorEncoder g_vectorALaw = g_avx2 ? EncodeALawAvx2 : EncodeALawSse2;
#else
const VectorEncoder g_vectorMuLaw = nullptr;
const VectorEncoder g_vectorALaw = nullptr;
#endif

template <typename Table>
void EncodeBlock(VectorEncoder vector, const Table& table, const uint8_t* samples, uint8_t* codes,
                 size_t count) {
    const size_t done = vector ? vector(samples, codes, count) : 0;
    EncodeTail(table, samples, codes, done, count);
}

void EncodeMuLawBlock(const uint8_t* samples, uint8_t* codes, size_t count) {
    EncodeBlock(g_vectorMuLaw, g_codeTables.mulaw, samples, codes, count);
}

void EncodeALawBlock(const uint8_t* samples, uint8_t* codes, size_t count) {
    EncodeBlock(g_vectorALaw, g_codeTables.alaw, samples, codes, count);
}

} // namespace

#ifdef SONARIX_G711_VECTOR
bool CpuHasAvx2() {
#ifdef _MSC_VER
    int info[4];
    __cpuid(info, 0);
    if (info[0] < 7)
        return false;
    __cpuid(info, 1);
    const bool osSavesYmm = (info[2] & (1 << 27)) && (_xgetbv(0) & 6) == 6;
    __cpuidex(info, 7, 0);
    return osSavesYmm && (info[1] & (1 << 5));
#else
    __builtin_cpu_init(); // may run before other static constructors
    return __builtin_cpu_supports("avx2");
#endif
}
#endif

int FindSegment(int value, const int16_t* table, int size) {
    for (int i = 0; i < size; ++i) {
        if (value <= table[i])
            return i;
    }
    return size;
}

int MuLawFromLinear(int sample) {
    const int sign = sample < 0 ? 0x80 : 0;
    int magnitude = sample < 0 ? -sample : sample;
    if (magnitude > kMuLawClip)
        magnitude = kMuLawClip;
    magnitude += kMuLawBias;
    const int exponent = kMuLawExponent[(magnitude >> 7) & 0xFF];
    const int mantissa = (magnitude >> (exponent + 3)) & 0x0F;
    const int code = ~(sign | (exponent << 4) | mantissa) & 0xFF;
    return code == 0 ? 0x02 : code;
}

int ALawFromLinear(int sample) {
    int mask;
    int magnitude;
    if (sample >= 0) {
        mask = kALawMaskPositive;
        magnitude = sample;
    } else {
        mask = kALawMaskNegative;
        magnitude = -sample - 8;
        if (magnitude < 0)
            magnitude = 0;
    }
    const int segment = FindSegment(magnitude, kALawSegmentEnd, 8);
    if (segment >= 8)
        return 0x7F ^ mask;
    int value = segment << kALawSegmentShift;
    if (segment < 2)
        value |= (magnitude >> 4) & kALawStepMask;
    else
        value |= (magnitude >> (segment + 3)) & kALawStepMask;
    return (value ^ mask) & 0xFF;
}

// The 16-bit samples are read as little-endian bytes, the host's order.
void EncodeMuLaw(const int16_t* samples, uint8_t* codes, int count) {
    if (count > 0)
        EncodeMuLawBlock(reinterpret_cast<const uint8_t*>(samples), codes, size_t(count));
}

void EncodeALaw(const int16_t* samples, uint8_t* codes, int count) {
    if (count > 0)
        EncodeALawBlock(reinterpret_cast<const uint8_t*>(samples), codes, size_t(count));
}

void EncodeMuLawFromBytes(const uint8_t* samples, uint8_t* codes, size_t count) {
    EncodeMuLawBlock(samples, codes, count);
}

void EncodeALawFromBytes(const uint8_t* samples, uint8_t* codes, size_t count) {
    EncodeALawBlock(samples, codes, count);
}
