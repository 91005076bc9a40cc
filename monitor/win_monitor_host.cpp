#include "monitor/win_monitor_host.h"

#include "engine/win32_handles.h"
#include "monitor/monitor.h"

#include <commctrl.h>

namespace {
constexpr UINT_PTR kSubclassId = 0x534E; // the monitor's paint hook on a display control
}

void CWinMonitorHost::SetNotifyWindow(HWND window, UINT message) {
    m_notifyMessage = message;
    m_notifyWindow = window;
}

Rect CWinMonitorHost::GetClientRect(WindowHandle window) {
    RECT rc = {};
    ::GetClientRect(static_cast<HWND>(window), &rc);
    return {rc.left, rc.top, rc.right, rc.bottom};
}

void CWinMonitorHost::OnAttach(WindowHandle window) {
    SetWindowSubclass(static_cast<HWND>(window), ControlProc, kSubclassId,
                      reinterpret_cast<DWORD_PTR>(this));
}

Colour CWinMonitorHost::GetButtonFaceColour() {
    return GetSysColor(COLOR_BTNFACE);
}

void CWinMonitorHost::Invalidate(WindowHandle window) {
    if (window)
        InvalidateRect(static_cast<HWND>(window), nullptr, FALSE);
}

// Called on either thread; one notice at a time is enough, the window thread takes every text
// that waits when it serves it.
void CWinMonitorHost::StatusTextsPending() {
    const HWND window = m_notifyWindow;
    if (window && !m_noticePosted.exchange(true)) {
        if (!PostMessageW(window, m_notifyMessage, 0, 0))
            m_noticePosted = false;
    }
}

void CWinMonitorHost::SetStatusText(int part, const char* text) {
    if (!m_statusBar)
        return;
    wchar_t wide[32];
    int i = 0;
    for (; text[i] && i < 31; ++i)
        wide[i] = static_cast<unsigned char>(text[i]);
    wide[i] = 0;
    SendMessageW(m_statusBar, SB_SETTEXTW, WPARAM(part), reinterpret_cast<LPARAM>(wide));
}

// A display control paints the monitor's picture of it, copied under the monitor's lock.
LRESULT CALLBACK CWinMonitorHost::ControlProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    auto* host = reinterpret_cast<CWinMonitorHost*>(self);
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // the picture covers the whole client area
    case WM_PAINT: {
        const PaintScope paint(window);
        HDC dc = paint.Dc();
        if (host->m_monitor) {
            host->m_monitor->PaintWindow(window, [dc](const PixelSurface& picture) {
                BITMAPINFO info = {};
                info.bmiHeader.biSize = sizeof info.bmiHeader;
                info.bmiHeader.biWidth = picture.Width();
                info.bmiHeader.biHeight = -picture.Height(); // top row first
                info.bmiHeader.biPlanes = 1;
                info.bmiHeader.biBitCount = 32;
                info.bmiHeader.biCompression = BI_RGB;
                SetDIBitsToDevice(dc, 0, 0, DWORD(picture.Width()), DWORD(picture.Height()), 0, 0,
                                  0, UINT(picture.Height()), picture.Bits(), &info, DIB_RGB_COLORS);
            });
        }
        return 0;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, ControlProc, kSubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
