#include "monitor/win_monitor_host.h"

#include "engine/win32_handles.h"
#include "monitor/monitor.h"

#include <commctrl.h>

#include <algorithm>

namespace {
constexpr UINT_PTR kSubclassId = 0x534E; // the monitor's paint hook on a display control
}

Rect CWinMonitorHost::GetClientRect(WindowHandle window) {
    RECT rc = {};
    ::GetClientRect(static_cast<HWND>(window), &rc);
    return {rc.left, rc.top, rc.right, rc.bottom};
}

void CWinMonitorHost::OnAttach(WindowHandle window) {
    m_windowThread = GetCurrentThreadId();
    {
        std::lock_guard<std::mutex> lock(m_pendingLock);
        Pending slot;
        slot.window = static_cast<HWND>(window);
        if (std::none_of(m_pending.begin(), m_pending.end(),
                         [&](const Pending& p) { return p.window == slot.window; }))
            m_pending.push_back(slot);
    }
    SetWindowSubclass(static_cast<HWND>(window), ControlProc, kSubclassId,
                      reinterpret_cast<DWORD_PTR>(this));
}

Colour CWinMonitorHost::GetButtonFaceColour() {
    return GetSysColor(COLOR_BTNFACE);
}

namespace {

// Copies an area of the picture to the screen: its rows, from its left column, so only what
// changed reaches the screen.
void CopyToScreen(HDC dc, RECT area, const PixelSurface& picture) {
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
    SetDIBitsToDevice(dc, area.left, area.top, DWORD(area.right - area.left),
                      DWORD(area.bottom - area.top), area.left, 0, 0, UINT(area.bottom - area.top),
                      rows, &info, DIB_RGB_COLORS);
}

} // namespace

// On the window thread the area is invalidated at once. From the capture thread it waits for
// the window thread, which draws it on the notice.
void CWinMonitorHost::Invalidate(WindowHandle window, const Rect& area) {
    const HWND control = static_cast<HWND>(window);
    const RECT rc = {area.left, area.top, area.right, area.bottom};
    if (!control)
        return;
    if (GetCurrentThreadId() == m_windowThread) {
        InvalidateRect(control, &rc, FALSE);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_pendingLock);
        for (Pending& pending : m_pending) {
            if (pending.window != control)
                continue;
            if (pending.changed)
                UnionRect(&pending.area, &pending.area, &rc);
            else
                pending.area = rc;
            pending.changed = true;
            break;
        }
    }
    WindowMailbox* mail = m_mail;
    if (mail && !m_hidden && !m_picturesNoticePosted.exchange(true))
        mail->Post([this] { DrawChangedPictures(); });
}

void CWinMonitorHost::SetHidden(bool hidden) {
    m_hidden = hidden;
    if (hidden)
        return;
    // Shown again: the texts that waited meanwhile go to the status bar (the controls repaint
    // as a whole by themselves).
    m_noticePosted = false;
    if (m_monitor)
        m_monitor->DeliverStatusTexts();
}

// Straight into the controls, from copies of the pictures taken under the monitor's lock (never
// held while the window system is called): the changed areas, and the whole waveform when its
// picture scrolled (copying what the control shows
// along would cost the window system two round trips a block, copying the pixels nothing that
// counts). What waits for a paint is left to WM_PAINT, which paints from the same pictures.
void CWinMonitorHost::DrawChangedPictures() {
    {
        std::lock_guard<std::mutex> lock(m_pendingLock);
        m_drawing = m_pending;
        for (Pending& pending : m_pending)
            pending.changed = false;
        m_picturesNoticePosted = false;
    }
    if (!m_monitor || m_hidden)
        return;
    for (const Pending& pending : m_drawing) {
        if (!pending.changed)
            continue;
        m_monitor->PaintWindow(pending.window, [&](const PixelSurface& picture, int scrolled) {
            const RECT area =
                scrolled > 0 ? RECT{0, 0, picture.Width(), picture.Height()} : pending.area;
            const WindowDc dc(pending.window);
            CopyToScreen(dc.Dc(), area, picture);
        });
    }
}

// Called on either thread; one notice at a time is enough, the window thread takes every text
// that waits when it serves it.
void CWinMonitorHost::StatusTextsPending() {
    WindowMailbox* mail = m_mail;
    if (mail && !m_hidden && !m_noticePosted.exchange(true))
        mail->Post([this] {
            m_noticePosted = false;
            if (m_monitor)
                m_monitor->DeliverStatusTexts();
        });
}

void CWinMonitorHost::SetStatusText(int part, const char* text) {
    if (!m_statusBar)
        return;
    wchar_t wide[32];
    int i = 0;
    for (; text[i] && i < 31; ++i)
        wide[i] = static_cast<unsigned char>(text[i]);
    wide[i] = 0;
    if (m_textSink)
        m_textSink(part, wide);
    else
        SendMessageW(m_statusBar, SB_SETTEXTW, WPARAM(part), reinterpret_cast<LPARAM>(wide));
}

// A display control paints a copy of the monitor's picture of it; the whole of it when the
// waveform's picture has scrolled since the control last showed it.
LRESULT CALLBACK CWinMonitorHost::ControlProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    auto* host = reinterpret_cast<CWinMonitorHost*>(self);
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // the picture covers the whole client area
    case WM_PAINT: {
        const bool painted =
            host->m_monitor && host->m_monitor->PaintWindow(
                                   window, [window](const PixelSurface& picture, int scrolled) {
                                       if (scrolled > 0)
                                           InvalidateRect(window, nullptr, FALSE);
                                       const PaintScope paint(window);
                                       CopyToScreen(paint.Dc(), paint.Area(), picture);
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
