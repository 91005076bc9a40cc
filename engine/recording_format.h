// The recording format: channel count, sampling rate and sample type, as the sound format
// dialog offers them, the settings file keeps them, and the capture and the WAV writer take
// them. Everything that knows which formats exist asks here.
#pragma once

#include <cstddef>
#include <cstdint>

// The sample type: the index of the sound format dialog's type list and the value of the
// settings key SampleType.
constexpr int SAMPLE_TYPE_PCM8 = 0;  // 8-bit PCM, captured at 8 bits, written unchanged
constexpr int SAMPLE_TYPE_PCM16 = 1; // 16-bit PCM, captured at 16 bits, written unchanged
constexpr int SAMPLE_TYPE_MULAW = 2; // captured at 16 bits, written as G.711 µ-law bytes
constexpr int SAMPLE_TYPE_ALAW = 3;  // captured at 16 bits, written as G.711 A-law bytes
constexpr int kSampleTypeCount = 4;

// The type list's texts, in list order: the index is the sample type.
constexpr const wchar_t* kSampleTypeTexts[kSampleTypeCount] = {L"8bit PCM", L"16bit PCM",
                                                               L"G.711 u-Law", L"G.711 A-Law"};

// The rates offered, with the rate list's texts, in list order.
struct SamplingRate {
    int hz;
    const wchar_t* text;
};
constexpr SamplingRate kSamplingRates[] = {
    {8000, L" 8000Hz"},  {11025, L"11025Hz"}, {12000, L"12000Hz"},
    {16000, L"16000Hz"}, {22050, L"22050Hz"}, {24000, L"24000Hz"},
    {32000, L"32000Hz"}, {44100, L"44100Hz"}, {48000, L"48000Hz"},
};
constexpr int kSamplingRateCount = int(sizeof kSamplingRates / sizeof kSamplingRates[0]);

// Mono and stereo.
constexpr int kMinChannels = 1;
constexpr int kMaxChannels = 2;

constexpr bool IsValidSampleType(int sampleType) {
    return sampleType >= SAMPLE_TYPE_PCM8 && sampleType < kSampleTypeCount;
}

constexpr bool IsValidChannelCount(int channels) {
    return channels >= kMinChannels && channels <= kMaxChannels;
}

// The rate's place in the rate list, or -1 when it is not offered.
constexpr int RateIndex(int hz) {
    for (int i = 0; i < kSamplingRateCount; ++i)
        if (kSamplingRates[i].hz == hz)
            return i;
    return -1;
}

constexpr bool IsOfferedRate(int hz) {
    return RateIndex(hz) >= 0;
}

// Whether a recording can be made in this format: what the capture and the writer accept.
constexpr bool IsRecordableFormat(int channels, int samplesPerSec, int sampleType) {
    return IsValidChannelCount(channels) && IsOfferedRate(samplesPerSec) &&
           IsValidSampleType(sampleType);
}

constexpr uint16_t WAVE_FORMAT_TAG_PCM = 1;
constexpr uint16_t WAVE_FORMAT_TAG_ALAW = 6;
constexpr uint16_t WAVE_FORMAT_TAG_MULAW = 7;

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
