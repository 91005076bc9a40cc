#include "ui/framework/dialog.h"

#include "res/resource.h"
#include "ui/framework/ui_text.h"

#include <cwctype>

CDialog::~CDialog() {
    if (m_hWnd && !m_modal)
        DestroyWindow(m_hWnd);
}

// The modal loop serves the dialog's shortcut keys first, then hands each keyboard message to
// the innermost dialog around its window, so Enter and Escape in a page reach the page's own OK
// and Cancel, not the main window's; Tab goes to the modal dialog itself, which moves the focus
// through its pages (control parents) and back to its own controls.
INT_PTR CDialog::DoModal(HWND owner) {
    m_modal = true;
    m_endModal = false;
    m_result = -1;
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    HWND window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId),
                                     owner, DialogProc, reinterpret_cast<LPARAM>(this));
    if (!window)
        return -1;
    if (ownerWasEnabled)
        EnableWindow(owner, FALSE);
    CenterOver(window, owner);
    ::ShowWindow(window, SW_SHOW);
    MSG msg;
    while (!m_endModal) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(int(msg.wParam));
            break;
        }
        if (m_accelerators && (msg.hwnd == window || IsChild(window, msg.hwnd)) &&
            (IsRepeatedShortcut(msg) || TranslateAcceleratorW(window, m_accelerators, &msg)))
            continue;
        const bool tab = (msg.message == WM_KEYDOWN || msg.message == WM_CHAR) &&
                         msg.wParam == (msg.message == WM_CHAR ? L'\t' : VK_TAB);
        const bool keyDown = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
        if (keyDown)
            BeforeKeyDown(msg);
        if (!IsDialogMessageW(tab ? window : DialogAround(msg.hwnd, window), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (keyDown)
            AfterKeyDown();
    }
    if (ownerWasEnabled)
        EnableWindow(owner, TRUE);
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    if (owner)
        SetActiveWindow(owner);
    m_modal = false;
    return m_result;
}

// A shortcut key held down repeats: only its first press is a command, the repeats go nowhere.
bool CDialog::IsRepeatedShortcut(const MSG& msg) const {
    if ((msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) || !(msg.lParam & (1 << 30)))
        return false;
    ACCEL keys[32];
    const int count = CopyAcceleratorTableW(m_accelerators, keys, 32);
    const BYTE held =
        BYTE((GetKeyState(VK_CONTROL) < 0 ? FCONTROL : 0) |
             (GetKeyState(VK_SHIFT) < 0 ? FSHIFT : 0) | (GetKeyState(VK_MENU) < 0 ? FALT : 0));
    for (int i = 0; i < count; ++i)
        if ((keys[i].fVirt & FVIRTKEY) && keys[i].key == msg.wParam &&
            (keys[i].fVirt & (FCONTROL | FSHIFT | FALT)) == held)
            return true;
    return false;
}

// A modal dialog opens in the middle of its owner, or of the screen's work area.
void CDialog::CenterOver(HWND window, HWND owner) {
    RECT area;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner))
        GetWindowRect(owner, &area);
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT rc;
    GetWindowRect(window, &rc);
    const int x = area.left + ((area.right - area.left) - (rc.right - rc.left)) / 2;
    const int y = area.top + ((area.bottom - area.top) - (rc.bottom - rc.top)) / 2;
    SetWindowPos(window, nullptr, x > 0 ? x : 0, y > 0 ? y : 0, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The innermost dialog window that holds window, or fallback.
HWND CDialog::DialogAround(HWND window, HWND fallback) {
    for (HWND w = window; w; w = GetParent(w)) {
        wchar_t name[16];
        if (GetClassNameW(w, name, 16) && lstrcmpW(name, L"#32770") == 0)
            return w;
        if (!(GetWindowLongW(w, GWL_STYLE) & WS_CHILD))
            break;
    }
    return fallback;
}

bool CDialog::Create(HWND parent) {
    m_modal = false;
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), parent,
                              DialogProc, reinterpret_cast<LPARAM>(this)) != nullptr;
}

// Called while a sent message is handled (WM_ENDSESSION), the modal loop sits inside
// GetMessage: a posted message wakes it to see the end.
void CDialog::EndDialog(INT_PTR result) {
    if (m_modal) {
        m_result = result;
        m_endModal = true;
        PostMessageW(nullptr, WM_NULL, 0, 0);
    } else if (m_hWnd) {
        DestroyWindow(m_hWnd);
    }
}

bool CDialog::UpdateData(bool save, bool quiet) {
    CDataExchange dx(*this, save, quiet);
    DoDataExchange(dx);
    return !dx.Failed();
}

BOOL CDialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange&) {}

bool CDialog::OnCommand(int, int, HWND) {
    return false;
}

bool CDialog::OnNotify(NMHDR*, LRESULT*) {
    return false;
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT*) {
    return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->m_hWnd = window;
    } else {
        self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (!self)
        return FALSE;
    const INT_PTR handled = self->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return handled;
}

// Returns what a dialog procedure returns: TRUE when handled (with the result in DWLP_MSGRESULT
// where the message has one), FALSE for the default processing.
INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (OnCommand(id, code, reinterpret_cast<HWND>(lParam)))
            return TRUE;
        if (id == IDOK && code == BN_CLICKED) {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL && code == BN_CLICKED) {
            OnCancel();
            return TRUE;
        }
        return FALSE;
    }
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (!OnNotify(reinterpret_cast<NMHDR*>(lParam), &result))
            return FALSE;
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    default: {
        LRESULT result = 0;
        if (!OnMessage(message, wParam, lParam, &result))
            return FALSE;
        // Messages whose result is the dialog procedure's own return value.
        switch (message) {
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
        case WM_INITDIALOG:
            return INT_PTR(result);
        default:
            SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
    }
    }
}

void CDataExchange::Fail(int id, const std::wstring& message) {
    m_failed = true;
    if (m_quiet)
        return;
    ShowMessage(m_dialog.GetSafeHwnd(), message);
    if (HWND control = Control(id)) {
        SetFocus(control);
        SendMessageW(control, EM_SETSEL, 0, -1);
    }
}

std::wstring WindowText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(size_t(length) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(control, &text[0], length + 1)));
    return text;
}

bool ParseUnsigned(const std::wstring& text, uint32_t& value) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i]))
        ++i;
    const size_t digits = i;
    uint64_t number = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        number = number * 10 + uint64_t(text[i] - L'0');
        if (number > 0xFFFFFFFFull)
            return false;
    }
    if (i == digits)
        return false;
    while (i < text.size() && std::iswspace(text[i]))
        ++i;
    if (i != text.size())
        return false;
    value = uint32_t(number);
    return true;
}

void DDX_Control(CDataExchange& dx, int id, HWND& control) {
    if (!dx.Failed())
        control = dx.Control(id);
}

namespace {

std::wstring Replace(std::wstring text, const std::wstring& what, const std::wstring& with) {
    const size_t at = text.find(what);
    if (at != std::wstring::npos)
        text.replace(at, what.size(), with);
    return text;
}

} // namespace

void DDX_Text(CDataExchange& dx, int id, std::wstring& value) {
    if (dx.Failed())
        return;
    dx.SetLastControl(id);
    if (dx.Saving())
        value = WindowText(dx.Control(id));
    else
        SetWindowTextW(dx.Control(id), value.c_str());
}

void DDX_Text(CDataExchange& dx, int id, uint32_t& value) {
    if (dx.Failed())
        return;
    dx.SetLastControl(id);
    if (!dx.Saving()) {
        SetWindowTextW(dx.Control(id), std::to_wstring(value).c_str());
        return;
    }
    uint32_t number = 0;
    if (!ParseUnsigned(WindowText(dx.Control(id)), number)) {
        dx.Fail(id, LoadText(IDS_DDX_UNSIGNED));
        return;
    }
    value = number;
}

void DDX_Check(CDataExchange& dx, int id, int& value) {
    if (dx.Failed())
        return;
    dx.SetLastControl(id);
    if (dx.Saving())
        value = SendMessageW(dx.Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    else
        SendMessageW(dx.Control(id), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The group runs from the control given to the next control with WS_GROUP.
void DDX_Radio(CDataExchange& dx, int id, int& value) {
    if (dx.Failed())
        return;
    dx.SetLastControl(id);
    HWND first = dx.Control(id);
    if (dx.Saving())
        value = -1;
    int index = 0;
    for (HWND button = first; button; button = GetWindow(button, GW_HWNDNEXT), ++index) {
        if (button != first && (GetWindowLongW(button, GWL_STYLE) & WS_GROUP))
            break;
        if (dx.Saving()) {
            if (SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED)
                value = index;
        } else {
            SendMessageW(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
}

void DDV_MinMaxUInt(CDataExchange& dx, uint32_t value, uint32_t min, uint32_t max) {
    if (dx.Failed() || !dx.Saving() || (value >= min && value <= max))
        return;
    std::wstring message = LoadText(IDS_DDX_RANGE);
    message = Replace(message, L"%1", std::to_wstring(min));
    message = Replace(message, L"%2", std::to_wstring(max));
    dx.Fail(dx.LastControl(), message);
}
