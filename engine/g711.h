// G.711 encoders: signed 16-bit linear PCM to 8-bit µ-law and A-law codes.
//
// MuLawFromLinear and ALawFromLinear are the reference algorithms, one sample at a time. The
// block encoders give the same codes faster: sixteen samples at a time with AVX2 where the
// processor has it, eight with SSE2 (every x86-64 processor has it), and the rest from a
// 65536-entry table built from the reference algorithms when the program starts. All functions
// are pure and may run on any thread at once.
#pragma once

#include <cstddef>
#include <cstdint>

// µ-law: bias added to the magnitude, and the magnitude at which it is clipped.
constexpr int kMuLawBias = 0x84;
constexpr int kMuLawClip = 32635;
// A-law: the code of a non-negative sample is XORed with 0xD5, of a negative one with 0x55.
constexpr int kALawMaskPositive = 0xD5;
constexpr int kALawMaskNegative = 0x55;
constexpr int kALawSegmentShift = 4;
constexpr int kALawStepMask = 0x0F;

// Returns the index of the first table entry that is >= value, or size when there is none.
int FindSegment(int value, const int16_t* table, int size);

int MuLawFromLinear(int sample);
int ALawFromLinear(int sample);

// codes[i] = code of samples[i] for i in 0..count-1; a count of 0 or less writes nothing.
void EncodeMuLaw(const int16_t* samples, uint8_t* codes, int count);
void EncodeALaw(const int16_t* samples, uint8_t* codes, int count);

// The same from little-endian 16-bit samples given as bytes (2 × count bytes, any alignment),
// as a capture buffer holds them.
void EncodeMuLawFromBytes(const uint8_t* samples, uint8_t* codes, size_t count);
void EncodeALawFromBytes(const uint8_t* samples, uint8_t* codes, size_t count);
