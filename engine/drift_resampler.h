// Conversion of a mono float stream by a ratio close to 1 that may change from one call to the
// next: the two sides of one recording, each on its own device's clock, brought onto one. Each
// output sample is interpolated at its fractional place in the input by a Kaiser-windowed sinc of
// kTaps taps, from a table of kPhases phases, linearly interpolated between the two nearest. It
// passes what a recording holds (up to 0.44 of the rate) within 80 dB of exact, and its delay is
// kTaps / 2 input frames whatever the ratio.
//
// Not thread-safe: one thread feeds it. Construction allocates; Process never does.
#pragma once

#include <cstddef>
#include <memory>

class DriftResampler {
public:
    static constexpr size_t kTaps = 48;
    static constexpr size_t kPhases = 256;
    // The ratio (output frames per input frame) is kept within 1 +/- this.
    static constexpr double kMostDeviation = 0.01;

    // For chunks of up to maxInFrames.
    explicit DriftResampler(size_t maxInFrames);
    // The stream starts anew: the history is silence.
    void Reset();
    // Takes up to maxInFrames input frames, converted at this ratio, and writes the output frames
    // they complete to out (room for MaxOutFrames(frames)); returns how many.
    size_t Process(const float* in, size_t frames, double ratio, float* out);
    static size_t MaxOutFrames(size_t inFrames) {
        return size_t(double(inFrames) * (1 + kMostDeviation)) + 2;
    }

private:
    const size_t m_maxIn;
    std::unique_ptr<float[]> m_table;   // (kPhases + 1) x kTaps: phase p delays by p / kPhases
    std::unique_ptr<float[]> m_history; // kTaps - 1 + maxIn frames
    size_t m_held = 0;                  // frames in the history
    double m_position = 0;              // the next output's place, in frames of the history
};
