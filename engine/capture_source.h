// What a recording records: an input (a microphone, a line in) or what the computer plays (an
// output, read back through its loopback), and which device of that kind. A device is named by
// its audio endpoint ID, an opaque text that stays the same while the device is plugged in and
// out and whatever number the system gives it today; nothing here reads anything into it.
#pragma once

#include <string>

enum SourceKind {
    SOURCE_INPUT = 0,    // an input device
    SOURCE_PLAYBACK = 1, // what an output device plays
};

// The value that names Windows' default communications device in place of an endpoint ID.
constexpr wchar_t kCommunicationsDevice[] = L"communications";

struct CaptureSource {
    SourceKind kind = SOURCE_INPUT;
    // Empty: Windows' default device of the kind, followed when it changes; kCommunicationsDevice:
    // Windows' default communications device, followed too; anything else: that endpoint's ID,
    // never replaced by another device.
    std::wstring device;

    bool FollowsDefault() const { return device.empty() || device == kCommunicationsDevice; }
    bool IsCommunications() const { return device == kCommunicationsDevice; }
};

inline bool operator==(const CaptureSource& a, const CaptureSource& b) {
    return a.kind == b.kind && a.device == b.device;
}
inline bool operator!=(const CaptureSource& a, const CaptureSource& b) {
    return !(a == b);
}
