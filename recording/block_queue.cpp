#include "recording/block_queue.h"

#include <algorithm>
#include <cstring>
#include <new>

bool BlockQueue::Allocate(uint32_t blockBytes, uint32_t bytesPerSecond, uint32_t seconds) {
    if (blockBytes == 0)
        return false;
    const uint64_t wanted = uint64_t(bytesPerSecond) * seconds;
    m_slotCount = size_t((wanted + blockBytes - 1) / blockBytes);
    m_slotBytes = blockBytes;
    m_memory.reset(new (std::nothrow) uint8_t[m_slotCount * blockBytes]);
    m_slots.reset(new (std::nothrow) Slot[m_slotCount]);
    m_head = m_count = m_highWater = 0;
    m_lostTotal = m_recorded = m_pendingLost = m_pendingLostAt = 0;
    m_closed = false;
    return m_memory && m_slots;
}

void BlockQueue::TakeBlock(const uint8_t* data, uint32_t bytes) {
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
    if (full) {
        if (m_pendingLost == 0)
            m_pendingLostAt = m_recorded;
        m_pendingLost += bytes;
        m_recorded += bytes;
        return;
    }
    // The slot past the filled ones is the capture thread's until it is counted in.
    const uint32_t kept = std::min(bytes, m_slotBytes);
    std::memcpy(m_memory.get() + slot * m_slotBytes, data, kept);
    m_slots[slot] = {kept, m_pendingLost, m_pendingLostAt};
    m_pendingLost = 0;
    m_recorded += bytes;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_count;
        m_highWater = std::max(m_highWater, m_count);
    }
    m_filled.notify_one();
}

void BlockQueue::Close() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_closed = true;
    }
    m_filled.notify_all();
}

BlockQueue::Wait BlockQueue::Next(std::chrono::milliseconds timeout, Block& block) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_filled.wait_for(lock, timeout, [&] { return m_count > 0 || m_closed; });
    if (m_count > 0) {
        const Slot& slot = m_slots[m_head];
        block = {m_memory.get() + m_head * m_slotBytes, slot.bytes, slot.lostBytes, slot.lostAt};
        return BLOCK;
    }
    if (!m_closed)
        return IDLE;
    // The capture has ended (Close came after it), so its loss at the very end is settled.
    block = {nullptr, 0, m_pendingLost, m_pendingLostAt};
    m_pendingLost = 0;
    return DONE;
}

void BlockQueue::Release() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_count == 0)
        return;
    m_head = (m_head + 1) % m_slotCount;
    --m_count;
}

size_t BlockQueue::HighWater() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_highWater;
}

uint64_t BlockQueue::LostBytes() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_lostTotal;
}
