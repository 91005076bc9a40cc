#include "ui/windows/status_bar.h"

#include "ui/access/accessibility.h"
#include "ui/framework/dpi.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>

namespace {
constexpr UINT_PTR kSubclassId = 0x5342; // the texts of the parts drawn straight
}

CStatusBar::~CStatusBar() {
    if (m_hWnd)
        RemoveWindowSubclass(m_hWnd, BarProc, kSubclassId);
}

bool CStatusBar::Create(HWND parent, UINT id) {
    INITCOMMONCONTROLSEX controls = {sizeof controls,
                                     ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    m_hWnd = CreateStatusWindowW(WS_CHILD | WS_VISIBLE | CCS_BOTTOM, L"", parent, id);
    if (!m_hWnd)
        return false;
    int edges[kParts] = {ScaleToDpi(120), ScaleToDpi(200), ScaleToDpi(270), -1};
    SendMessageW(m_hWnd, SB_SETPARTS, kParts, reinterpret_cast<LPARAM>(edges));
    std::fill(std::begin(m_text), std::end(m_text), std::wstring());
    m_background.reset();
    // Without the subclass, the texts set go to the bar, which then draws them itself.
    for (int part = 0; part < kParts; ++part) {
        if (DrawnStraight(part))
            SendMessageW(m_hWnd, SB_SETTEXTW, WPARAM(part) | SBT_OWNERDRAW, 0);
    }
    m_server = std::make_unique<CAccessibleServer>(*this);
    SetWindowSubclass(m_hWnd, BarProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    MarkAssertiveLiveRegion(m_hWnd, 1, true); // the state part
    return true;
}

// A name change of the state part, a live region's change (the part is an assertive live region
// where Windows has annotations) and an alert: a screen reader that follows any of them says the
// new state. NVDA speaks a name change only of the focused object, and Narrator a live region
// only with its setting; the alert is spoken by all of them, on every Windows.
void CStatusBar::SetSpokenState(const std::wstring& said) {
    m_spoken = said;
    if (!m_server)
        return;
    m_server->Notify(EVENT_OBJECT_NAMECHANGE, 1);
    m_server->Notify(EVENT_OBJECT_LIVEREGIONCHANGED, 1);
    m_server->Notify(EVENT_SYSTEM_ALERT, kAlertChild);
}

AccessibleItem CStatusBar::Describe(int child) const {
    AccessibleItem item;
    if (child == 0) {
        item.role = ROLE_SYSTEM_STATUSBAR;
        item.state = STATE_SYSTEM_READONLY;
        return item;
    }
    if (child == kAlertChild) {
        item.role = ROLE_SYSTEM_ALERT;
        item.state = STATE_SYSTEM_READONLY;
        item.name = m_spoken;
        return item;
    }
    item.role = ROLE_SYSTEM_STATICTEXT;
    item.state = STATE_SYSTEM_READONLY;
    item.name = Text(child - 1);
    if (child == 1 && item.name.empty())
        item.name = m_spoken;
    return item;
}

RECT CStatusBar::Bounds(int child) const {
    RECT rc = {};
    if (child == 0)
        GetClientRect(m_hWnd, &rc);
    else // the alert lies over the state part
        SendMessageW(m_hWnd, SB_GETRECT, WPARAM(child == kAlertChild ? 0 : child - 1),
                     reinterpret_cast<LPARAM>(&rc));
    return rc;
}

// The parts drawn straight are the bar's owner's to set: no message goes through the bar's
// subclasses (each costs a lookup of its window property, a round trip to the server under Wine)
// ten times a second and more.
void CStatusBar::SetText(int part, const std::wstring& text) {
    if (m_hWnd && DrawnStraight(part))
        TakeText(part, text.c_str());
    else if (m_hWnd)
        SendMessageW(m_hWnd, SB_SETTEXTW, WPARAM(part), reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring CStatusBar::Text(int part) const {
    if (!m_hWnd)
        return std::wstring();
    if (DrawnStraight(part))
        return m_text[part];
    const auto length = LOWORD(SendMessageW(m_hWnd, SB_GETTEXTLENGTHW, WPARAM(part), 0));
    std::wstring text(length + 1u, L'\0');
    SendMessageW(m_hWnd, SB_GETTEXTW, WPARAM(part), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(length);
    return text;
}

// The texts of the parts drawn straight are kept here; the bar holds those parts as owner-drawn.
LRESULT CALLBACK CStatusBar::BarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR self) {
    auto* bar = reinterpret_cast<CStatusBar*>(self);
    switch (message) {
    case SB_SETTEXTW: // the part in the low byte, how it is drawn in the high byte
        if (DrawnStraight(LOBYTE(wParam)) && !(wParam & SBT_OWNERDRAW)) {
            bar->TakeText(LOBYTE(wParam), reinterpret_cast<const wchar_t*>(lParam));
            return TRUE;
        }
        break;
    case WM_SIZE:
    case WM_SETFONT:
    case SB_SETPARTS:
    case WM_THEMECHANGED:
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        bar->m_background.reset(); // taken again, with the places and the font, when next drawn
        break;
    case SB_GETTEXTLENGTHW:
    case SB_GETTEXTW:
        if (wParam < kParts && DrawnStraight(int(wParam)))
            return bar->GiveText(
                int(wParam), message == SB_GETTEXTW ? reinterpret_cast<wchar_t*>(lParam) : nullptr);
        break;
    default:
        break;
    }
    return ServedControlEnd(window, message, wParam, lParam, bar->m_server.get(), BarProc,
                            kSubclassId, [bar, window] {
                                MarkAssertiveLiveRegion(window, 1, false);
                                bar->m_server.reset();
                                bar->m_hWnd = nullptr;
                            });
}

void CStatusBar::TakeText(int part, const wchar_t* text) {
    const std::wstring taken = text ? text : L"";
    if (taken == m_text[part])
        return;
    m_text[part] = taken;
    if (m_changed)
        m_changed(part);
    // Hidden, nothing to draw: the bar's painting after the showing draws it.
    if (IsWindowVisible(m_hWnd))
        DrawStraight(part);
}

// As SB_GETTEXT of a plain part answers: the length in the low word, 0 (a plain text) above.
LRESULT CStatusBar::GiveText(int part, wchar_t* text) const {
    const std::wstring& own = m_text[part];
    if (text)
        std::copy(own.c_str(), own.c_str() + own.size() + 1, text);
    return MAKELRESULT(WORD(own.size()), 0);
}

// A bar's own painting of a part drawn straight: the bar has drawn its background and border,
// with its font selected. It may follow a change of the bar's look (theme, colours, scale): the
// background is taken again when next needed.
bool CStatusBar::OnDrawItem(const DRAWITEMSTRUCT& item) {
    const int part = int(item.itemID);
    if (item.hwndItem != m_hWnd || !DrawnStraight(part))
        return false;
    if (m_takingBackground) {
        m_inside[part] = item.rcItem;
        return true;
    }
    m_background.reset();
    PaintText(item.hDC, item.rcItem, part);
    return true;
}

// The new text onto the part's background in memory, then onto the screen in one copy; should
// anything fail, the bar paints the part.
void CStatusBar::DrawStraight(int part) {
    const WindowDc screen(m_hWnd);
    // The parts' places and the font as the background was taken: what changes them (a size,
    // the parts, a font, a theme) lets the background go.
    if (!m_background && !TakeBackground(screen.Dc()))
        m_background.reset();
    const RECT bound = m_bound[part];
    const RECT& inside = m_inside[part];
    const int width = inside.right - inside.left;
    const int height = inside.bottom - inside.top;
    if (m_background && (!m_composed || m_composed->Width() != m_background->Width() ||
                         m_composed->Height() != m_background->Height()))
        m_composed = std::make_unique<MemoryPicture>(screen.Dc(), m_background->Width(),
                                                     m_background->Height());
    const HDC composed = m_composed ? m_composed->Dc() : nullptr;
    if (!screen.Dc() || !m_background || !composed || IsRectEmpty(&inside) ||
        !BitBlt(composed, 0, 0, width, height, m_background->Dc(), inside.left, inside.top,
                SRCCOPY)) {
        InvalidateRect(m_hWnd, &bound, FALSE);
        return;
    }
    if (GetCurrentObject(composed, OBJ_FONT) != m_font)
        SelectObject(composed, m_font);
    PaintText(composed, RECT{0, 0, width, height}, part);
    if (!BitBlt(screen.Dc(), inside.left, inside.top, width, height, composed, 0, 0, SRCCOPY))
        InvalidateRect(m_hWnd, &bound, FALSE);
}

// The whole bar painted into memory by the bar itself, the parts drawn straight without texts.
bool CStatusBar::TakeBackground(HDC screen) {
    RECT client;
    GetClientRect(m_hWnd, &client);
    m_background = std::make_unique<MemoryPicture>(screen, client.right, client.bottom);
    if (!m_background->Dc())
        return false;
    m_font = reinterpret_cast<HFONT>(SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
    for (int part = 0; part < kParts; ++part) {
        SendMessageW(m_hWnd, SB_GETRECT, WPARAM(part), reinterpret_cast<LPARAM>(&m_bound[part]));
        m_inside[part] = {};
    }
    m_takingBackground = true;
    SendMessageW(m_hWnd, WM_PRINTCLIENT, WPARAM(m_background->Dc()), PRF_CLIENT);
    m_takingBackground = false;
    return true;
}

// As the bar draws a text part's text over its background: three pixels in, centred in height.
void CStatusBar::PaintText(HDC dc, const RECT& inside, int part) const {
    const COLORREF colour = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    const int mode = SetBkMode(dc, TRANSPARENT);
    RECT text = inside;
    text.left += 3;
    DrawTextW(dc, m_text[part].c_str(), -1, &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetBkMode(dc, mode);
    SetTextColor(dc, colour);
}
