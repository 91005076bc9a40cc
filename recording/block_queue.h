// The sound between a recording's capture thread and its disk thread: a ring of slots, each the
// size of one device buffer, for at least kQueueSeconds of sound, allocated once per recording.
//
// The one rule: the lock is held only to move an index. The capture thread copies a block into a
// free slot, and the disk thread writes a filled one, outside it; neither ever waits for the
// other. When every slot is filled (the disk away for longer than the queue holds), the capture
// thread counts the block as lost instead of waiting, and the next block it keeps carries the
// loss and where in the recording it began.
#pragma once

#include "capture/block_sink.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

class BlockQueue : public IBlockSink {
public:
    struct Block {
        const uint8_t* data = nullptr;
        uint32_t bytes = 0;
        uint64_t lostBytes = 0; // sound that could not be kept just before this block
        uint64_t lostAt = 0;    // where that began: the bytes recorded before it
    };
    enum Wait {
        BLOCK, // the oldest block is in block
        IDLE,  // nothing came within the time given
        DONE,  // closed, and every block taken (block may still carry a loss at the very end)
    };

    // Window thread, before the capture opens: slots of blockBytes, enough for at least seconds
    // of sound at bytesPerSecond. False when the memory cannot be had.
    bool Allocate(uint32_t blockBytes, uint32_t bytesPerSecond, uint32_t seconds);

    // Capture thread: copies the block (up to a slot's size), or counts it as lost.
    void TakeBlock(const uint8_t* data, uint32_t bytes) override;

    // Window thread, once the capture has ended: nothing more comes.
    void Close();

    // Disk thread: waits up to timeout for the oldest block.
    Wait Next(std::chrono::milliseconds timeout, Block& block);
    // Disk thread: the block Next gave is written; its slot is free again.
    void Release();

    size_t SlotCount() const { return m_slotCount; }
    // The most slots that were ever filled at once, and the bytes lost (any thread).
    size_t HighWater() const;
    uint64_t LostBytes() const;

private:
    struct Slot {
        uint32_t bytes = 0;
        uint64_t lostBytes = 0;
        uint64_t lostAt = 0;
    };

    std::unique_ptr<uint8_t[]> m_memory;
    std::unique_ptr<Slot[]> m_slots;
    size_t m_slotCount = 0;
    uint32_t m_slotBytes = 0;

    mutable std::mutex m_lock;
    std::condition_variable m_filled;
    size_t m_head = 0;  // the oldest filled slot
    size_t m_count = 0; // filled slots from the head on
    size_t m_highWater = 0;
    uint64_t m_lostTotal = 0;
    bool m_closed = false;

    // The capture thread's own: the bytes recorded so far, and a loss not yet handed on.
    uint64_t m_recorded = 0;
    uint64_t m_pendingLost = 0;
    uint64_t m_pendingLostAt = 0;
};
