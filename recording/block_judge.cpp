#include "recording/block_judge.h"

#include "recording/recording_policy.h"

#include <algorithm>

BlockJudge::BlockJudge(BlockQueue& queue, MarkerRequests& markers, uint32_t frameBytes,
                       uint32_t framesPerSecond, std::function<void(uint64_t)> marked)
    : m_queue(queue), m_markers(markers), m_frameBytes(std::max<uint32_t>(frameBytes, 1)),
      m_detector(framesPerSecond), m_marked(std::move(marked)),
      m_framesPerSecond(std::max<uint32_t>(framesPerSecond, 1)) {}

void BlockJudge::TakeBlock(const uint8_t* data, uint32_t bytes, uint32_t clockMs) {
    const uint64_t frames = bytes / m_frameBytes;
    if (m_leadInMs < 0) { // the first block: its stamp is the clock at its end
        const uint64_t lengthMs = frames * 1000 / m_framesPerSecond;
        m_leadInMs = clockMs > lengthMs ? int64_t(clockMs - lengthMs) : 0;
    }
    const bool kept = m_queue.Push(data, bytes);
    if (!kept)
        m_lostTotal += frames;
    m_detector.Add(frames, clockMs);
    m_waiting.push_back({kept, m_received, frames});
    m_received += frames;
    m_markers.Count(frames); // before the block can reach the disk thread
    Judge(false);
}

// A gap or a loss before a block that was not kept goes on with the next one kept.
void BlockJudge::Judge(bool final) {
    GapDetector::Gap gap;
    while (m_detector.JudgeOldest(final, gap)) {
        const Taken taken = m_waiting.front();
        m_waiting.pop_front();
        const bool begins = gap.frames > 0 || (!taken.kept && m_carried.lostFrames == 0);
        if (begins && m_marked)
            m_marked(taken.received);
        m_carried.gapFrames += gap.frames;
        if (!taken.kept) {
            m_carried.lostFrames += taken.frames;
            continue;
        }
        m_carried.received = taken.received;
        Place(taken.received + taken.frames);
        m_queue.HandOn(m_carried);
        m_carried = BlockNote();
    }
}

void BlockJudge::Place(uint64_t until) {
    const BlockNote& note = m_carried;
    const uint64_t lostAt =
        m_position + (IsFilled(note.gapFrames, m_framesPerSecond) ? note.gapFrames : 0);
    const bool lostFilled = IsFilled(note.lostFrames, m_framesPerSecond);
    const uint64_t soundAt = lostAt + (lostFilled ? note.lostFrames : 0);
    const uint64_t lostFrom = note.received - note.lostFrames;
    m_markers.Place(until, [&](uint64_t frame) {
        if (frame >= note.received)
            return soundAt + (frame - note.received);
        return lostFilled && frame >= lostFrom ? lostAt + (frame - lostFrom) : soundAt;
    });
    m_carried.position = soundAt;
    m_position = soundAt + (std::min(until, m_received) - note.received);
}

// A marker asked for after the last sound points at the end.
void BlockJudge::Close() {
    Judge(true);
    m_carried.received = m_received;
    Place(UINT64_MAX);
    m_queue.Close(m_carried);
    m_carried = BlockNote();
}
