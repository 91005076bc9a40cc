// The recording's rules of time and room, in one place.
#pragma once

#include <cstdint>

// The queue between the capture thread and the disk thread holds at least this much sound, so a
// disk that stops answering for this long (a USB stick, a network share) costs nothing.
constexpr uint32_t kQueueSeconds = 30;

// The next file of a long recording is asked for while the file being written has this much
// room left.
constexpr uint32_t kNextFileLeadSeconds = 10;

// How often, on the disk thread's clock, what was written reaches the storage device: a power
// cut costs at most this much of what was written.
constexpr uint32_t kFlushPeriodMs = 4000;

// How often the disk thread asks the drive for its free space, and how much recording time
// left there warns the user (once a recording).
constexpr uint32_t kFreeSpaceCheckMs = 5000;
constexpr uint32_t kLowSpaceSeconds = 10 * 60;

// How long the computer's going to sleep waits for the flush of the file being written: Windows
// allows about two seconds.
constexpr uint32_t kSleepFlushWaitMs = 1500;

// How long closing the program, or the end of the Windows session, waits for a recording's files
// to be completed; a completion still running then keeps its file's note for the next start.
constexpr uint32_t kCompletionWaitMs = 10000;
// Within the end of the session, Windows allows about 5 s to the program: the stop and the
// completion get this much of it, the settings file the rest.
constexpr uint32_t kSessionEndWaitMs = 3500;

// A stretch of the clock without sound up to this long is filled with silence of its length,
// so every later moment of the file stays at its clock time; a longer one (an input away for
// minutes, a laptop asleep) is only said.
constexpr uint32_t kMaxFilledGapMs = 10000;
inline bool IsFilled(uint64_t frames, uint32_t framesPerSecond) {
    return frames * 1000 / (framesPerSecond ? framesPerSecond : 1) <= kMaxFilledGapMs;
}
