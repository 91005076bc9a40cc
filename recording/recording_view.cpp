#include "recording/recording_view.h"

bool RecordingView::operator==(const RecordingView& other) const {
    return mark == other.mark && words == other.words && start == other.start &&
           stop == other.stop && pause == other.pause && fileName == other.fileName &&
           marker == other.marker && tabs == other.tabs;
}

// While the input is waited for, the recording goes on under its own words; a side of a call
// away says which. A marker can be placed wherever stop can be pressed.
RecordingView ViewOf(RecordingState state, bool quiet, WaitingSide away, bool bothSides,
                     bool typedName) {
    RecordingView view;
    switch (state) {
    case RECORDING_STOPPED:
    case RECORDING_ENDING:
        view.fileName = typedName;
        return view;
    case RECORDING_PAUSED:
        view.mark = RecordingView::PAUSED;
        view.words = RecordingView::PAUSED_WORDS;
        view.start = true;
        break;
    case RECORDING_RUNNING:
    case RECORDING_WAITING: {
        const bool waiting = state == RECORDING_WAITING;
        quiet = quiet && !waiting;
        view.mark = waiting ? RecordingView::WAITING
                    : quiet ? RecordingView::QUIET
                            : RecordingView::RECORDING;
        view.words = waiting             ? RecordingView::WAITING_WORDS
                     : away == SIDE_NEAR ? RecordingView::MIC_WAITING_WORDS
                     : quiet
                         ? (bothSides ? RecordingView::MIC_QUIET_WORDS : RecordingView::QUIET_WORDS)
                     : away == SIDE_FAR ? RecordingView::PLAYBACK_WAITING_WORDS
                                        : RecordingView::RECORDING_WORDS;
        view.start = false;
        view.pause = true;
        break;
    }
    }
    view.stop = view.marker = true;
    view.fileName = view.tabs = false;
    return view;
}
