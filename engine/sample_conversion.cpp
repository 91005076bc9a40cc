#include "engine/sample_conversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kFrontLeft = 0x1, kFrontRight = 0x2, kFrontCentre = 0x4;
constexpr float kMinus3Db = 0.70710678f;

float Sample(const uint8_t* at, SampleEncoding encoding) {
    switch (encoding) {
    case ENCODING_UINT8:
        return (float(at[0]) - 128.0f) / 128.0f;
    case ENCODING_INT16:
        return float(int16_t(uint16_t(at[0] | at[1] << 8))) / 32768.0f;
    case ENCODING_INT24: {
        const int32_t value =
            int32_t(uint32_t(at[0]) << 8 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 24) >> 8;
        return float(value) / 8388608.0f;
    }
    case ENCODING_INT32: {
        const int32_t value = int32_t(uint32_t(at[0]) | uint32_t(at[1]) << 8 |
                                      uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24);
        return float(double(value) / 2147483648.0);
    }
    case ENCODING_FLOAT32: {
        float value;
        std::memcpy(&value, at, sizeof value);
        return std::isfinite(value) ? value : 0.0f; // a driver's garbage is no sound
    }
    }
    return 0;
}

// The index of a speaker's channel in a frame, or -1 where the stream has none.
int ChannelOf(uint32_t speaker, const StreamFormat& format) {
    if (format.channelMask == 0) { // the usual order: left, right, centre, ...
        const int index = speaker == kFrontLeft ? 0 : speaker == kFrontRight ? 1 : 2;
        return index < format.channels ? index : -1;
    }
    if (!(format.channelMask & speaker))
        return -1;
    uint32_t below = format.channelMask & (speaker - 1);
    int index = 0;
    for (; below; below &= below - 1)
        ++index;
    return index < format.channels ? index : -1;
}

} // namespace

uint32_t StreamFormat::BytesPerSample() const {
    switch (encoding) {
    case ENCODING_UINT8:
        return 1;
    case ENCODING_INT16:
        return 2;
    case ENCODING_INT24:
        return 3;
    case ENCODING_INT32:
    case ENCODING_FLOAT32:
        return 4;
    }
    return 4;
}

void ToFloatFrames(const uint8_t* data, size_t frames, const StreamFormat& format, int outChannels,
                   float* out) {
    const size_t bytes = format.BytesPerSample();
    const size_t align = format.BlockAlign();
    const int channels = format.channels;
    if (outChannels == 1) {
        const float share = 1.0f / float(channels);
        for (size_t f = 0; f < frames; ++f, data += align) {
            float sum = 0;
            for (int c = 0; c < channels; ++c)
                sum += Sample(data + size_t(c) * bytes, format.encoding);
            out[f] = sum * share;
        }
        return;
    }
    if (channels == 1) {
        for (size_t f = 0; f < frames; ++f, data += align)
            out[2 * f] = out[2 * f + 1] = Sample(data, format.encoding);
        return;
    }
    const int left = ChannelOf(kFrontLeft, format);
    const int right = ChannelOf(kFrontRight, format);
    const int centre = channels > 2 ? ChannelOf(kFrontCentre, format) : -1;
    for (size_t f = 0; f < frames; ++f, data += align) {
        const float c =
            centre >= 0 ? kMinus3Db * Sample(data + size_t(centre) * bytes, format.encoding) : 0;
        out[2 * f] = (left >= 0 ? Sample(data + size_t(left) * bytes, format.encoding) : 0) + c;
        out[2 * f + 1] =
            (right >= 0 ? Sample(data + size_t(right) * bytes, format.encoding) : 0) + c;
    }
}

float Quantiser::Next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return float(m_state >> 8) * (1.0f / 16777216.0f);
}

void Quantiser::ToPcm16(const float* in, size_t samples, int16_t* out) {
    for (size_t i = 0; i < samples; ++i) {
        if (in[i] == 0 || !std::isfinite(in[i])) {
            out[i] = 0;
            continue;
        }
        const float dither = Next() - Next();
        const float value = std::floor(in[i] * 32768.0f + dither + 0.5f);
        out[i] = int16_t(value < -32768.0f ? -32768.0f : value > 32767.0f ? 32767.0f : value);
    }
}

void Quantiser::ToPcm8(const float* in, size_t samples, uint8_t* out) {
    for (size_t i = 0; i < samples; ++i) {
        if (in[i] == 0 || !std::isfinite(in[i])) {
            out[i] = 128;
            continue;
        }
        const float dither = Next() - Next();
        const float value = std::floor(in[i] * 128.0f + dither + 0.5f) + 128.0f;
        out[i] = uint8_t(value < 0.0f ? 0.0f : value > 255.0f ? 255.0f : value);
    }
}

void MixSides(const int16_t* near, const float* far, size_t frames, int channels, int bits,
              Quantiser& quantiser, float* scratch, uint8_t* out) {
    constexpr float kScale = 1.0f / 32768.0f;
    if (channels == 2 && bits == 16) {
        int16_t pcm[256];
        for (size_t at = 0; at < frames; at += 256) {
            const size_t n = std::min<size_t>(256, frames - at);
            quantiser.ToPcm16(far + at, n, pcm);
            for (size_t f = 0; f < n; ++f) {
                const int16_t frame[2] = {near[at + f], pcm[f]};
                std::memcpy(out + 4 * (at + f), frame, sizeof frame);
            }
        }
        return;
    }
    if (channels == 2) {
        for (size_t f = 0; f < frames; ++f) {
            scratch[2 * f] = float(near[f]) * kScale;
            scratch[2 * f + 1] = far[f];
        }
    } else {
        for (size_t f = 0; f < frames; ++f)
            scratch[f] = 0.5f * (float(near[f]) * kScale + far[f]);
    }
    const size_t samples = frames * size_t(channels);
    if (bits == 8)
        quantiser.ToPcm8(scratch, samples, out);
    else
        quantiser.ToPcm16(scratch, samples, reinterpret_cast<int16_t*>(out));
}
