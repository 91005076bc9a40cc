// A monitor host for tests: display controls of chosen sizes, and a record of what the monitor
// asked of the windows.
#pragma once

#include "monitor/monitor_host.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>

class FakeMonitorHost : public IMonitorHost {
public:
    static constexpr Colour kButtonFace = MakeColour(212, 208, 200);

    // Window handles for the three controls; any distinct non-null values serve.
    WindowHandle view = reinterpret_cast<WindowHandle>(0x1010);
    WindowHandle meter0 = reinterpret_cast<WindowHandle>(0x1007);
    WindowHandle meter1 = reinterpret_cast<WindowHandle>(0x1009);

    void SetSize(WindowHandle window, int width, int height) {
        m_sizes[window] = {0, 0, width, height};
    }

    Rect GetClientRect(WindowHandle window) override { return m_sizes[window]; }
    void OnAttach(WindowHandle) override { ++attached; }
    Colour GetButtonFaceColour() override { return kButtonFace; }
    void Invalidate(WindowHandle) override { ++invalidated; }
    void StatusTextsPending() override { ++textsPending; }
    void SetStatusText(int part, const char* text) override {
        std::lock_guard<std::mutex> lock(m_textLock);
        statusText[part] = text;
        ++textsSet[part];
    }

    std::atomic<int> attached{0};
    std::atomic<int> invalidated{0};
    std::atomic<int> textsPending{0};
    std::map<int, std::string> statusText;
    std::map<int, int> textsSet;

private:
    std::map<WindowHandle, Rect> m_sizes;
    std::mutex m_textLock;
};
