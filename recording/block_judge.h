// The capture's block sink for a recording: every block goes into the recording's queue at once
// (its buffer goes back to the device), and is judged before the disk thread may write it: what
// came before it in the recording (BlockNote), in the device's frames. A block the full queue
// could not keep is counted as lost, in its place; a stretch of the recording's clock without
// sound is found by the gap detector, which judges a block that came late only once a second of
// the clock has passed after it. Each kept block is handed on with the gap and the loss before
// it, in order, and with the recording's position where it begins: the frames kept before it
// and the silence that fills a stretch up to kMaxFilledGapMs (the disk thread fills by the same
// rule, so the position is the file's time).
//
// It also counts every frame the capture takes (kept or lost) into the marker requests, places
// the markers asked for within a block at the position they point at before the block can reach
// the disk thread (a marker asked for in a lost stretch that is filled points into its silence,
// otherwise at the sound after the stretch), and says at which frame of the capture a stretch
// without sound, or that the queue could not keep, ends: the waveform's column holding that
// frame shows the stretch's marker.
//
// Threads: TakeBlock and Settle on the capture thread, Close on the window thread once the
// capture has ended; LostFrames on any thread.
#pragma once

#include "capture/block_sink.h"
#include "recording/block_queue.h"
#include "recording/gap_detector.h"
#include "recording/marker_requests.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>

class BlockJudge : public IBlockSink {
public:
    // frameBytes and framesPerSecond: the device's format. marked: called with a frame of the
    // capture (on the capture thread; it must not block).
    BlockJudge(BlockQueue& queue, MarkerRequests& markers, uint32_t frameBytes,
               uint32_t framesPerSecond, std::function<void(uint64_t frame)> marked = nullptr);

    void TakeBlock(const uint8_t* data, uint32_t bytes, uint32_t clockMs) override;
    void Settle() override { Judge(true); }
    // What waits is judged, and the queue closed with what came after the last block kept.
    void Close();

    // The frames the full queue could not keep, so far.
    uint64_t LostFrames() const { return m_lostTotal; }
    // Any thread: the recording's clock when its first sound began (a device may take a while to
    // give its first block); -1 before it came.
    int64_t LeadInMs() const { return m_leadInMs; }

private:
    struct Taken {
        bool kept;
        uint64_t received; // the frames taken before it
        uint64_t frames;
    };
    // Hands on every block the detector can judge now.
    void Judge(bool final);
    // The stretches carried are placed before the sound at m_carried.received, which runs up to
    // the capture's frame `until`; the markers asked before it are placed.
    void Place(uint64_t until);

    BlockQueue& m_queue;
    MarkerRequests& m_markers;
    uint32_t m_frameBytes;
    GapDetector m_detector;
    std::deque<Taken> m_waiting; // taken, not yet judged, in order
    BlockNote m_carried;         // what comes before the next block kept
    uint64_t m_received = 0;
    uint64_t m_position = 0; // the recording's, after the last block handed on
    std::function<void(uint64_t)> m_marked;
    std::atomic<uint64_t> m_lostTotal{0};
    uint32_t m_framesPerSecond;
    std::atomic<int64_t> m_leadInMs{-1};
};
