// What the window shows of a recording, worked out in one place from the recording's state, the
// quiet rule and the side of a call that is away: the state's mark and words, the commands it
// enables, and whether the computer is held for it. The status bar, the toolbar, the taskbar
// button, the awake request, the shutdown block and the marker's key all follow it.
#pragma once

#include "capture/wave_input.h"
#include "recording/recording.h"

struct RecordingView {
    enum Mark { STOPPED, RECORDING, PAUSED, WAITING, QUIET };
    // The state's words (the status bar's first part; a screen reader hears them, the quiet ones
    // as their warning).
    enum Words {
        NO_WORDS,
        RECORDING_WORDS,
        PAUSED_WORDS,
        WAITING_WORDS,
        MIC_WAITING_WORDS,
        PLAYBACK_WAITING_WORDS,
        QUIET_WORDS,
        MIC_QUIET_WORDS,
    };

    Mark mark = STOPPED;
    Words words = NO_WORDS;
    // The commands it enables: start (or resume), stop, pause, the file name, a marker; the tabs.
    bool start = true, stop = false, pause = false, fileName = true, marker = false, tabs = true;

    // Running, paused or waiting for its input: the computer kept awake, the shutdown asked to
    // wait, the marker's key held.
    bool Active() const { return mark != STOPPED; }
    bool Paused() const { return mark == PAUSED; }
    bool operator==(const RecordingView& other) const;
    bool operator!=(const RecordingView& other) const { return !(*this == other); }
};

// The view of a recording in state (one still completing its files is stopped); quiet: the
// running recording has heard only quiet sound for a while; away: of both sides of a call, the
// side waited for; typedName: a stopped recorder records next into the typed name, which the
// user may choose.
RecordingView ViewOf(RecordingState state, bool quiet, WaitingSide away, bool bothSides,
                     bool typedName);
