// Sound from a device's own format into the recording's: samples of any common encoding and any
// channel count read as float frames of one or two channels, and float samples quantised to the
// recording's 16-bit or 8-bit PCM with dither. Full scale is 1.0.
#pragma once

#include <cstddef>
#include <cstdint>

enum SampleEncoding {
    ENCODING_UINT8,   // 8-bit unsigned PCM
    ENCODING_INT16,   // 16-bit signed PCM
    ENCODING_INT24,   // 24-bit signed PCM, packed in three bytes
    ENCODING_INT32,   // 32-bit containers of signed PCM (24 valid bits or 32)
    ENCODING_FLOAT32, // IEEE float
};

// A device's stream, as its format describes it.
struct StreamFormat {
    uint32_t rate = 0;
    uint16_t channels = 0;
    SampleEncoding encoding = ENCODING_FLOAT32;
    // The speakers of the channels, in order (the WAVEFORMATEXTENSIBLE mask); 0: not said, the
    // first two channels then being the front pair and the third the centre.
    uint32_t channelMask = 0;

    uint32_t BytesPerSample() const;
    uint32_t BlockAlign() const { return BytesPerSample() * channels; }
    bool IsUsable() const { return rate > 0 && channels > 0 && channels <= 32; }
};

// Reads frames of the stream into interleaved float frames of outChannels (1 or 2). Mono is the
// mean of every channel. Stereo is a mono stream's one channel twice, a stereo stream as it is,
// and from more channels the front pair, each with the centre added at -3 dB (what a film's
// dialogue is on); the other channels are left out.
void ToFloatFrames(const uint8_t* data, size_t frames, const StreamFormat& format, int outChannels,
                   float* out);

// The two sides of a call in one recording's frames: near (the microphone's 16-bit samples) and
// far (what the computer plays, float). Stereo: near left, far right; mono: each at half (-6 dB),
// summed. Written as 16-bit or 8-bit PCM (bits) to out; scratch has room for frames x channels
// floats. The microphone's samples pass unchanged where they keep a 16-bit channel of their own.
class Quantiser;
void MixSides(const int16_t* near, const float* far, size_t frames, int channels, int bits,
              Quantiser& quantiser, float* scratch, uint8_t* out);

// Float samples to PCM, with triangular dither of one step at either side, so the quiet end of a
// fading sound turns to noise instead of distortion. Digital silence (exactly 0) stays silence.
// Samples beyond full scale are clipped.
class Quantiser {
public:
    explicit Quantiser(uint32_t seed = 0x5EED1234) : m_state(seed | 1) {}
    void ToPcm16(const float* in, size_t samples, int16_t* out);
    void ToPcm8(const float* in, size_t samples, uint8_t* out);

private:
    // A uniform number in [0, 1) from a 32-bit xorshift.
    float Next();
    uint32_t m_state;
};
