#include "ui/windows/record_toolbar.h"

#include "engine/win32_handles.h"
#include "res/resource.h"
#include "ui/framework/ui_text.h"

#include <commctrl.h>
#include <oleacc.h>

namespace {

constexpr UINT_PTR kSubclassId = 0x5354; // the toolbar's keyboard, focus and screen reader
// Posted to the toolbar as it takes the focus: the button with the focus is said after the
// system has said the toolbar's, so a screen reader lands on the button.
constexpr UINT kSayFocus = WM_APP + 0x54;

// The buttons in their order on the toolbar, with their shortcut keys: Ctrl+R records, as in
// Windows' own voice recorder; Ctrl+P pauses and Ctrl+S stops, as in Windows Media Player; F12
// chooses the file, as "save as" does in Office; Ctrl+M marks the moment, as a label at the
// recording's position does in Audacity; from other windows too, with Ctrl+Alt+Shift+M (see
// CSystemFollower). None is a key of the edit fields or the dialog.
// entry: the button's place among the toolbar's entries, separators counted.
struct ToolbarButton {
    int command;
    UINT tip;
    int image;
    BYTE modifiers;
    WORD key;
    const wchar_t* shortcut;
    int entry;
};
constexpr ToolbarButton kTable[CRecordToolbar::kButtons] = {
    {ID_RECORD_START, IDS_TIP_RECORD_START, 0, FCONTROL, 'R', L"Ctrl+R", 0},
    {ID_RECORD_STOP, IDS_TIP_RECORD_STOP, 1, FCONTROL, 'S', L"Ctrl+S", 2},
    {ID_RECORD_PAUSE, IDS_TIP_RECORD_PAUSE, 2, FCONTROL, 'P', L"Ctrl+P", 4},
    {ID_FILE_NAME, IDS_TIP_FILE_NAME, 3, 0, VK_F12, L"F12", 7},
    {ID_MARKER, IDS_TIP_MARKER, 4, FCONTROL, 'M', L"Ctrl+M, Ctrl+Alt+Shift+M", 9},
};

// The button at this entry of the toolbar, or null for a separator.
const ToolbarButton* ButtonAt(int entry) {
    for (const ToolbarButton& button : kTable)
        if (button.entry == entry)
            return &button;
    return nullptr;
}

// A screen reader's child of a button: its entry's place, counted from 1 with the separators, as
// comctl32 counts the children of its own events.
int ChildOf(int button) {
    return kTable[button].entry + 1;
}

} // namespace

UINT CRecordToolbar::TipText(int command) {
    for (const ToolbarButton& button : kTable)
        if (button.command == command)
            return button.tip;
    return 0;
}

// The window's own buttons below the tabs are served here too, whatever control has the focus
// (a toolbar with the focus keeps a dialog's mnemonics from reaching them).
HACCEL CRecordToolbar::CreateAccelerators() {
    ACCEL keys[kButtons + 2];
    for (int i = 0; i < kButtons; ++i)
        keys[i] = {BYTE(FVIRTKEY | kTable[i].modifiers), kTable[i].key, WORD(kTable[i].command)};
    keys[kButtons] = {BYTE(FVIRTKEY | FALT), 'T', WORD(IDC_STOP_TIME)};
    keys[kButtons + 1] = {BYTE(FVIRTKEY | FALT), 'O', WORD(IDC_OPEN_FOLDER)};
    return CreateAcceleratorTableW(keys, kButtons + 2);
}

// Start, stop and pause, then the file-name button after a double gap, and the marker button.
HWND CRecordToolbar::Create(HWND parent, UINT bitmap, int width, int height) {
    TBBUTTON buttons[kEntries];
    for (TBBUTTON& entry : buttons)
        entry = TBBUTTON{0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0};
    for (const ToolbarButton& button : kTable)
        buttons[button.entry] =
            TBBUTTON{button.image, button.command, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0};
    m_parent = parent;
    m_hWnd = CreateToolbarEx(parent,
                             WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | CCS_TOP | CCS_NODIVIDER |
                                 TBSTYLE_TOOLTIPS,
                             IDC_TOOLBAR, kButtons,
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)),
                             bitmap, buttons, kEntries, 0, 0, width, height, sizeof(TBBUTTON));
    if (!m_hWnd)
        return nullptr;
    // The buttons sit left of the file-name field: the toolbar comes first in the tab order, and
    // so above the field, which it must not cover: it keeps the height it took and ends where
    // the field begins.
    RECT toolbar = {}, field = {};
    GetWindowRect(m_hWnd, &toolbar);
    if (HWND first = GetWindow(m_hWnd, GW_HWNDFIRST); first && first != m_hWnd)
        GetWindowRect(first, &field);
    const int reach = field.left > toolbar.left ? field.left - toolbar.left : 0;
    const LONG style = GetWindowLongW(m_hWnd, GWL_STYLE) | TBSTYLE_FLAT;
    SetWindowLongW(m_hWnd, GWL_STYLE, reach > 0 ? style | CCS_NORESIZE : style);
    SetWindowPos(m_hWnd, HWND_TOP, 0, 0, reach, toolbar.bottom - toolbar.top,
                 SWP_NOMOVE | SWP_NOACTIVATE | (reach > 0 ? 0 : SWP_NOSIZE));
    m_server = std::make_unique<CAccessibleServer>(*this);
    SetWindowSubclass(m_hWnd, ToolbarProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    return m_hWnd;
}

CRecordToolbar::~CRecordToolbar() {
    if (m_hWnd)
        RemoveWindowSubclass(m_hWnd, ToolbarProc, kSubclassId);
}

int CRecordToolbar::FocusedChild() const {
    return ChildOf(m_focus);
}

bool CRecordToolbar::IsEnabled(int command) const {
    return m_hWnd && SendMessageW(m_hWnd, TB_ISBUTTONENABLED, WPARAM(command), 0) != 0;
}

AccessibleItem CRecordToolbar::Describe(int child) const {
    AccessibleItem item;
    if (child == 0) {
        item.role = ROLE_SYSTEM_TOOLBAR;
        item.state = STATE_SYSTEM_FOCUSABLE | (GetFocus() == m_hWnd ? STATE_SYSTEM_FOCUSED : 0);
        return item;
    }
    const ToolbarButton* at = ButtonAt(child - 1);
    if (!at) {
        item.role = ROLE_SYSTEM_SEPARATOR;
        return item;
    }
    const ToolbarButton& button = *at;
    item.name = LoadText(button.tip);
    item.role = ROLE_SYSTEM_PUSHBUTTON;
    item.shortcut = button.shortcut;
    if (button.command == ID_MARKER)
        item.description = m_markerCount;
    item.state = STATE_SYSTEM_FOCUSABLE;
    if (!IsEnabled(button.command))
        item.state |= STATE_SYSTEM_UNAVAILABLE;
    else
        item.defaultAction = LoadText(IDS_ACC_PRESS);
    if (GetFocus() == m_hWnd && child == ChildOf(m_focus))
        item.state |= STATE_SYSTEM_FOCUSED;
    return item;
}

RECT CRecordToolbar::Bounds(int child) const {
    if (child == 0)
        return IAccessibleSource::Bounds(0);
    RECT rc = {};
    SendMessageW(m_hWnd, TB_GETITEMRECT, WPARAM(child - 1), reinterpret_cast<LPARAM>(&rc));
    return rc;
}

// Posted, as a click's command would come: a screen reader's call must not wait for a message
// box the command may show.
bool CRecordToolbar::DoDefaultAction(int child) {
    const ToolbarButton* button = ButtonAt(child - 1);
    if (!button || !IsEnabled(button->command))
        return false;
    return PostMessageW(m_parent, WM_COMMAND, MAKEWPARAM(button->command, BN_CLICKED),
                        reinterpret_cast<LPARAM>(m_hWnd)) != 0;
}

LRESULT CALLBACK CRecordToolbar::ToolbarProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    auto* bar = reinterpret_cast<CRecordToolbar*>(self);
    switch (message) {
    case WM_GETDLGCODE: {
        // The arrow keys, and Enter (which would be the dialog's OK), are the toolbar's.
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        LRESULT code = DLGC_WANTARROWS;
        if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_KEYDOWN:
        if (bar->OnKey(wParam, lParam))
            return 0;
        break;
    case WM_CHAR:
        if (wParam == L' ' || wParam == L'\r')
            return 0; // pressed at the key's going down
        break;
    case WM_SETFOCUS:
        bar->FocusNearest(bar->m_focus, false);
        InvalidateRect(window, nullptr, TRUE);
        PostMessageW(window, kSayFocus, 0, 0);
        break;
    case kSayFocus:
        if (GetFocus() == window)
            bar->m_server->Notify(EVENT_OBJECT_FOCUS, ChildOf(bar->m_focus));
        return 0;
    case WM_KILLFOCUS:
        InvalidateRect(window, nullptr, TRUE);
        break;
    case WM_PAINT: {
        // The toolbar paints into the paint's own DC, and the focus rectangle goes on top, clipped
        // to the same update region (a hover elsewhere repaints only its button).
        if (wParam)
            break; // a DC given: WM_PRINTCLIENT's way
        const PaintScope paint(window);
        const LRESULT result =
            DefSubclassProc(window, message, reinterpret_cast<WPARAM>(paint.Dc()), lParam);
        bar->DrawFocus(paint.Dc());
        return result;
    }
    case WM_UPDATEUISTATE: // focus cues shown or hidden (Alt or Tab pressed)
        InvalidateRect(window, nullptr, TRUE);
        break;
    case TB_ENABLEBUTTON: {
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        bar->FollowEnabling(int(wParam));
        return result;
    }
    default:
        break;
    }
    return ServedControlEnd(window, message, wParam, lParam, bar->m_server.get(), ToolbarProc,
                            kSubclassId, [bar] {
                                bar->m_server.reset();
                                bar->m_hWnd = nullptr;
                            });
}

// A key held down repeats: a button is pressed once for each press of the key.
bool CRecordToolbar::OnKey(WPARAM key, LPARAM flags) {
    switch (key) {
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
        // At the end, the focus stays and is said again, so a screen reader hears where it is.
        if (!FocusEnabled(m_focus, key == VK_LEFT || key == VK_UP ? -1 : 1))
            SetFocusButton(m_focus);
        return true;
    case VK_HOME:
        FocusEnabled(-1, 1);
        return true;
    case VK_END:
        FocusEnabled(kButtons, -1);
        return true;
    case VK_SPACE:
    case VK_RETURN:
        if (!(flags & (1 << 30)) && IsEnabled(kTable[m_focus].command))
            SendMessageW(m_parent, WM_COMMAND, MAKEWPARAM(kTable[m_focus].command, BN_CLICKED),
                         reinterpret_cast<LPARAM>(m_hWnd));
        return true;
    default:
        return false;
    }
}

bool CRecordToolbar::FocusEnabled(int from, int step, bool say) {
    for (int i = from + step; i >= 0 && i < kButtons; i += step) {
        if (IsEnabled(kTable[i].command)) {
            SetFocusButton(i, say);
            return true;
        }
    }
    return false;
}

void CRecordToolbar::FocusNearest(int index, bool say) {
    if (IsEnabled(kTable[index].command))
        SetFocusButton(index, say);
    else if (!FocusEnabled(index, -1, say))
        FocusEnabled(index, 1, say);
}

void CRecordToolbar::SetFocusButton(int index, bool say) {
    if (index != m_focus && m_hWnd)
        InvalidateRect(m_hWnd, nullptr, TRUE);
    m_focus = index;
    if (GetFocus() != m_hWnd)
        return;
    SendMessageW(m_hWnd, TB_SETHOTITEM, WPARAM(kTable[index].entry), 0);
    if (say)
        m_server->Notify(EVENT_OBJECT_FOCUS, ChildOf(m_focus));
}

void CRecordToolbar::FollowEnabling(int command) {
    for (int i = 0; i < kButtons; ++i) {
        if (kTable[i].command != command)
            continue;
        if (m_server)
            m_server->Notify(EVENT_OBJECT_STATECHANGE, ChildOf(i));
        if (i == m_focus && !IsEnabled(command) && GetFocus() == m_hWnd)
            FocusNearest(i);
    }
}

void CRecordToolbar::SetMarkerCount(const std::wstring& text) {
    if (text == m_markerCount)
        return;
    m_markerCount = text;
    for (int i = 0; i < kButtons; ++i)
        if (kTable[i].command == ID_MARKER && m_server)
            m_server->Notify(EVENT_OBJECT_DESCRIPTIONCHANGE, ChildOf(i));
}

// The focus rectangle inside the button with the focus, while the toolbar has it and Windows
// shows focus cues (hidden until the keyboard is used, where the user chose so).
void CRecordToolbar::DrawFocus(HDC dc) {
    if (GetFocus() != m_hWnd || (SendMessageW(m_hWnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS))
        return;
    RECT rc = Bounds(ChildOf(m_focus));
    InflateRect(&rc, -2, -2);
    DrawFocusRect(dc, &rc);
}
