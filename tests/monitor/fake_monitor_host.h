// A monitor host for tests: display controls of chosen sizes, and a record of what the monitor
// asked of the windows.
#pragma once

#include "monitor/monitor_host.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class FakeMonitorHost : public IMonitorHost {
public:
    static constexpr Colour kButtonFace = MakeColour(212, 208, 200);

    // Window handles for the three controls; any distinct non-null values serve.
    WindowHandle view = reinterpret_cast<WindowHandle>(0x1010);
    WindowHandle meter0 = reinterpret_cast<WindowHandle>(0x1007);
    WindowHandle meter1 = reinterpret_cast<WindowHandle>(0x1009);

    FakeMonitorHost() { areas.reserve(4096); } // the record of areas allocates in no block

    void SetSize(WindowHandle window, int width, int height) {
        m_sizes[window] = {0, 0, width, height};
    }

    Rect GetClientRect(WindowHandle window) override { return m_sizes[window]; }
    void OnAttach(WindowHandle) override { ++attached; }
    Colour GetButtonFaceColour() override { return kButtonFace; }
    void Invalidate(WindowHandle window, const Rect& area) override {
        ++invalidated;
        std::lock_guard<std::mutex> lock(m_textLock);
        areas.push_back({window, area});
    }
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
    struct Area {
        WindowHandle window;
        Rect area;
    };
    std::vector<Area> areas; // every area invalidated, in order

private:
    std::map<WindowHandle, Rect> m_sizes;
    std::mutex m_textLock;
};
