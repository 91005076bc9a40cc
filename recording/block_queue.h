// The sound between a recording's capture thread and its disk thread: a ring of slots, each the
// size of one device buffer, for at least kQueueSeconds of sound, allocated once per recording.
//
// The one rule: the lock is held only to move an index. The capture thread copies a block into a
// free slot outside it and, once the block has been judged (BlockJudge), hands it on with a note
// of what came before it; the disk thread writes a block handed on, outside the lock, and frees
// its slot. Neither ever waits for the other: when every slot is filled, Push says so at once.
// What the blocks mean in frames of the recording is the judge's and the disk thread's; the
// queue only carries it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

// What comes before a block in the recording, in the device's frames: the frames the capture
// took before it (kept or not: where its sound begins), how many of those just before it could
// not be kept (the queue was full), the stretch of the clock without any sound before that, and
// the recording's position where its sound begins (frames kept before it, and the silence that
// fills those stretches).
struct BlockNote {
    uint64_t received = 0;
    uint64_t lostFrames = 0;
    uint64_t gapFrames = 0;
    uint64_t position = 0;
};

class BlockQueue {
public:
    struct Block {
        const uint8_t* data = nullptr;
        uint32_t bytes = 0;
        BlockNote note;
    };
    enum Wait {
        BLOCK, // the oldest block handed on is in block
        IDLE,  // nothing came within the time given, or Wake was called
        DONE,  // closed, and every block taken; block.note says what came after the last one
    };

    // Window thread, before the capture opens: count slots of slotBytes. False when the memory
    // cannot be had.
    bool Allocate(uint32_t slotBytes, size_t count);

    // Capture thread: copies the block (up to a slot's size) into the next free slot, where it
    // waits to be handed on; false, with nothing copied, when every slot is filled.
    bool Push(const uint8_t* data, uint32_t bytes);
    // Capture thread: the oldest block pushed and not yet handed on goes to the disk thread.
    void HandOn(const BlockNote& note);
    // Window thread, once the capture has ended and every block is handed on: nothing more
    // comes; end says what came after the last block.
    void Close(const BlockNote& end);

    // Disk thread: waits up to timeout for the oldest block handed on. A wait is cut short only
    // once kWakeAfterBlocks blocks wait (or by Close and Wake): the disk thread, which waits in
    // slices shorter than that many blocks last, takes them in batches, and the capture thread
    // wakes it a few times a second rather than for every block.
    Wait Next(std::chrono::milliseconds timeout, Block& block);
    static constexpr size_t kWakeAfterBlocks = 8;
    // Disk thread: the block Next gave is written; its slot is free again.
    void Release();
    // Any thread: the waiting Next returns now.
    void Wake();

    uint32_t SlotBytes() const { return m_slotBytes; }

private:
    struct Slot {
        uint32_t bytes = 0;
        BlockNote note;
    };

    std::unique_ptr<uint8_t[]> m_memory;
    std::unique_ptr<Slot[]> m_slots;
    size_t m_slotCount = 0;
    uint32_t m_slotBytes = 0;

    mutable std::mutex m_lock;
    std::condition_variable m_filled;
    size_t m_head = 0;     // the oldest filled slot
    size_t m_count = 0;    // filled slots from the head on...
    size_t m_handedOn = 0; // ...the first of them handed on, for the disk thread
    bool m_closed = false;
    bool m_woken = false;
    BlockNote m_end;
};
