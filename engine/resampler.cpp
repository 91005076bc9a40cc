#include "engine/resampler.h"

#include "engine/kaiser_window.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numeric>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr size_t kMostCoefficients = size_t(4) << 20; // 16 MB of floats

// A dot product of n floats, in eight running sums so the compiler may use vector registers.
inline float Dot(const float* a, const float* b, size_t n) {
    float sums[8] = {};
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
        for (int j = 0; j < 8; ++j)
            sums[j] += a[i + j] * b[i + j];
    float sum =
        ((sums[0] + sums[4]) + (sums[1] + sums[5])) + ((sums[2] + sums[6]) + (sums[3] + sums[7]));
    for (; i < n; ++i)
        sum += a[i] * b[i];
    return sum;
}

} // namespace

// Taps per phase, from Kaiser's estimate of the length for the attenuation and the transition
// band (0.1 of the lower Nyquist wide), rounded up to an even number so the filter's centre falls
// on an input sample of phase 0.
bool Resampler::Configure(uint32_t inRate, uint32_t outRate, int channels, size_t maxInFrames) {
    m_phases.reset();
    m_history.reset();
    m_taps = 0;
    if (inRate == 0 || outRate == 0 || channels <= 0 || channels > 8 || maxInFrames == 0)
        return false;
    const uint32_t common = std::gcd(inRate, outRate);
    m_up = outRate / common;
    m_down = inRate / common;
    m_channels = channels;
    m_maxIn = maxInFrames;
    if (m_up != 1 || m_down != 1) {
        const double lower = std::min(inRate, outRate);
        const double transition = (kStopbandEdge - kPassbandEdge) / 2 * lower / inRate;
        const double length = (kStopbandDb - 7.95) / (2.285 * 2 * kPi * transition);
        m_taps = size_t(std::ceil(length / 2)) * 2;
        if (m_taps * m_up > kMostCoefficients)
            return false;
        m_phases.reset(new (std::nothrow) float[m_taps * m_up]);
        if (!m_phases)
            return false;
        Design();
    }
    const size_t keep = m_taps ? m_taps - 1 : 0;
    m_history.reset(new (std::nothrow) float[(keep + m_maxIn) * size_t(m_channels)]);
    m_silence.reset(new (std::nothrow) float[m_maxIn * size_t(m_channels)]());
    if (!m_history || !m_silence) {
        m_phases.reset();
        m_history.reset();
        return false;
    }
    Reset();
    return true;
}

// h[n] = L * 2fc * sinc(2fc (n - c)) * kaiser(n), n = 0 .. TL - 1, centred on c = TL/2, at the
// raised rate L x inRate, with the cut-off fc midway through the transition band. Phase p holds
// the taps h[p + kL], k = T-1 .. 0, so that its dot product with the history runs forwards.
void Resampler::Design() {
    const size_t length = m_taps * m_up;
    const double centre = double(length) / 2;
    const double lower = std::min(m_up, m_down); // the lower rate, in units of the common one
    const double cutoff = (kPassbandEdge + kStopbandEdge) / 4 * lower / (double(m_up) * m_down);
    const double beta = 0.1102 * (kStopbandDb - 8.7);
    const double window = BesselI0(beta);
    for (uint32_t p = 0; p < m_up; ++p) {
        for (size_t k = 0; k < m_taps; ++k) {
            const size_t n = p + k * m_up;
            const double t = double(n) - centre;
            const double x = 2 * cutoff * t;
            const double sinc = t == 0 ? 1 : std::sin(kPi * x) / (kPi * x);
            const double r = t / centre;
            const double kaiser = BesselI0(beta * std::sqrt(std::max(0.0, 1 - r * r))) / window;
            m_phases[p * m_taps + (m_taps - 1 - k)] = float(m_up * 2 * cutoff * sinc * kaiser);
        }
    }
}

void Resampler::Reset() {
    if (!m_history)
        return;
    const size_t keep = m_taps ? m_taps - 1 : 0;
    std::fill(m_history.get(), m_history.get() + (keep + m_maxIn) * size_t(m_channels), 0.0f);
    m_historyFrames = keep; // silence before the stream
    m_next = m_taps / 2;    // the first output is centred on input frame 0
    m_phase = 0;
    m_inFrames = m_outFrames = 0;
}

size_t Resampler::MaxOutFrames(size_t inFrames) const {
    return (inFrames * m_up + m_up - 1) / m_down + 1;
}

// 1. The input, de-interleaved behind the history. 2. Every output whose window lies inside the
// history, each from its phase. 3. What the next window needs kept at the front.
size_t Resampler::Process(const float* in, size_t frames, float* out) {
    if (!m_history)
        return 0;
    frames = std::min(frames, m_maxIn);
    const size_t stride = (m_taps ? m_taps - 1 : 0) + m_maxIn;
    m_inFrames += frames;
    if (m_taps == 0) {
        std::copy(in, in + frames * size_t(m_channels), out);
        m_outFrames += frames;
        return frames;
    }
    for (int c = 0; c < m_channels; ++c) {
        float* history = m_history.get() + size_t(c) * stride + m_historyFrames;
        for (size_t f = 0; f < frames; ++f)
            history[f] = in[f * size_t(m_channels) + size_t(c)];
    }
    m_historyFrames += frames;
    size_t produced = 0;
    while (m_next + m_taps <= m_historyFrames) {
        const float* taps = m_phases.get() + size_t(m_phase) * m_taps;
        for (int c = 0; c < m_channels; ++c)
            out[produced * size_t(m_channels) + size_t(c)] =
                Dot(taps, m_history.get() + size_t(c) * stride + m_next, m_taps);
        ++produced;
        m_phase += m_down;
        m_next += m_phase / m_up;
        m_phase %= m_up;
    }
    const size_t drop = std::min(m_next, m_historyFrames);
    for (int c = 0; c < m_channels; ++c) {
        float* history = m_history.get() + size_t(c) * stride;
        std::memmove(history, history + drop, (m_historyFrames - drop) * sizeof(float));
    }
    m_historyFrames -= drop;
    m_next -= drop;
    m_outFrames += produced;
    return produced;
}

size_t Resampler::Flush(float* out) {
    if (m_taps == 0)
        return 0;
    const uint64_t inFrames = m_inFrames;
    const uint64_t total = (inFrames * m_up + m_down - 1) / m_down;
    const size_t frames = DelayFrames() + 1;
    size_t produced = 0;
    for (size_t at = 0; at < frames; at += m_maxIn) {
        const size_t n = std::min(m_maxIn, frames - at);
        produced += Process(m_silence.get(), n, out + produced * size_t(m_channels));
    }
    m_inFrames = inFrames; // the silence is no part of the stream
    const uint64_t extra = m_outFrames > total ? m_outFrames - total : 0;
    m_outFrames -= extra;
    return produced - size_t(std::min<uint64_t>(extra, produced));
}
