#include "recording/block_queue.h"

#include <algorithm>
#include <cstring>
#include <new>

bool BlockQueue::Allocate(const WaveFormat& device, uint32_t blockBytes, uint32_t seconds) {
    if (blockBytes == 0 || device.nBlockAlign == 0)
        return false;
    const uint64_t wanted = uint64_t(device.nAvgBytesPerSec) * seconds;
    m_slotCount = size_t((wanted + blockBytes - 1) / blockBytes);
    m_slotBytes = blockBytes;
    m_frameBytes = device.nBlockAlign;
    m_memory.reset(new (std::nothrow) uint8_t[m_slotCount * blockBytes]);
    m_slots.reset(new (std::nothrow) Slot[m_slotCount]);
    m_detector = std::make_unique<GapDetector>(device.nSamplesPerSec);
    m_head = m_count = m_judged = m_highWater = 0;
    m_lostTotal = m_recorded = m_pendingLost = m_pendingLostAt = 0;
    m_unjudged.clear();
    m_carriedGap = GapDetector::Gap();
    m_closed = m_woken = false;
    return m_memory && m_slots;
}

void BlockQueue::TakeBlock(const uint8_t* data, uint32_t bytes, uint32_t runningMs) {
    size_t slot = 0;
    bool full;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        full = m_count == m_slotCount;
        if (full)
            m_lostTotal += bytes;
        else
            slot = (m_head + m_count) % m_slotCount;
    }
    m_detector->Add(bytes / m_frameBytes, runningMs);
    if (full) {
        if (m_pendingLost == 0)
            m_pendingLostAt = m_recorded;
        m_pendingLost += bytes;
        m_recorded += bytes;
        m_unjudged.push_back(kLost);
    } else {
        // The slot past the filled ones is the capture thread's until it is counted in.
        const uint32_t kept = std::min(bytes, m_slotBytes);
        std::memcpy(m_memory.get() + slot * m_slotBytes, data, kept);
        m_slots[slot] = {kept, m_pendingLost, m_pendingLostAt, {}};
        m_pendingLost = 0;
        m_recorded += bytes;
        m_unjudged.push_back(slot);
        {
            std::lock_guard<std::mutex> lock(m_lock);
            ++m_count;
            m_highWater = std::max(m_highWater, m_count);
        }
    }
    Judge(false);
}

// A gap before a lost block goes on with the next block kept.
void BlockQueue::Judge(bool final) {
    size_t judged = 0;
    GapDetector::Gap gap;
    while (m_detector && m_detector->JudgeOldest(final, gap)) {
        const size_t slot = m_unjudged.front();
        m_unjudged.pop_front();
        if (gap.frames > 0) {
            if (m_carriedGap.frames == 0)
                m_carriedGap.atFrames = gap.atFrames;
            m_carriedGap.frames += gap.frames;
        }
        if (slot == kLost)
            continue;
        m_slots[slot].gap = m_carriedGap;
        m_carriedGap = GapDetector::Gap();
        ++judged;
    }
    if (judged == 0)
        return;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_judged += judged;
    }
    m_filled.notify_one();
}

void BlockQueue::Close() {
    Judge(true);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_closed = true;
    }
    m_filled.notify_all();
}

void BlockQueue::Wake() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_woken = true;
    }
    m_filled.notify_all();
}

BlockQueue::Wait BlockQueue::Next(std::chrono::milliseconds timeout, Block& block) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_filled.wait_for(lock, timeout, [&] { return m_judged > 0 || m_closed || m_woken; });
    m_woken = false;
    if (m_judged > 0) {
        const Slot& slot = m_slots[m_head];
        block = {m_memory.get() + m_head * m_slotBytes, slot.bytes, slot.lostBytes, slot.lostAt,
                 slot.gap};
        return BLOCK;
    }
    if (!m_closed)
        return IDLE;
    // The capture has ended (Close came after it), so its loss at the very end is settled.
    block = Block();
    block.lostBytes = m_pendingLost;
    block.lostAt = m_pendingLostAt;
    m_pendingLost = 0;
    return DONE;
}

void BlockQueue::Release() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_judged == 0)
        return;
    m_head = (m_head + 1) % m_slotCount;
    --m_count;
    --m_judged;
}

size_t BlockQueue::HighWater() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_highWater;
}

uint64_t BlockQueue::LostBytes() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_lostTotal;
}
