// A recording's disk thread: once it runs, the only thread that touches the recording's files.
// It takes the blocks from the queue in order and writes them, goes on in the next file at a
// seam (completing the full one there), hands the file being written to the storage device
// every kFlushPeriodMs of its clock, watches the drive's free space, and, once the queue is
// closed and empty, completes the last file. Whatever the disk does (it may stop answering for
// minutes), the capture thread never waits for it: the queue lies between them.
//
// It tells the window thread what happened through the tell function given to Start, which is
// called on the disk thread and must not block; DISK_DONE is the last thing it tells.
#pragma once

#include "engine/recording_format.h"
#include "engine/wave_file.h"
#include "recording/block_queue.h"
#include "recording/file_hand_over.h"
#include "recording/recording_report.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

class DiskThread {
public:
    using Tell = std::function<void(RecordingReport&&)>;

    // What the thread works on: owned by the recording, alive as long as the thread runs.
    struct Work {
        BlockQueue* queue = nullptr;
        FileHandOver* handOver = nullptr;
        CWaveFile* writer = nullptr; // with the first file open
        std::wstring name;           // the first file's name, as the recording gave it
        WaveFormat device;           // the format of the blocks
    };

    DiskThread() = default;
    ~DiskThread();
    DiskThread(const DiskThread&) = delete;
    DiskThread& operator=(const DiskThread&) = delete;

    // Window thread.
    void Start(const Work& work, Tell tell);
    // Window thread, once the thread has told DISK_DONE (or Finished says so).
    void Join();
    // Window thread, when the program must go while the thread still waits for its disk: it is
    // left to run out on its own (whatever it works on must then never be freed).
    void Detach();
    // Any thread: the file being written reaches the storage device at once (the computer is
    // about to sleep).
    void FlushNow();
    // Any thread: the thread has done its last.
    bool Finished() const { return m_finished; }

private:
    void Run();
    // Writes one block, across a seam if it must; false when the recording cannot go on.
    bool WriteBlock(const uint8_t* data, uint32_t bytes);
    // A stretch of the clock without sound before a block: said, and up to kMaxFilledGapMs
    // filled with silence of its length (device frames; at: on the clock).
    void Gap(uint64_t atFrames, uint64_t frames);
    bool GoOnInNextFile();
    void CompleteFile();
    // The recording cannot go on: said, and the file completed with what it holds.
    void End(RecordingFailure failure);
    void FlushIfDue();
    void WatchFreeSpace();
    void Say(RecordingReport&& report);
    uint64_t KeptMs() const;

    Work m_work;
    Tell m_tell;
    std::thread m_thread;
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_flushNow{false};

    // The thread's own, while it runs.
    std::unique_ptr<uint8_t[]> m_silence; // a block of the device's silence
    uint32_t m_silenceBytes = 0;
    bool m_ended = false;          // the recording could not go on: blocks are taken, not written
    bool m_asked = false;          // the next file has been asked for
    bool m_dirty = false;          // written since the last flush
    bool m_spaceTold = false;      // the drive's free space has been said once
    uint64_t m_completedBytes = 0; // sample bytes in the files completed before this one
    uint64_t m_gapFrames = 0;      // the clock's frames of the input's gaps so far
    uint32_t m_lastFlush = 0;
    uint32_t m_lastSpaceCheck = 0;
};
