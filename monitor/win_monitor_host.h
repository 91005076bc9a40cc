// The monitor's host on Windows: the display controls show the monitor's pictures when they
// paint, pictures changed on the capture thread are announced with InvalidateRect, and pending
// status texts with a posted message, so the capture thread never waits for the window thread.
#pragma once

#include "monitor/monitor_host.h"

#include <windows.h>

#include <atomic>

class CMonitor;

class CWinMonitorHost : public IMonitorHost {
public:
    // The monitor whose pictures the attached controls show. Set before attaching windows.
    void SetMonitor(CMonitor* monitor) { m_monitor = monitor; }

    // The window that receives `message` when status texts wait; its handler calls
    // CMonitor::DeliverStatusTexts (after TextsNoticeTaken).
    void SetNotifyWindow(HWND window, UINT message);
    // Where the texts go: the main window's status bar (none until it exists).
    void SetStatusBar(HWND statusBar) { m_statusBar = statusBar; }
    // The notice has been taken off the queue: the next pending text posts a new one.
    void TextsNoticeTaken() { m_noticePosted = false; }

    Rect GetClientRect(WindowHandle window) override;
    void OnAttach(WindowHandle window) override;
    Colour GetButtonFaceColour() override;
    void Invalidate(WindowHandle window, const Rect& area) override;
    void StatusTextsPending() override;
    void SetStatusText(int part, const char* text) override;

private:
    static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR self);

    CMonitor* m_monitor = nullptr;
    std::atomic<HWND> m_notifyWindow{nullptr};
    std::atomic<UINT> m_notifyMessage{0};
    std::atomic<bool> m_noticePosted{false};
    HWND m_statusBar = nullptr;
};
