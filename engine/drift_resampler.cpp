#include "engine/drift_resampler.h"

#include "engine/kaiser_window.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBeta = 8.0; // the Kaiser window's: side lobes some 80 dB down

} // namespace

// Phase p, tap j: the sinc centred between taps kTaps/2 - 1 and kTaps/2, at p / kPhases of the
// way from the first to the second. The row after the last phase is the first moved by a whole
// tap, so interpolating towards it needs no special case.
DriftResampler::DriftResampler(size_t maxInFrames)
    : m_maxIn(maxInFrames), m_table(new float[(kPhases + 1) * kTaps]),
      m_history(new float[kTaps - 1 + maxInFrames]) {
    const double half = double(kTaps) / 2;
    const double window = BesselI0(kBeta);
    for (size_t p = 0; p <= kPhases; ++p) {
        const double fraction = double(p) / kPhases;
        double sum = 0;
        float* row = m_table.get() + p * kTaps;
        for (size_t j = 0; j < kTaps; ++j) {
            const double t = double(j) - (half - 1) - fraction;
            const double sinc = t == 0 ? 1 : std::sin(kPi * t) / (kPi * t);
            const double r = t / half;
            const double kaiser = BesselI0(kBeta * std::sqrt(std::max(0.0, 1 - r * r))) / window;
            row[j] = float(sinc * kaiser);
            sum += sinc * kaiser;
        }
        for (size_t j = 0; j < kTaps; ++j) // unity gain at every phase
            row[j] = float(row[j] / sum);
    }
    Reset();
}

void DriftResampler::Reset() {
    std::fill(m_history.get(), m_history.get() + kTaps - 1, 0.0f);
    m_held = kTaps - 1;
    m_position = 0;
}

// An output at place x = i + f of the history is the dot product of frames i .. i + kTaps - 1
// with the taps for f: the frame i + kTaps/2 - 1 delayed by f.
size_t DriftResampler::Process(const float* in, size_t frames, double ratio, float* out) {
    frames = std::min(frames, m_maxIn);
    ratio = std::min(std::max(ratio, 1 - kMostDeviation), 1 + kMostDeviation);
    std::memcpy(m_history.get() + m_held, in, frames * sizeof(float));
    m_held += frames;
    const double step = 1 / ratio;
    size_t produced = 0;
    while (size_t(m_position) + kTaps <= m_held) {
        const size_t i = size_t(m_position);
        const double phase = (m_position - double(i)) * kPhases;
        const size_t p = std::min(size_t(phase), kPhases - 1);
        const float mix = float(phase - double(p));
        const float* a = m_table.get() + p * kTaps;
        const float* b = a + kTaps;
        const float* x = m_history.get() + i;
        float sumA = 0, sumB = 0;
        for (size_t j = 0; j < kTaps; ++j) {
            sumA += a[j] * x[j];
            sumB += b[j] * x[j];
        }
        out[produced++] = sumA + (sumB - sumA) * mix;
        m_position += step;
    }
    const size_t drop = std::min(size_t(m_position), m_held);
    std::memmove(m_history.get(), m_history.get() + drop, (m_held - drop) * sizeof(float));
    m_held -= drop;
    m_position -= double(drop);
    return produced;
}
