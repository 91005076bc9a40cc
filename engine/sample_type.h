// The sample type of a recording: the index of the sound format dialog's type list and the
// value of the settings key SampleType.
#pragma once

#include <cstdint>

constexpr int SAMPLE_TYPE_PCM8 = 0;  // 8-bit PCM, captured at 8 bits, written unchanged
constexpr int SAMPLE_TYPE_PCM16 = 1; // 16-bit PCM, captured at 16 bits, written unchanged
constexpr int SAMPLE_TYPE_MULAW = 2; // captured at 16 bits, written as G.711 µ-law bytes
constexpr int SAMPLE_TYPE_ALAW = 3;  // captured at 16 bits, written as G.711 A-law bytes

constexpr uint16_t WAVE_FORMAT_TAG_PCM = 1;
constexpr uint16_t WAVE_FORMAT_TAG_ALAW = 6;
constexpr uint16_t WAVE_FORMAT_TAG_MULAW = 7;

constexpr bool IsValidSampleType(int sampleType) {
    return sampleType >= SAMPLE_TYPE_PCM8 && sampleType <= SAMPLE_TYPE_ALAW;
}

// The fields of a WAVEFORMATEX, in its order. The portable code keeps its own copy of the
// structure so that it builds without the Windows headers.
struct WaveFormat {
    uint16_t wFormatTag = 0;
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0;
};

// The format that a file of this recording format declares.
WaveFormat MakeFileFormat(int channels, int samplesPerSec, int sampleType);

// The format in which the input device is opened: PCM, 8 bits for 8-bit PCM and 16 bits for
// every other type (µ-law and A-law are encoded from 16-bit samples).
WaveFormat MakeDeviceFormat(int channels, int samplesPerSec, int sampleType);
