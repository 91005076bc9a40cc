#include "recording/block_judge.h"

#include <algorithm>

BlockJudge::BlockJudge(BlockQueue& queue, MarkerRequests& markers, uint32_t frameBytes,
                       uint32_t framesPerSecond, std::function<void(uint64_t)> marked)
    : m_queue(queue), m_markers(markers), m_frameBytes(std::max<uint32_t>(frameBytes, 1)),
      m_detector(framesPerSecond), m_marked(std::move(marked)),
      m_framesPerSecond(std::max<uint32_t>(framesPerSecond, 1)) {}

void BlockJudge::TakeBlock(const uint8_t* data, uint32_t bytes, uint32_t clockMs) {
    const uint64_t frames = bytes / m_frameBytes;
    if (m_taken == 0) { // its stamp is the clock at its end
        const uint64_t lengthMs = frames * 1000 / m_framesPerSecond;
        m_leadInMs = clockMs > lengthMs ? int64_t(clockMs - lengthMs) : 0;
    }
    const bool kept = m_queue.Push(data, bytes);
    if (!kept)
        m_lostTotal += frames;
    m_detector.Add(frames, clockMs);
    m_waiting.push_back({kept, m_received, frames, m_taken++});
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
            m_marked(taken.index);
        m_carried.gapFrames += gap.frames;
        if (!taken.kept) {
            m_carried.lostFrames += taken.frames;
            continue;
        }
        m_carried.received = taken.received;
        m_queue.HandOn(m_carried);
        m_carried = BlockNote();
    }
}

void BlockJudge::Close() {
    Judge(true);
    m_carried.received = m_received;
    m_queue.Close(m_carried);
    m_carried = BlockNote();
}
