#include "recording/gap_detector.h"

#include <algorithm>

void GapDetector::Add(uint64_t frames, uint32_t runningMs) {
    m_pending.push_back({Frames(runningMs), m_received});
    m_received += int64_t(frames);
}

// 1. The block's lag, and the least lag from it to the newest. 2. Within kMinGapMs of the recent
// least lag: no gap, judged at once. Above it: a gap, once a second of the clock after the block
// has shown that it stays; a later block back near the least undoes it. Judged before that
// second (final: nothing comes for a while), a late block is only late, unless later than any
// block can be: what the clock ran ahead is then found at the next block that comes. 3. The gap
// counts as received from then on; the block's lag joins the recent ones.
bool GapDetector::JudgeOldest(bool final, Gap& gap) {
    gap = Gap();
    if (m_pending.empty())
        return false;
    const Block block = m_pending.front();
    const auto lagOf = [&](const Block& b) { return b.clock - b.received - m_accounted; };
    int64_t least = lagOf(block);
    for (const Block& later : m_pending)
        least = std::min(least, lagOf(later));
    if (!m_recent.empty()) {
        const int64_t shift = least - m_recent.front().lag;
        const bool seen = m_pending.back().clock - block.clock >= Frames(kLookAheadMs);
        if (shift >= Frames(kMinGapMs) && !seen && !final)
            return false;
        if (shift >= Frames(kMinGapMs) && (seen || shift > Frames(kLatestMs))) {
            gap.atFrames = uint64_t(block.received + m_accounted);
            gap.frames = uint64_t(shift);
            m_accounted += shift;
        }
    }
    m_pending.pop_front();
    // The least of the recent lags stays first: those above a newer, lower one never will be.
    const int64_t lag = lagOf(block);
    while (!m_recent.empty() && m_recent.back().lag >= lag)
        m_recent.pop_back();
    m_recent.push_back({block.clock, lag});
    while (m_recent.size() > 1 && block.clock - m_recent.front().clock > Frames(kBaselineMs))
        m_recent.pop_front();
    return true;
}
