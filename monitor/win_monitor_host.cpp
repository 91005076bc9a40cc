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

void CWinMonitorHost::Invalidate(WindowHandle window, const Rect& area) {
    const RECT rc = {area.left, area.top, area.right, area.bottom};
    if (window)
        InvalidateRect(static_cast<HWND>(window), &rc, FALSE);
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

namespace {

// Copies the part of the picture that the paint needs: the rows of its area, from the area's
// left column, so only what changed reaches the screen.
void CopyToScreen(const PaintScope& paint, const PixelSurface& picture) {
    RECT area = paint.Area();
    const RECT whole = {0, 0, picture.Width(), picture.Height()};
    if (!IntersectRect(&area, &area, &whole))
        return;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.Width();
    info.bmiHeader.biHeight = -(area.bottom - area.top); // the area's rows, top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const uint32_t* rows = picture.Bits() + size_t(area.top) * size_t(picture.Width());
    SetDIBitsToDevice(paint.Dc(), area.left, area.top, DWORD(area.right - area.left),
                      DWORD(area.bottom - area.top), area.left, 0, 0, UINT(area.bottom - area.top),
                      rows, &info, DIB_RGB_COLORS);
}

} // namespace

// A display control paints the monitor's picture of it, under the monitor's lock. The
// waveform's picture has scrolled since the last paint: what the window shows scrolls by as
// many columns first (the left-most column stays, as in the picture), so only the uncovered
// columns need painting.
LRESULT CALLBACK CWinMonitorHost::ControlProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    auto* host = reinterpret_cast<CWinMonitorHost*>(self);
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // the picture covers the whole client area
    case WM_PAINT: {
        const bool painted =
            host->m_monitor &&
            host->m_monitor->PaintWindow(
                window, [window](const PixelSurface& picture, int scrolled) {
                    if (scrolled > 0) {
                        const RECT client = {0, 0, picture.Width(), picture.Height()};
                        const RECT clip = {1, 0, picture.Width(), picture.Height()};
                        ScrollWindowEx(window, -scrolled, 0, &client, &clip, nullptr, nullptr,
                                       SW_INVALIDATE);
                    }
                    const PaintScope paint(window);
                    CopyToScreen(paint, picture);
                });
        if (!painted)
            const PaintScope paint(window); // nothing to show: validated all the same
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
