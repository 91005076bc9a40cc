// Windows' side of what the window asks around a recording: the awake request, the shutdown's
// reason, a key held from every window, the power. The window's messages (sleep, wake, the
// display, the session's end, the key pressed) go to the recording's CSystemFollower. Window
// thread: the execution state and the key belong to the thread that asks.
#pragma once

#include "recording/system_side.h"
#include "ui/shell/awake_request.h"

#include <windows.h>

class CWindowsSystemSide : public ISystemSide {
public:
    explicit CWindowsSystemSide(HWND window) : m_window(window) {}

    void HoldAwake(bool system, bool display) override;
    void BlockShutdown(bool block) override;
    bool HoldKey(int id, uint32_t modifiers, uint32_t key) override;
    void LetKeyGo(int id) override;
    bool HasModernStandby() override { return CAwakeRequest::HasModernStandby(); }
    PowerSource Power() override { return CAwakeRequest::Source(); }

private:
    HWND m_window;
    CAwakeRequest m_awake;
};
