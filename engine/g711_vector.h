// Vector forms of the G.711 block encoders, for x86-64. Each encodes the largest whole number
// of its vector steps from the start of the block and returns how many samples that was; the
// caller encodes the rest.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) || defined(_M_X64)
#define SONARIX_G711_VECTOR 1

size_t EncodeMuLawSse2(const uint8_t* samples, uint8_t* codes, size_t count);
size_t EncodeALawSse2(const uint8_t* samples, uint8_t* codes, size_t count);
size_t EncodeMuLawAvx2(const uint8_t* samples, uint8_t* codes, size_t count);
size_t EncodeALawAvx2(const uint8_t* samples, uint8_t* codes, size_t count);

// True when the processor and the operating system support AVX2.
bool CpuHasAvx2();
#endif
