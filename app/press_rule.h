// One press, one act: a media key held down sends its command again and again (after the
// keyboard's repeat delay, then at its repeat rate), and only the first is a command. A key that
// comes as a key message says itself whether it repeats (the previous-state bit of its
// WM_KEYDOWN, before Windows turns it into WM_APPCOMMAND); a command that comes without one
// (a remote, a keyboard's own record or pause button) is a repeat when the same command came
// within the longest time a held key leaves between two of its messages.
#pragma once

#include <cstdint>

class PressRule {
public:
    // The keyboard's settings: the delay before a held key repeats (250 to 1000 ms) and the
    // time between its repeats (33 to 400 ms).
    void SetKeyboard(uint32_t repeatDelayMs, uint32_t repeatPeriodMs);
    // A media key's message brings its command at nowMs: whether it acts (not when it repeats).
    // The WM_APPCOMMAND Windows makes of it while it is handled acts no more, until KeyDone.
    bool KeyActs(int command, bool repeat, uint32_t nowMs);
    void KeyDone() { m_keyPending = false; }
    // A command arrives at nowMs (WM_APPCOMMAND): whether it acts.
    bool Acts(int command, uint32_t nowMs);
    // The time rule's window.
    uint32_t WindowMs() const;

private:
    uint32_t m_delayMs = 1000, m_periodMs = 400;
    bool m_keyPending = false;
    int m_lastCommand = 0;
    uint32_t m_lastMs = 0;
};
