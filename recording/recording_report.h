// What the recording's threads tell the window thread, and what the window then shows: one
// value from the thread where it happened to the words on the screen.
#pragma once

#include "engine/recording_failure.h"
#include "recording/recording_marker.h"

#include <cstdint>
#include <string>
#include <vector>

// A stretch of the recording's clock without sound: where it began (the time in the recording:
// its position in the recording's files), how long it was on the clock, and whether silence of
// its length stands in for it in the file.
struct RecordingGap {
    uint64_t atMs = 0;
    uint64_t lengthMs = 0;
    bool filled = false;
};

struct RecordingReport {
    enum Kind {
        FILE_STARTED,   // the recording went on in path
        FILE_COMPLETED, // path is complete; with a failure (STEP_COMPLETE) it could not be, and
                        // keeps its note for the next start
        ENDED,          // the recording could not go on and has stopped: failure says why,
                        // endTicks when (GetTicks), lengthMs the sound its files kept
        GAPS,           // the recording has ended, and had these gaps (the input gave no sound
                        // for a while, or the disk fell behind by more than the queue holds)
        MARKER,         // marker is in path now (at its frame there, with its label)
        MARKER_DROPPED, // path holds the most markers a file can: marker is not kept
        INPUT_LOST,     // the input is gone or silent: the recording waits for it
        INPUT_BACK,     // the input is open again
        SPACE_LOW,      // the drive of path has room for lengthMs more of this recording
        NEXT_WANTED,    // (for the recording) the file being written is nearly full
        NEXT_MADE,      // (for the recording) the next file is made, or could not be
        DISK_DONE,      // (for the recording) the disk thread has done its last
        NEXT_REMOVED,   // (for the recording) a next file made and never used is removed from
                        // path; with a failure it could not be (the next start removes it)
        COUNTER_MOVED,  // the sequential counter moved: a next file took a number, or one made
                        // ahead and never used gave its number back
        // At start-up, for the files an earlier run could not complete:
        INTERRUPTED_COMPLETED, // path was completed now; it holds lengthMs
        INTERRUPTED_WAITS,     // path's drive or share is not there: completed at a later start
        INTERRUPTED_FAILED,    // failure: path could not be completed; tried again next start
        INTERRUPTED_READY,     // (for the window) the files are looked at: SettleInterrupted
    };
    Kind kind = FILE_STARTED;
    std::wstring path;
    RecordingFailure failure;
    uint64_t lengthMs = 0;
    uint32_t endTicks = 0;
    uint32_t run = 0; // which recording of this run of the program it concerns
    std::vector<RecordingGap> gaps;
    RecordingMarker marker;
};
