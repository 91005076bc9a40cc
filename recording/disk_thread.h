// A recording's disk thread: once it runs, the only thread that touches the recording's files.
// It takes the blocks from the queue in order and writes them, goes on in the next file at a
// seam (completing the full one there), hands the file being written to the storage device
// every kFlushPeriodMs of its clock, watches the drive's free space, and, once the queue is
// closed and empty, completes the last file. Whatever the disk does (it may stop answering for
// minutes), the capture thread never waits for it: the queue lies between them.
//
// The recording's position comes with every block from the judge: the frames before it in the
// recording, silence standing in for a stretch without sound counted in. Gaps, lost stretches
// and markers are placed there, so a marker, a gap and the time in the recording agree by
// construction: a marker the window thread asked for, placed by the judge, goes into the file
// that holds its position; a stretch without sound (or that the queue could not keep) is filled
// with silence up to kMaxFilledGapMs (the judge's rule too), marked where it begins, and merged
// with one that ended less than a second of sound before. What the files hold, in the same
// frames, is the time the recording kept.
//
// Every marker a file keeps goes to its journal at once (MarkerJournal), flushed with the file,
// so a crash or a power cut loses no marker whose sound reached the disk; the journal goes once
// the file is complete.
//
// It reports what happened to the window thread through the reporter given to Start, which is
// called on the disk thread and must not block; DISK_DONE is the last thing it reports.
#pragma once

#include "engine/marker_journal.h"
#include "engine/recording_format.h"
#include "engine/wave_file.h"
#include "recording/block_queue.h"
#include "recording/file_hand_over.h"
#include "recording/marker_requests.h"
#include "recording/recording_report.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Automatic markers (resumes, gaps) a file keeps at most, so that the user's own always have
// room up to WaveLayout::kMaxMarkers (libsndfile reads no more).
constexpr size_t kMaxAutomaticMarkers = 2000;

class DiskThread {
public:
    using Reporter = std::function<void(RecordingReport&&)>;

    // What the thread works on: owned by the recording, alive as long as the thread runs.
    struct Work {
        BlockQueue* queue = nullptr;
        FileHandOver* handOver = nullptr;
        CWaveFile* writer = nullptr;       // with the first file open
        MarkerRequests* markers = nullptr; // the window thread's markers
        std::wstring name;                 // the first file's name, as the recording gave it
        WaveFormat device;                 // the format of the blocks
    };

    DiskThread() = default;
    ~DiskThread();
    DiskThread(const DiskThread&) = delete;
    DiskThread& operator=(const DiskThread&) = delete;

    // Window thread.
    void Start(const Work& work, Reporter report);
    // Window thread, once the thread has told DISK_DONE (or Finished says so).
    void Join();
    // Window thread, when the program must go while the thread still waits for its disk: it is
    // left to run out on its own (whatever it works on must then never be freed).
    void Detach();
    // Any thread: the file being written reaches the storage device at once (the computer is
    // about to sleep), waited for up to waitMs; false when that was not long enough (a disk that
    // does not answer).
    bool FlushNow(uint32_t waitMs);
    // Any thread: the thread has done its last.
    bool Finished() const { return m_finished; }
    // Any thread: the free bytes of the drive of the file being written, as of its last look
    // (every kFreeSpaceCheckMs); -1 until known, or where the drive cannot tell.
    int64_t FreeSpace() const { return m_freeSpace; }

private:
    // A marker placed by the judge, waiting for the sound at its position.
    struct Waiting {
        MarkerRequest request;
        std::string label;
        uint64_t offset = 0; // its frame within the sound being written
    };
    // The last stretch without sound: where it began and ended in the recording, its marker
    // (kept in the file being written at this index, or not), and whether that file is still
    // being written (a stretch is not merged across a seam: its marker could not follow).
    struct LastGap {
        uint64_t start = 0, end = 0;
        RecordingMarker marker;
        size_t markerIndex = SIZE_MAX;
        bool inThisFile = false;
    };

    void Run();
    // Writes frames of sound (or of silence) that stand at this position of the recording, across
    // a seam if it must, with the markers that point into them; false when the recording cannot
    // go on.
    bool WriteSound(const uint8_t* data, uint32_t bytes, uint64_t position);
    // A stretch of the clock without sound (or that the queue could not keep) before the next
    // sound: marked, said, and filled.
    void Gap(MarkerKind kind, uint64_t frames);
    // The markers still waiting once the sound has ended, placed or not: at the end of the last
    // file.
    void PlaceWaitingAtEnd();
    // Keeps a marker in the file being written; said to the window thread.
    bool KeepMarker(RecordingMarker marker, size_t* index = nullptr);
    bool GoOnInNextFile();
    void CompleteFile();
    // The recording cannot go on: said, and the file completed with what it holds.
    void End(RecordingFailure failure);
    // Every kFlushPeriodMs, or at once when asked; the markers still waiting for their sound are
    // journaled at the end of the file being written first.
    void FlushIfDue(bool asked);
    // The flushes asked for up to asked are served.
    void FlushServed(uint64_t asked);
    void WatchFreeSpace();
    void Report(RecordingReport&& report);
    uint64_t Ms(uint64_t frames) const;

    Work m_work;
    Reporter m_report;
    std::thread m_thread;
    std::atomic<bool> m_finished{false};
    // Flushes asked for, and served (flushed, or nothing to flush), under m_flushLock.
    std::mutex m_flushLock;
    std::condition_variable m_flushServed;
    uint64_t m_flushAsked = 0, m_flushDone = 0;
    std::atomic<int64_t> m_freeSpace{-1};

    // The thread's own, while it runs.
    std::unique_ptr<uint8_t[]> m_silence; // a block of the device's silence
    uint32_t m_silenceFrames = 0;
    uint32_t m_frameBytes = 1;
    bool m_ended = false;     // the recording could not go on: blocks are taken, not written
    bool m_asked = false;     // the next file has been asked for
    bool m_dirty = false;     // written since the last flush
    bool m_spaceTold = false; // the drive's free space has been said once
    // What the files hold of the recording: the frames written (what landed of a failed write
    // too), the silence of the stretches filled counted in; the judge's position while all lands.
    uint64_t m_position = 0;
    uint32_t m_lastFlush = 0;
    uint32_t m_lastSpaceCheck = 0;
    std::vector<Waiting> m_waiting; // markers placed, in the order of their positions
    uint32_t m_gapCount = 0, m_lostCount = 0;
    std::vector<RecordingGap> m_gaps; // said at the end
    LastGap m_lastGap;
    MarkerJournal m_journal; // the markers of the file being written, for a crash to leave
};
