// The record bar's toolbar: start (or resume), stop, pause, the file name and the marker, as
// buttons for the mouse, a tab stop for the keyboard (the arrow keys move between the buttons that
// can be pressed, Space and Enter press the one with the focus, which is drawn), a shortcut key for
// each command from anywhere in the main window, and an object for screen readers with each
// button named as its tooltip, its state and its shortcut. Window thread.
#pragma once

#include "ui/access/accessible_object.h"

#include <windows.h>

#include <memory>
#include <string>

class CRecordToolbar : public IAccessibleSource {
public:
    static constexpr int kButtons = 5;
    // The toolbar's entries: the buttons and the separators between them.
    static constexpr int kEntries = 10;

    // The tooltip's string of a command's button; 0 for anything else.
    static UINT TipText(int command);
    // The shortcut keys of the commands (WM_COMMAND with the command, as from an accelerator);
    // the caller destroys the table.
    static HACCEL CreateAccelerators();

    // Makes the toolbar along the top of parent, first in its tab order, with the images of
    // bitmap (each width × height pixels). Null when it could not be made.
    HWND Create(HWND parent, UINT bitmap, int width, int height);
    // The toolbar may outlive this object (its parent destroys it later): it lets go of it.
    ~CRecordToolbar() override;
    HWND Handle() const { return m_hWnd; }
    bool IsEnabled(int command) const;
    // What a screen reader reads as the marker button's description (how many markers the
    // recording has); a change is told.
    void SetMarkerCount(const std::wstring& text);

    HWND Window() const override { return m_hWnd; }
    // Its children are its entries, separators too, numbered as comctl32's own events number
    // them.
    int ChildCount() const override { return kEntries; }
    AccessibleItem Describe(int child) const override;
    RECT Bounds(int child) const override;
    int FocusedChild() const override;
    bool DoDefaultAction(int child) override;

private:
    static LRESULT CALLBACK ToolbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR self);
    bool OnKey(WPARAM key, LPARAM flags);
    // The focus to the next button after from that can be pressed, in this direction (+1, -1);
    // false when there is none. Screen readers are told, unless say is false.
    bool FocusEnabled(int from, int step, bool say = true);
    // The focus to this button, or the nearest that can be pressed (the one before it first).
    void FocusNearest(int index, bool say = true);
    void SetFocusButton(int index, bool say = true);
    // A button that can no longer be pressed passes the focus on.
    void FollowEnabling(int command);
    void DrawFocus(HDC dc);

    HWND m_hWnd = nullptr;
    HWND m_parent = nullptr;
    int m_focus = 0; // the button with the focus while the toolbar has it
    std::wstring m_markerCount;
    std::unique_ptr<CAccessibleServer> m_server;
};
