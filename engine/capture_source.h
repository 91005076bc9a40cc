// What a recording records: an input (a microphone, a line in), what the computer plays (an
// output, read back through its loopback), or both sides of a call at once, and which device of
// each kind. A device is named by
// its audio endpoint ID, an opaque text that stays the same while the device is plugged in and
// out and whatever number the system gives it today; nothing here reads anything into it.
#pragma once

#include <string>

enum SourceKind {
    SOURCE_INPUT = 0,    // an input device
    SOURCE_PLAYBACK = 1, // what an output device plays
    SOURCE_BOTH = 2,     // an input and what an output plays, in one recording
};

// The value that names Windows' default communications device in place of an endpoint ID.
constexpr wchar_t kCommunicationsDevice[] = L"communications";

struct CaptureSource {
    SourceKind kind = SOURCE_INPUT;
    // Empty: Windows' default device of the kind, followed when it changes; kCommunicationsDevice:
    // Windows' default communications device, followed too; anything else: that endpoint's ID,
    // never replaced by another device. Both sides: the input's.
    std::wstring device;
    // Both sides: the output's, as device is for an output.
    std::wstring output;

    bool FollowsDefault() const { return device.empty() || device == kCommunicationsDevice; }
    bool IsCommunications() const { return device == kCommunicationsDevice; }
    // The source's input, and its output, each as a source of its own.
    CaptureSource Input() const { return {SOURCE_INPUT, device, {}}; }
    CaptureSource Playback() const {
        return {SOURCE_PLAYBACK, kind == SOURCE_BOTH ? output : device, {}};
    }
};

inline bool operator==(const CaptureSource& a, const CaptureSource& b) {
    return a.kind == b.kind && a.device == b.device && a.output == b.output;
}
inline bool operator!=(const CaptureSource& a, const CaptureSource& b) {
    return !(a == b);
}
