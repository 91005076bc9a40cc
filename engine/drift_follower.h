// DriftFollower: the sound of one device brought onto another device's clock. Two devices run
// on two crystals that differ by up to a few parts in a thousand (seconds an hour); in one file
// one device (the leader: the microphone) is the clock and the other's sound (the follower: what
// the computer plays) waits in a short queue, resampled by a ratio that follows the two clocks'
// drift from the queue's fill, so that a sound keeps its place for hours and the queue neither
// runs dry nor overflows.
//
// The control: after each pull the queue's fill (its mean over the pull, in seconds) is smoothed
// over kSmoothingSeconds and held at kTargetMs by a proportional-integral loop whose ratio stays
// within 1 +/- kMostDeviation and moves at most kMostSlewPerSecond a second (a change of pitch
// far below what an ear tells). The follower's sound then reaches the leader's time line at a
// constant delay of about kTargetMs.
//
// What cannot be followed is cut: a queue that runs dry (the follower stalled or lost) gives
// silence and fills to the target again before it plays on; a queue more than kResyncMs above
// the target (the leader stalled) lets its oldest sound go down to the target, so the follower's
// sound comes back at its place; a full queue lets its oldest go. Each is counted.
//
// Threads: Push on the follower's thread, Pull on the leader's, Reset and the figures on any.
// One short lock guards the queue and the control; the resampling runs outside it.
#pragma once

#include "engine/drift_resampler.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

class DriftFollower {
public:
    static constexpr uint32_t kTargetMs = 100;
    static constexpr uint32_t kResyncMs = 400;
    static constexpr uint32_t kCapacityMs = 2000;
    static constexpr double kMostDeviation = 0.005;
    static constexpr double kMostSlewPerSecond = 500e-6;
    static constexpr double kSmoothingSeconds = 2.0;

    struct Figures {
        double ratio = 1;        // output frames per frame pushed, now
        size_t fill = 0;         // frames queued, now
        uint64_t underflows = 0; // the queue ran dry while playing
        uint64_t resyncs = 0;    // the queue was cut down to the target
        uint64_t overflows = 0;  // frames let go of a full queue
        uint64_t pushed = 0;     // frames queued since the start (after resampling)
        uint64_t pulled = 0;     // frames pulled since the start, silence included
    };

    // Both devices' nominal rate, and the most frames one Push brings; allocates.
    DriftFollower(uint32_t rate, size_t maxPushFrames);
    DriftFollower(const DriftFollower&) = delete;
    DriftFollower& operator=(const DriftFollower&) = delete;

    // The follower's sound starts anew (a resume, its device opened again): an empty queue, the
    // ratio 1, the filter's history silence (taken by the next Push).
    void Reset();
    // The follower's frames as they come.
    void Push(const float* in, size_t frames);
    // The leader's frames: out gets frames of the follower's sound, silence where there is none.
    void Pull(float* out, size_t frames);
    Figures Read() const;

private:
    // Under the lock, after a pull of this many frames.
    void Control(size_t frames);
    void Drop(size_t frames);

    const uint32_t m_rate;
    const size_t m_capacity, m_target, m_resync;
    DriftResampler m_resampler; // the follower's thread's
    std::unique_ptr<float[]> m_scratch;

    mutable std::mutex m_lock;
    std::unique_ptr<float[]> m_ring;
    size_t m_head = 0, m_size = 0;
    bool m_resetAsked = true; // the resampler is to start anew at the next Push
    bool m_playing = false;   // the queue has filled to the target since it was last dry
    double m_ratio = 1, m_integral = 0, m_smoothed = 0;
    Figures m_figures;
};
