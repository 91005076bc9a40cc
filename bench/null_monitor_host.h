// A monitor host for benchmarks: display controls of the real sizes (the waveform 210 × 138
// pixels as window 1, the meters 15 × 138), and no windows to tell.
#pragma once

#include "monitor/monitor_host.h"

class NullMonitorHost : public IMonitorHost {
public:
    static WindowHandle View() { return reinterpret_cast<WindowHandle>(1); }
    static WindowHandle Meter0() { return reinterpret_cast<WindowHandle>(2); }
    static WindowHandle Meter1() { return reinterpret_cast<WindowHandle>(3); }

    Rect GetClientRect(WindowHandle window) override {
        return window == View() ? Rect{0, 0, 210, 138} : Rect{0, 0, 15, 138};
    }
    void OnAttach(WindowHandle) override {}
    Colour GetButtonFaceColour() override { return MakeColour(212, 208, 200); }
    void Invalidate(WindowHandle, const Rect&) override {}
    void StatusTextsPending() override {}
    void SetStatusText(int, const char*) override {}
};
