#include "engine/recording_format.h"

namespace {

WaveFormat MakeFormat(uint16_t tag, int channels, int samplesPerSec, uint16_t bits) {
    WaveFormat wfx;
    wfx.wFormatTag = tag;
    wfx.nChannels = static_cast<uint16_t>(channels);
    wfx.nSamplesPerSec = static_cast<uint32_t>(samplesPerSec);
    wfx.wBitsPerSample = bits;
    wfx.nBlockAlign = static_cast<uint16_t>(bits * wfx.nChannels / 8);
    wfx.nAvgBytesPerSec = wfx.nBlockAlign * wfx.nSamplesPerSec;
    wfx.cbSize = 0;
    return wfx;
}

} // namespace

WaveFormat MakeFileFormat(int channels, int samplesPerSec, int sampleType) {
    switch (sampleType) {
    case SAMPLE_TYPE_PCM16:
        return MakeFormat(WAVE_FORMAT_TAG_PCM, channels, samplesPerSec, 16);
    case SAMPLE_TYPE_MULAW:
        return MakeFormat(WAVE_FORMAT_TAG_MULAW, channels, samplesPerSec, 8);
    case SAMPLE_TYPE_ALAW:
        return MakeFormat(WAVE_FORMAT_TAG_ALAW, channels, samplesPerSec, 8);
    case SAMPLE_TYPE_PCM8:
        return MakeFormat(WAVE_FORMAT_TAG_PCM, channels, samplesPerSec, 8);
    default:
        return MakeFormat(0, channels, samplesPerSec, 8);
    }
}

WaveFormat MakeDeviceFormat(int channels, int samplesPerSec, int sampleType) {
    const uint16_t bits = sampleType == SAMPLE_TYPE_PCM8 ? 8 : 16;
    return MakeFormat(WAVE_FORMAT_TAG_PCM, channels, samplesPerSec, bits);
}
