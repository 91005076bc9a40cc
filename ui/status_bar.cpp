#include "ui/status_bar.h"

#include "ui/dpi.h"

#include <commctrl.h>

bool CStatusBar::Create(HWND parent, UINT id) {
    INITCOMMONCONTROLSEX controls = {sizeof controls,
                                     ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    m_hWnd = CreateStatusWindowW(WS_CHILD | WS_VISIBLE | CCS_BOTTOM, L"", parent, id);
    if (!m_hWnd)
        return false;
    int edges[4] = {ScaleToDpi(120), ScaleToDpi(200), ScaleToDpi(270), -1};
    SendMessageW(m_hWnd, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    SendMessageW(m_hWnd, SB_SETTEXTW, kElapsedPart | SBT_OWNERDRAW, 0);
    return true;
}

void CStatusBar::SetText(int part, const std::wstring& text) {
    if (!m_hWnd)
        return;
    if (part != kElapsedPart) {
        SendMessageW(m_hWnd, SB_SETTEXTW, WPARAM(part), reinterpret_cast<LPARAM>(text.c_str()));
    } else if (text != m_elapsed) {
        m_elapsed = text;
        // Hidden, nothing to draw: the bar's painting after the showing draws it.
        if (IsWindowVisible(m_hWnd))
            DrawElapsedStraight();
    }
}

std::wstring CStatusBar::Text(int part) const {
    if (part == kElapsedPart)
        return m_elapsed;
    if (!m_hWnd)
        return std::wstring();
    const auto length = LOWORD(SendMessageW(m_hWnd, SB_GETTEXTLENGTHW, WPARAM(part), 0));
    std::wstring text(length + 1u, L'\0');
    SendMessageW(m_hWnd, SB_GETTEXTW, WPARAM(part), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(length);
    return text;
}

// The bar has drawn the part's background and border, with its font selected. A painting of
// the bar's own may follow a change of its look (theme, colours, scale): the background is taken
// again when next needed.
bool CStatusBar::OnDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.hwndItem != m_hWnd || item.itemID != UINT(kElapsedPart))
        return false;
    if (m_takingBackground) {
        m_inside = item.rcItem;
        return true;
    }
    m_background.reset();
    DrawElapsed(item.hDC, item.rcItem);
    return true;
}

// The new time onto the part's background in memory, then onto the screen in one copy; should
// anything fail, the bar paints the part.
void CStatusBar::DrawElapsedStraight() {
    const WindowDc screen(m_hWnd);
    RECT bound = {};
    SendMessageW(m_hWnd, SB_GETRECT, kElapsedPart, reinterpret_cast<LPARAM>(&bound));
    if (!m_background || !EqualRect(&bound, &m_bound)) {
        m_bound = bound;
        if (!TakeBackground(screen.Dc()))
            m_background.reset();
    }
    const int width = m_inside.right - m_inside.left;
    const int height = m_inside.bottom - m_inside.top;
    if (m_background &&
        (!m_composed || m_composed->Width() != width || m_composed->Height() != height))
        m_composed = std::make_unique<MemoryPicture>(screen.Dc(), width, height);
    const HDC composed = m_composed ? m_composed->Dc() : nullptr;
    const RECT inside = {0, 0, width, height};
    if (!screen.Dc() || !m_background || !composed ||
        !BitBlt(composed, 0, 0, width, height, m_background->Dc(), m_inside.left, m_inside.top,
                SRCCOPY)) {
        InvalidateRect(m_hWnd, &bound, FALSE);
        return;
    }
    const auto font = reinterpret_cast<HFONT>(SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
    if (GetCurrentObject(composed, OBJ_FONT) != font)
        SelectObject(composed, font);
    DrawElapsed(composed, inside);
    if (!BitBlt(screen.Dc(), m_inside.left, m_inside.top, width, height, composed, 0, 0, SRCCOPY))
        InvalidateRect(m_hWnd, &bound, FALSE);
}

// The whole bar painted into memory by the bar itself, the elapsed time's part without a text.
bool CStatusBar::TakeBackground(HDC screen) {
    RECT client;
    GetClientRect(m_hWnd, &client);
    m_background = std::make_unique<MemoryPicture>(screen, client.right, client.bottom);
    if (!m_background->Dc())
        return false;
    m_inside = {};
    m_takingBackground = true;
    SendMessageW(m_hWnd, WM_PRINTCLIENT, WPARAM(m_background->Dc()), PRF_CLIENT);
    m_takingBackground = false;
    return !IsRectEmpty(&m_inside);
}

// As the bar draws a text part's text over its background: three pixels in, centred in height.
void CStatusBar::DrawElapsed(HDC dc, const RECT& inside) const {
    const COLORREF colour = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    const int mode = SetBkMode(dc, TRANSPARENT);
    RECT text = inside;
    text.left += 3;
    DrawTextW(dc, m_elapsed.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetBkMode(dc, mode);
    SetTextColor(dc, colour);
}
