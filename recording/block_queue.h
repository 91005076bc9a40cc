// The sound between a recording's capture thread and its disk thread: a ring of slots, each the
// size of one device buffer, for at least kQueueSeconds of sound, allocated once per recording.
//
// The one rule: the lock is held only to move an index. The capture thread copies a block into a
// free slot, and the disk thread writes a filled one, outside it; neither ever waits for the
// other. When every slot is filled (the disk away for longer than the queue holds), the capture
// thread counts the block as lost instead of waiting, and the next block it keeps carries the
// loss and where in the recording it began.
//
// A block reaches the disk thread once the gap detector has judged it (a second of the clock
// after it came, or at the end): a stretch of the clock without sound before it travels with it.
#pragma once

#include "capture/block_sink.h"
#include "engine/recording_format.h"
#include "recording/gap_detector.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

class BlockQueue : public IBlockSink {
public:
    struct Block {
        const uint8_t* data = nullptr;
        uint32_t bytes = 0;
        uint64_t lostBytes = 0; // sound that could not be kept just before this block...
        uint64_t lostAt = 0;    // ...and the bytes the device delivered before it
        GapDetector::Gap gap;   // the clock ran without sound before this block (frames)
    };
    enum Wait {
        BLOCK, // the oldest block is in block
        IDLE,  // nothing came within the time given, or Wake was called
        DONE,  // closed, and every block taken (block may still carry a loss at the very end)
    };

    // Window thread, before the capture opens: slots of blockBytes, enough for at least seconds
    // of sound of the device's format. False when the memory cannot be had.
    bool Allocate(const WaveFormat& device, uint32_t blockBytes, uint32_t seconds);

    // Capture thread: copies the block (up to a slot's size), or counts it as lost.
    void TakeBlock(const uint8_t* data, uint32_t bytes, uint32_t runningMs) override;
    // Capture thread: the blocks taken are judged with what came after them.
    void Settle() override { Judge(true); }

    // Window thread, once the capture has ended: what waits to be judged is judged; nothing
    // more comes.
    void Close();

    // Disk thread: waits up to timeout for the oldest judged block.
    Wait Next(std::chrono::milliseconds timeout, Block& block);
    // Disk thread: the block Next gave is written; its slot is free again.
    void Release();
    // Any thread: the waiting Next returns now.
    void Wake();

    size_t SlotCount() const { return m_slotCount; }
    // The most slots that were ever filled at once, and the bytes lost (any thread).
    size_t HighWater() const;
    uint64_t LostBytes() const;

private:
    struct Slot {
        uint32_t bytes = 0;
        uint64_t lostBytes = 0;
        uint64_t lostAt = 0;
        GapDetector::Gap gap;
    };
    static constexpr size_t kLost = SIZE_MAX;

    // The blocks the detector can judge now; their slots are handed on.
    void Judge(bool final);

    std::unique_ptr<uint8_t[]> m_memory;
    std::unique_ptr<Slot[]> m_slots;
    size_t m_slotCount = 0;
    uint32_t m_slotBytes = 0;
    uint32_t m_frameBytes = 1;

    mutable std::mutex m_lock;
    std::condition_variable m_filled;
    size_t m_head = 0;   // the oldest filled slot
    size_t m_count = 0;  // filled slots from the head on...
    size_t m_judged = 0; // ...the first of them judged, for the disk thread
    size_t m_highWater = 0;
    uint64_t m_lostTotal = 0;
    bool m_closed = false;
    bool m_woken = false;

    // The capture thread's own (the window thread's once the capture has ended): the bytes
    // recorded so far, a loss not yet handed on, and the blocks waiting to be judged, in order
    // (their slots, or kLost), with a gap of lost ones to hand on.
    uint64_t m_recorded = 0;
    uint64_t m_pendingLost = 0;
    uint64_t m_pendingLostAt = 0;
    std::unique_ptr<GapDetector> m_detector;
    std::deque<size_t> m_unjudged;
    GapDetector::Gap m_carriedGap;
};
