// The monitor's host on Windows: the display controls show the monitor's pictures when they
// paint. What the capture thread changes in the pictures and the status texts goes to the
// window thread as mail (at most one of each waiting), so the capture thread never waits for
// it; the window thread then draws just the changed areas into the controls,
// nothing while the main window is minimised (its restoring repaints the whole).
#pragma once

#include "engine/window_mailbox.h"
#include "monitor/monitor_host.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class CMonitor;

class CWinMonitorHost : public IMonitorHost {
public:
    // The monitor whose pictures the attached controls show. Set before attaching windows.
    void SetMonitor(CMonitor* monitor) { m_monitor = monitor; }

    // The window thread's mailbox: the texts that wait are delivered, and the changed pictures
    // drawn, as its mail. Null: nothing is announced (the window goes).
    void SetMailbox(WindowMailbox* mail) { m_mail = mail; }
    // Where the texts go: the main window's status bar (none until it exists).
    void SetStatusBar(HWND statusBar) { m_statusBar = statusBar; }
    // Where the texts go instead of SB_SETTEXT to the bar (the bar's owner, which keeps them:
    // no message through the bar's subclasses for each); empty: the message.
    void SetStatusTextSink(std::function<void(int part, const std::wstring& text)> sink) {
        m_textSink = std::move(sink);
    }
    // On the window thread: draws what changed in the pictures since the last call.
    void DrawChangedPictures();
    // On the window thread: the main window was minimised (nothing is drawn or announced), or
    // shown again (the texts that waited are set).
    void SetHidden(bool hidden);

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
    std::atomic<WindowMailbox*> m_mail{nullptr};
    std::atomic<bool> m_noticePosted{false};
    std::atomic<bool> m_picturesNoticePosted{false};
    std::atomic<bool> m_hidden{false};
    std::atomic<DWORD> m_windowThread{0}; // the thread the controls belong to
    // The changed areas waiting to be drawn: a slot per attached control (made when it is
    // attached, before any capture), with the bounding rectangle of what changed.
    struct Pending {
        HWND window = nullptr;
        RECT area = {};
        bool changed = false;
    };
    std::mutex m_pendingLock;
    std::vector<Pending> m_pending;
    std::vector<Pending> m_drawing; // the window thread's copy, reused
    HWND m_statusBar = nullptr;
    std::function<void(int, const std::wstring&)> m_textSink;
};
