// A recording's files between three threads. The window thread makes the next file ahead of time
// and offers it here; the capture thread, at the block that no longer fits, takes it over and
// leaves the full file here; the disk thread completes the full files and, every few seconds,
// flushes the file being written through a second handle of its own.
//
// The one rule: the lock is held only to move a file in or out. Nothing is created, written,
// flushed or completed under it, so the capture thread never waits here for a disk.
#pragma once

#include "engine/raw_file.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

// One file of a recording: its handle, its path, the sample bytes in it (for a full one), and a
// second handle to the same file for flushing it from the disk thread.
struct WavePart {
    RawFile file;
    std::filesystem::path path;
    uint64_t dataBytes = 0;
    std::shared_ptr<RawFile> flusher;
};

class FileHandOver {
public:
    // Window thread, before the capture runs: the first file's flush handle; from here on a next
    // file may be offered.
    void Open(std::shared_ptr<RawFile> flusher);
    // Window thread: hands over a prepared next file. False, with part untouched, when the
    // recording is over or a next file waits already.
    bool Offer(WavePart& part);
    // Window thread, once the capture has ended: the next file nobody took, if any, back to the
    // caller; nothing more is offered or taken, and the disk thread ends once the full files are
    // done.
    bool Close(WavePart& untaken);

    // The writer's file is complete: it is flushed no more (the second handle goes, so the file
    // may be removed). Thread of the writer's Close.
    void StopFlushing();

    // Capture thread.
    bool HasNext() const;
    // The prepared file, whose flush handle becomes the one flushed; false when there is none.
    bool TakeNext(WavePart& next);
    // The full file, for the disk thread to complete (its old flush handle goes with it).
    void GiveFull(WavePart&& full);

    // Disk thread: waits until a full file waits, the hand-over closes, or the time is up; then
    // moves the full files into full and gives the flush handle of the file being written.
    // False once the hand-over is closed and no full file is left.
    bool Wait(std::chrono::milliseconds timeout, std::vector<WavePart>& full,
              std::shared_ptr<RawFile>& flusher);

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_open = false;
    bool m_hasNext = false;
    WavePart m_next;
    std::vector<WavePart> m_full;
    std::shared_ptr<RawFile> m_flusher;
    std::vector<std::shared_ptr<RawFile>> m_retired; // flush handles of full files
};
