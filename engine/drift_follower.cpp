#include "engine/drift_follower.h"

#include <algorithm>
#include <cstring>

namespace {

// The loop's gains, for a critically damped answer within some ten seconds: a drift the loop
// has not yet taken up moves the sound by less than a hundredth of a second.
constexpr double kNaturalRate = 0.1; // per second
constexpr double kProportional = 2 * kNaturalRate;
constexpr double kIntegral = kNaturalRate * kNaturalRate;

} // namespace

DriftFollower::DriftFollower(uint32_t rate, size_t maxPushFrames)
    : m_rate(rate ? rate : 1), m_capacity(size_t(m_rate) * kCapacityMs / 1000),
      m_target(size_t(m_rate) * kTargetMs / 1000), m_resync(size_t(m_rate) * kResyncMs / 1000),
      m_resampler(maxPushFrames), m_scratch(new float[DriftResampler::MaxOutFrames(maxPushFrames)]),
      m_ring(new float[m_capacity]) {}

void DriftFollower::Reset() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_head = m_size = 0;
    m_resetAsked = true;
    m_playing = false;
    m_ratio = 1;
    m_integral = m_smoothed = 0;
}

void DriftFollower::Push(const float* in, size_t frames) {
    double ratio;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_resetAsked) {
            m_resampler.Reset();
            m_resetAsked = false;
        }
        ratio = m_ratio;
    }
    const size_t made = m_resampler.Process(in, frames, ratio, m_scratch.get());
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_resetAsked)
        return; // a reset came meanwhile: this sound is from before it
    if (m_size + made > m_capacity) {
        const size_t over = std::min(m_size, m_size + made - m_capacity);
        Drop(over);
        m_figures.overflows += over;
    }
    const size_t take = std::min(made, m_capacity - m_size);
    const float* from = m_scratch.get() + (made - take);
    size_t tail = (m_head + m_size) % m_capacity;
    const size_t first = std::min(take, m_capacity - tail);
    std::memcpy(m_ring.get() + tail, from, first * sizeof(float));
    std::memcpy(m_ring.get(), from + first, (take - first) * sizeof(float));
    m_size += take;
    m_figures.pushed += take;
}

void DriftFollower::Drop(size_t frames) {
    m_head = (m_head + frames) % m_capacity;
    m_size -= frames;
}

// Silence until the queue holds the target and half a pull (its oldest beyond that let go, so
// the sound starts at the target's delay); then the queue's frames, and silence for what it lacks
// once it runs dry.
void DriftFollower::Pull(float* out, size_t frames) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_figures.pulled += frames;
    if (!m_playing) {
        if (m_size < m_target + frames / 2) {
            std::fill(out, out + frames, 0.0f);
            return;
        }
        Drop(m_size - (m_target + frames / 2)); // what came since is played from the target on
        m_playing = true;
        m_smoothed = double(m_target);
    }
    const size_t take = std::min(frames, m_size);
    const size_t first = std::min(take, m_capacity - m_head);
    std::memcpy(out, m_ring.get() + m_head, first * sizeof(float));
    std::memcpy(out + first, m_ring.get(), (take - first) * sizeof(float));
    std::fill(out + take, out + frames, 0.0f);
    Drop(take);
    if (take < frames) {
        ++m_figures.underflows;
        m_playing = false;
        return;
    }
    if (m_size > m_target + m_resync) {
        Drop(m_size - m_target);
        ++m_figures.resyncs;
        m_smoothed = double(m_target);
    }
    Control(frames);
}

// The fill measured as its mean over the pull (what is left plus half the pull), smoothed; the
// ratio from its error in seconds, bounded and slewed.
void DriftFollower::Control(size_t frames) {
    const double dt = double(frames) / m_rate;
    const double fill = double(m_size) + double(frames) / 2;
    m_smoothed += (fill - m_smoothed) * std::min(1.0, dt / kSmoothingSeconds);
    const double error = (m_smoothed - double(m_target)) / m_rate;
    m_integral =
        std::min(std::max(m_integral + kIntegral * error * dt, -kMostDeviation), kMostDeviation);
    const double wanted = std::min(
        std::max(1 - (kProportional * error + m_integral), 1 - kMostDeviation), 1 + kMostDeviation);
    const double slew = kMostSlewPerSecond * dt;
    m_ratio += std::min(std::max(wanted - m_ratio, -slew), slew);
}

DriftFollower::Figures DriftFollower::Read() const {
    std::lock_guard<std::mutex> lock(m_lock);
    Figures figures = m_figures;
    figures.ratio = m_ratio;
    figures.fill = m_size;
    return figures;
}
