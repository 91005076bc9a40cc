// The program's small dialog layer over Win32: dialogs from resource templates, modal or as
// modeless child pages, messages routed to virtual handlers, and data exchange with validation.
//
// A dialog keeps `this` in the window's DWLP_USER slot from WM_INITDIALOG on, and the static
// dialog procedure forwards every message to OnMessage. All of it runs on the window thread.
#pragma once

#include <windows.h>

#include <string>

class CDataExchange;

class CDialog {
public:
    explicit CDialog(UINT templateId) : m_templateId(templateId) {}
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally; returns the value given to EndDialog, or -1 when it could not
    // be created.
    INT_PTR DoModal(HWND owner);
    // Creates the dialog modeless, as a child of parent (a page); false when it failed.
    bool Create(HWND parent);
    // Ends a modal dialog with this result; destroys a modeless one.
    void EndDialog(INT_PTR result);

    // Runs the data exchange: controls into members (save = true, with validation) or members
    // into controls. False when a validation failed; its message was shown and its control
    // has the focus, unless quiet (the Windows session ends: nobody is there to answer).
    bool UpdateData(bool save = true, bool quiet = false);

    HWND GetSafeHwnd() const { return m_hWnd; }
    // Shortcut keys served by the modal loop while the focus is in this dialog: each press sends
    // the dialog WM_COMMAND with its command and code 1 (a key held down, once). The caller
    // keeps the table.
    void SetAccelerators(HACCEL accelerators) { m_accelerators = accelerators; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void ShowWindow(int show) { ::ShowWindow(m_hWnd, show); }

protected:
    // Handlers, overridden as each dialog needs. OnInitDialog runs the data exchange in the
    // loading direction; OnOK saves with validation and ends the dialog; OnCancel ends it.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange& dx);
    // WM_COMMAND other than IDOK and IDCANCEL; true when handled.
    virtual bool OnCommand(int id, int code, HWND control);
    // WM_NOTIFY; true when handled, with *result the value for the sender.
    virtual bool OnNotify(NMHDR* header, LRESULT* result);
    // Any other message; true when handled, with *result the value for the sender.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // The modal loop: a key's WM_KEYDOWN (or WM_SYSKEYDOWN) is about to be handled, and was.
    virtual void BeforeKeyDown(const MSG&) {}
    virtual void AfterKeyDown() {}

    HWND m_hWnd = nullptr;

private:
    bool IsRepeatedShortcut(const MSG& msg) const;
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static HWND DialogAround(HWND window, HWND fallback);
    static void CenterOver(HWND window, HWND owner);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    HACCEL m_accelerators = nullptr;
    bool m_modal = false;
    bool m_endModal = false;
    INT_PTR m_result = -1;
};

// One direction of a dialog's data exchange. Each DDX_ and DDV_ function names its control
// once and works in both directions; after a failed validation the rest of the exchange does
// nothing.
class CDataExchange {
public:
    CDataExchange(CDialog& dialog, bool save, bool quiet = false)
        : m_dialog(dialog), m_save(save), m_quiet(quiet) {}

    bool Saving() const { return m_save; }
    bool Failed() const { return m_failed; }
    HWND Control(int id) const { return m_dialog.GetDlgItem(id); }
    // Shows the message, gives the control the focus and ends the exchange (quietly: only
    // ends it).
    void Fail(int id, const std::wstring& message);
    // The control that the last DDX_ function exchanged, for DDV_ checks.
    int LastControl() const { return m_lastControl; }
    void SetLastControl(int id) { m_lastControl = id; }

private:
    CDialog& m_dialog;
    bool m_save;
    bool m_quiet;
    bool m_failed = false;
    int m_lastControl = 0;
};

// A window's whole text.
std::wstring WindowText(HWND control);
// Blanks, decimal digits (at least one), blanks; false for anything else or past 2^32 - 1.
bool ParseUnsigned(const std::wstring& text, uint32_t& value);

void DDX_Control(CDataExchange& dx, int id, HWND& control);
void DDX_Text(CDataExchange& dx, int id, std::wstring& value);
// An unsigned decimal number; other text fails with "正の整数を入力してください。".
void DDX_Text(CDataExchange& dx, int id, uint32_t& value);
void DDX_Check(CDataExchange& dx, int id, int& value);
// The index of the checked button of the radio group that starts at id, or -1.
void DDX_Radio(CDataExchange& dx, int id, int& value);
// When saving: a value outside min..max fails with "%1 から %2 までの整数を入力してください。".
void DDV_MinMaxUInt(CDataExchange& dx, uint32_t value, uint32_t min, uint32_t max);
