// The markers of a recording: a moment the user marked (Ctrl+M, the marker button), and the
// moments the recording marks itself (where it resumed after a pause, where a stretch without
// sound begins, where one side of a call went away and came back). Each kind is numbered on its own
// through the recording, and labelled with its number and its time in the recording.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

enum MarkerKind {
    MARKER_USER,   // "Marker 3 00:12:34.5"
    MARKER_RESUME, // "Resume 1 00:20:00.0": the first sound after a pause
    MARKER_GAP,    // "Gap 1 00:30:00.0 (4.2 s)": no sound came (the input lost or stalled)
    MARKER_LOST,   // "Lost 1 00:41:00.0 (35.0 s)": sound came, but the disk was too slow for it
    // Both sides of a call: one side went away (its channel silent from here on) or came back.
    MARKER_PLAYBACK_AWAY, // "Playback away 1 00:50:00.0"
    MARKER_PLAYBACK_BACK, // "Playback back 1 00:51:00.0"
    MARKER_MIC_AWAY,      // "Microphone away 1 00:52:00.0"
    MARKER_MIC_BACK,      // "Microphone back 1 00:53:00.0"
    MARKER_TIMED_STOP,    // "Timed stop 1 01:30:00.0": the recording stopped at its stop time
};

// A marker as a file holds it: its kind and number, the frame of the file and the label.
struct RecordingMarker {
    MarkerKind kind = MARKER_USER;
    uint32_t number = 0;
    uint64_t frame = 0;
    std::string label;
};

// "hh:mm:ss.s" of a position in the recording, in frames of this rate (hours not wrapped).
inline std::string PositionText(uint64_t frames, uint32_t framesPerSecond) {
    const uint64_t tenths = frames * 10 / (framesPerSecond ? framesPerSecond : 1);
    char text[32];
    std::snprintf(text, sizeof text, "%02llu:%02u:%02u.%u",
                  static_cast<unsigned long long>(tenths / 36000), unsigned(tenths / 600 % 60),
                  unsigned(tenths / 10 % 60), unsigned(tenths % 10));
    return text;
}

// The label of a marker at a position of the recording (frames of this rate); a gap's with its
// length.
inline std::string MarkerLabelFor(MarkerKind kind, uint32_t number, uint64_t position,
                                  uint32_t framesPerSecond, uint64_t lengthMs = 0) {
    static const char* const kWords[] = {
        "Marker",          "Resume",          "Gap",       "Lost", "Playback away", "Playback back",
        "Microphone away", "Microphone back", "Timed stop"};
    std::string label = std::string(kWords[kind]) + " " + std::to_string(number) + " " +
                        PositionText(position, framesPerSecond);
    if (kind == MARKER_GAP || kind == MARKER_LOST) {
        char length[32];
        std::snprintf(length, sizeof length, " (%llu.%llu s)",
                      static_cast<unsigned long long>(lengthMs / 1000),
                      static_cast<unsigned long long>(lengthMs / 100 % 10));
        label += length;
    }
    return label;
}
