// Conversion of a stream of float samples from one rate to another: a polyphase windowed-sinc
// filter (a Kaiser window) at the exact ratio of the two rates, in lowest terms L/M. Conceptually
// the input is raised L times, filtered, and every M-th sample kept; the filter's L phases are
// computed once, so an output sample costs one dot product of the taps of its phase.
//
// The filter passes everything up to 0.9 of the lower rate's Nyquist frequency within 0.001 dB,
// and keeps whatever would alias or image at least 100 dB down from that Nyquist frequency on
// (its transition band lies between the two). Its delay is compensated: an impulse at input
// time t comes out at output time t, to the nearest output sample. Equal rates are copied.
//
// Not thread-safe: one thread feeds it. Configure allocates; Process and Flush never do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class Resampler {
public:
    // The filter's quality, for the benchmark and the tests: attenuation from the stopband edge
    // on (dB), and the passband's edge and the stopband's, as fractions of the lower Nyquist.
    static constexpr double kStopbandDb = 100.0;
    static constexpr double kPassbandEdge = 0.90;
    static constexpr double kStopbandEdge = 1.00;

    // The rates (Hz) and the interleaved channels; allocates the filter and a history for
    // chunks of up to maxInFrames input frames. False (nothing allocated) for a rate of 0, a
    // channel count of 0 or more than 8, or rates whose filter would take more than 16 MB.
    bool Configure(uint32_t inRate, uint32_t outRate, int channels, size_t maxInFrames);
    // The stream starts anew: the history is silence, and the next input frame is time 0.
    void Reset();

    // Takes up to maxInFrames interleaved input frames, writes the output frames they complete
    // to out (room for MaxOutFrames(frames) frames) and returns how many.
    size_t Process(const float* in, size_t frames, float* out);
    // The most output frames Process gives for this many input frames.
    size_t MaxOutFrames(size_t inFrames) const;
    // Feeds silence for the filter's delay, so that the output of every input so far comes out
    // (the end of a file; a live stream never needs it): the stream then holds ceil(input frames
    // x outRate / inRate) output frames in all. Returns the frames written to out (room for
    // MaxOutFrames(DelayFrames() + 1)).
    size_t Flush(float* out);
    // Input frames the filter holds back before an input frame's output can be computed.
    size_t DelayFrames() const { return m_taps / 2; }
    // Multiply-adds of one output frame (per channel): the filter's taps per phase.
    size_t TapsPerPhase() const { return m_taps; }
    uint32_t Up() const { return m_up; }
    uint32_t Down() const { return m_down; }

private:
    void Design();

    uint32_t m_up = 1, m_down = 1; // L and M
    int m_channels = 0;
    size_t m_taps = 0; // T, even; 0 when copying
    size_t m_maxIn = 0;
    std::unique_ptr<float[]> m_phases;        // L x T coefficients, each phase in input order
    std::unique_ptr<float[]> m_history;       // per channel: T - 1 + maxIn samples, planar
    std::unique_ptr<float[]> m_silence;       // maxIn frames of it, for Flush
    size_t m_historyFrames = 0;               // frames held (planar, per channel)
    size_t m_next = 0;                        // where the next output's window starts
    uint32_t m_phase = 0;                     // ...and its phase
    uint64_t m_inFrames = 0, m_outFrames = 0; // since the stream started
};
