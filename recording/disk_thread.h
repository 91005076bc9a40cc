// The recording's disk thread: completes the full files that the capture thread leaves in the
// hand-over at a seam, and flushes the file being written every few seconds, so that a power cut
// costs seconds and the capture thread waits for neither.
#pragma once

#include "engine/file_hand_over.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <thread>

// How often, on GetTicks' clock, the file being written reaches the storage device.
constexpr uint32_t kFlushPeriodMs = 4000;

class DiskThread {
public:
    // Called on the disk thread after each full file: its path, and the system's code when it
    // could not be completed (0 when it was). Must not block.
    using CompletedHandler = std::function<void(const std::filesystem::path&, uint32_t error)>;

    DiskThread() = default;
    ~DiskThread() { Join(); }
    DiskThread(const DiskThread&) = delete;
    DiskThread& operator=(const DiskThread&) = delete;

    // Window thread, once the hand-over is open.
    void Start(FileHandOver& handOver, CompletedHandler completed);
    // Window thread, once the hand-over is closed: the full files left are completed, then the
    // thread ends.
    void Join();

    // The flushes made since Start: any thread.
    uint32_t Flushes() const { return m_flushes; }

private:
    void Run(FileHandOver& handOver, CompletedHandler completed);

    std::thread m_thread;
    std::atomic<uint32_t> m_flushes{0};
};
