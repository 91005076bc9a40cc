// What a screen reader reads of a control that has no object of its own (the toolbar, the status
// bar, the monitor's pictures): the control describes itself and its items through
// IAccessibleSource, and CAccessibleServer hands out an IAccessible over that description when
// the control is asked for it (WM_GETOBJECT), on Windows and under Wine alike. A screen reader in
// another process reaches the object through COM on the window thread; everything here runs
// there.
#pragma once

#include <windows.h>

#include <commctrl.h>

#ifndef EVENT_OBJECT_LIVEREGIONCHANGED
#define EVENT_OBJECT_LIVEREGIONCHANGED 0x8019 // Windows 8 on; older systems pass it by
#endif

#include <functional>
#include <memory>
#include <string>

struct AccessibleItem {
    std::wstring name;
    std::wstring value;
    std::wstring shortcut;      // "Ctrl+R"
    std::wstring description;   // what more there is to know of it
    std::wstring defaultAction; // what accDoDefaultAction does, in words
    long role = 0;              // ROLE_SYSTEM_...
    long state = 0;             // STATE_SYSTEM_...
};

class IAccessibleSource {
public:
    virtual ~IAccessibleSource() = default;
    virtual HWND Window() const = 0;
    // The control's items, numbered from 1; the control itself is child 0.
    virtual int ChildCount() const { return 0; }
    virtual AccessibleItem Describe(int child) const = 0;
    // Where a child is, in the window's client coordinates; the control itself is its client area.
    virtual RECT Bounds(int child) const;
    // The child that has the keyboard focus while the window has it (0: the control itself).
    virtual int FocusedChild() const { return 0; }
    // The one selected child (a tab), or 0 for none.
    virtual int SelectedChild() const { return 0; }
    // Does what pressing the child would; false when it has no such action or cannot now.
    virtual bool DoDefaultAction(int) { return false; }
};

class CAccessibleServer {
public:
    explicit CAccessibleServer(IAccessibleSource& source);
    // Objects still held by a screen reader answer that they are gone from now on.
    ~CAccessibleServer();
    CAccessibleServer(const CAccessibleServer&) = delete;
    CAccessibleServer& operator=(const CAccessibleServer&) = delete;

    // The answer to WM_GETOBJECT: the object for OBJID_CLIENT, 0 for anything else (the default
    // processing), or when oleacc cannot be loaded.
    LRESULT OnGetObject(WPARAM wParam, LPARAM lParam);
    // Tells screen readers that something of a child changed (EVENT_OBJECT_...).
    void Notify(DWORD event, int child) const;

private:
    std::shared_ptr<IAccessibleSource*> m_source;
};

// The end of a served control's subclass procedure: WM_GETOBJECT answered by server, the
// subclass removed at WM_NCDESTROY and gone() called (the owner lets go of the server), and
// everything else, and what the server does not answer, handed on to the control.
template <class Gone>
LRESULT ServedControlEnd(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                         CAccessibleServer* server, SUBCLASSPROC proc, UINT_PTR id, Gone gone) {
    if (message == WM_GETOBJECT && server) {
        if (const LRESULT result = server->OnGetObject(wParam, lParam))
            return result;
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, proc, id);
        gone();
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// Serves a control from now until the control goes, which deletes the source. The server, for
// the control's notifications, lives as long as the control.
CAccessibleServer* ServeForScreenReaders(HWND control, std::unique_ptr<IAccessibleSource> source);
// The same for a control that is one object without items (a picture, a meter): describe is
// asked whenever a screen reader reads it.
CAccessibleServer* ServeForScreenReaders(HWND control, std::function<AccessibleItem()> describe);
