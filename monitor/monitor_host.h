// What the monitor needs from the windows it draws for. On Windows the host forwards to the
// display controls, the status bar and the main window; tests put their own in its place.
#pragma once

#include "monitor/pixel_surface.h"

#include <cstdint>

// A window handle (HWND on Windows); the portable code only passes it around.
using WindowHandle = void*;

class IMonitorHost {
public:
    virtual ~IMonitorHost() = default;

    // The client rectangle of a display control. Called on the window thread when the monitor
    // attaches it.
    virtual Rect GetClientRect(WindowHandle window) = 0;

    // Called on the window thread when the monitor starts drawing for a control, so the control
    // can show the monitor's picture of it from then on.
    virtual void OnAttach(WindowHandle window) = 0;

    // The system's button-face colour, for the stereo divider. Read at each drawing.
    virtual Colour GetButtonFaceColour() = 0;

    // This area of the monitor's picture of the control changed. Called on either thread, never
    // under the monitor's lock; must not wait for the window thread (InvalidateRect).
    virtual void Invalidate(WindowHandle window, const Rect& area) = 0;

    // New status texts wait in the monitor. Called on either thread, never under the monitor's
    // lock; must not wait for the window thread (PostMessage). The window thread then calls
    // CMonitor::DeliverStatusTexts.
    virtual void StatusTextsPending() = 0;

    // Sets a part of the main window's status bar. Called on the window thread only.
    virtual void SetStatusText(int part, const char* text) = 0;
};
