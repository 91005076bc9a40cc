#include "recording/block_queue.h"

#include <algorithm>
#include <cstring>
#include <new>

bool BlockQueue::Allocate(uint32_t slotBytes, size_t count) {
    if (slotBytes == 0 || count == 0)
        return false;
    m_slotCount = count;
    m_slotBytes = slotBytes;
    m_memory.reset(new (std::nothrow) uint8_t[m_slotCount * slotBytes]);
    m_slots.reset(new (std::nothrow) Slot[m_slotCount]);
    m_head = m_count = m_handedOn = 0;
    m_closed = m_woken = false;
    m_end = BlockNote();
    return m_memory && m_slots;
}

// The slot past the filled ones is the capture thread's until it is counted in.
bool BlockQueue::Push(const uint8_t* data, uint32_t bytes) {
    size_t slot;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_count == m_slotCount)
            return false;
        slot = (m_head + m_count) % m_slotCount;
    }
    const uint32_t kept = std::min(bytes, m_slotBytes);
    std::memcpy(m_memory.get() + slot * m_slotBytes, data, kept);
    m_slots[slot].bytes = kept;
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_count;
    return true;
}

// A slot pushed and not handed on is still the capture thread's: its note goes in first.
void BlockQueue::HandOn(const BlockNote& note) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_handedOn == m_count)
            return;
        m_slots[(m_head + m_handedOn) % m_slotCount].note = note;
        if (++m_handedOn < kWakeAfterBlocks)
            return; // the disk thread's own wake, every slice it waits, takes them
    }
    m_filled.notify_one();
}

void BlockQueue::Close(const BlockNote& end) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_closed = true;
        m_end = end;
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
    m_filled.wait_for(lock, timeout, [&] { return m_handedOn > 0 || m_closed || m_woken; });
    m_woken = false;
    if (m_handedOn > 0) {
        const Slot& slot = m_slots[m_head];
        block = {m_memory.get() + m_head * m_slotBytes, slot.bytes, slot.note};
        return BLOCK;
    }
    if (!m_closed)
        return IDLE;
    block = Block();
    block.note = m_end;
    m_end = BlockNote{m_end.received, 0, 0, m_end.position}; // told once
    return DONE;
}

void BlockQueue::Release() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_handedOn == 0)
        return;
    m_head = (m_head + 1) % m_slotCount;
    --m_count;
    --m_handedOn;
}
