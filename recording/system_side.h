// What the window asks of Windows around a recording and hears from it, behind one seam: the
// computer kept awake, the shutdown asked to wait, a key from every window held, the power it
// runs on; and, the other way, sleep, wake, the display going off, the session's end and the
// key pressed (CSystemFollower). Windows' side is the window's (ui/shell); tests put a fake in
// its place, which also plays Windows' part of a key held down.
#pragma once

#include "app/awake_rule.h"
#include "recording/recording_view.h"

#include <cstdint>

class CRecording;

class ISystemSide {
public:
    virtual ~ISystemSide() = default;
    // Keeps the computer from sleeping, and the display from going off; both false lets go.
    virtual void HoldAwake(bool system, bool display) = 0;
    // Windows shows why shutting down should wait (or no more).
    virtual void BlockShutdown(bool block) = 0;
    // Holds a key for the window from every window (RegisterHotKey's modifiers and virtual key):
    // false where another program holds it. LetKeyGo gives it back.
    virtual bool HoldKey(int id, uint32_t modifiers, uint32_t key) = 0;
    virtual void LetKeyGo(int id) = 0;
    virtual bool HasModernStandby() = 0;
    virtual PowerSource Power() = 0;
};

// RegisterHotKey's modifiers.
enum : uint32_t {
    KEY_ALT = 0x0001,
    KEY_CONTROL = 0x0002,
    KEY_SHIFT = 0x0004,
    KEY_NO_REPEAT = 0x4000, // a key held down is pressed once
};

// The window's side of a recording towards the system: it follows the recording's view (awake,
// shutdown, the marker's key) and acts on what the system says. Window thread.
class CSystemFollower {
public:
    // What the user is to hear after a call.
    struct Said {
        bool displayKeptOn = false; // the display stays on while recording, and why
        bool keyTaken = false;      // another program holds the marker's key (once a run)
    };
    // The marker's key, Ctrl+Alt+Shift+M: meeting programs take keys of their own (Teams:
    // Ctrl+Shift+M mutes; Word: Ctrl+Alt+M comments; Windows: Win+Alt+R records), the three
    // modifiers keep clear of them. Held down, it places one marker.
    static constexpr int kMarkerKey = 1;
    static constexpr uint32_t kMarkerModifiers = KEY_CONTROL | KEY_ALT | KEY_SHIFT | KEY_NO_REPEAT;
    static constexpr uint32_t kMarkerVirtualKey = 'M';

    CSystemFollower(ISystemSide& system, CRecording& recording);
    ~CSystemFollower();
    CSystemFollower(const CSystemFollower&) = delete;
    CSystemFollower& operator=(const CSystemFollower&) = delete;

    // After every change of the view: held from a recording's start to its end.
    Said Follow(const RecordingView& view);
    // The power cord pulled or plugged in.
    Said PowerChanged();
    // The computer is about to sleep: what was written is flushed first (the device stops and the
    // battery may die), waited for while Windows lets the program.
    void Suspending();
    // The computer woke: the input is opened again, once, and the time asleep is a gap.
    void Resumed();
    // The display went off: what a power cut must not lose is handed to the disk at once.
    void DisplayOff();
    // Whether the session may end now: not while a recording is active, unless it must.
    bool SessionMayEnd(bool critical) const { return !m_active || critical; }
    // A press of a key held for the window: whether it places a marker.
    bool MarkerKeyPressed(int id) const { return id == kMarkerKey && m_keyHeld; }
    bool HoldsMarkerKey() const { return m_keyHeld; }

private:
    Said FollowPower();

    ISystemSide& m_system;
    CRecording& m_recording;
    AwakeRule m_awakeRule;
    bool m_modernStandby;
    bool m_active = false;
    bool m_shutdownBlocked = false;
    bool m_keyTried = false; // for this recording
    bool m_keyHeld = false;
    bool m_keyRefusalSaid = false; // once a run of the program
};
