// Finds the stretches of a recording in which time passed but no sound came: the sound system
// stalled, the device dropped buffers, the input was away and opened again. The sound received is
// held against the recording's running clock (pauses left out): each block's lag is the clock's
// time when it came back less the sound received before it. A block whose lag is near the recent
// least lag is judged at once. Delivery jitters (a block late, then several at once), so a block
// that comes late is judged only once a second of the clock has passed after it: a gap before it
// is a lag that stays above the recent least lag for all that second. A device whose clock runs
// a little off only moves the least lag slowly along, which is no gap.
//
// Used by one thread at a time (the capture thread, then the window thread once the capture has
// ended).
#pragma once

#include <cstdint>
#include <deque>

class GapDetector {
public:
    // A gap before a block: where it begins on the clock (frames from the start) and how long.
    struct Gap {
        uint64_t atFrames = 0;
        uint64_t frames = 0;
    };

    // The shortest gap said; a later block's lag within this of the least is jitter.
    static constexpr uint32_t kMinGapMs = 100;
    // How much of the clock must have passed after a block before it is judged.
    static constexpr uint32_t kLookAheadMs = 1000;
    // How far back the least lag is looked for: a clock that drifts moves it within this.
    static constexpr uint32_t kBaselineMs = 3000;
    // The latest a block can come: the device holds thirty 40 ms buffers. A lag above the least
    // by more is a gap whatever follows, also when nothing does (the recording stops).
    static constexpr uint32_t kLatestMs = 1300;

    explicit GapDetector(uint32_t framesPerSecond)
        : m_rate(framesPerSecond ? framesPerSecond : 1) {}

    // A block of frames that came back when the recording's clock said runningMs.
    void Add(uint64_t frames, uint32_t runningMs);
    // Judges the oldest block not yet judged: at once when it came in time; when it came late,
    // once a second of the clock has passed after it (or at once when final: nothing comes for a
    // while; then a gap only beyond kLatestMs). False while it cannot be judged yet.
    bool JudgeOldest(bool final, Gap& gap);

private:
    struct Block {
        int64_t clock;    // the clock when it came back, in frames
        int64_t received; // the frames received before it
    };
    struct Lag {
        int64_t clock;
        int64_t lag;
    };

    int64_t Frames(uint32_t ms) const { return int64_t(ms) * m_rate / 1000; }

    uint32_t m_rate;
    int64_t m_received = 0;  // frames received so far
    int64_t m_accounted = 0; // frames of the gaps found so far
    std::deque<Block> m_pending;
    std::deque<Lag> m_recent; // the lags of the judged blocks of the last kBaselineMs, least first
};
